#include "controls/m_button.h"

#include <QPainter>

#include "platform/qt/draw_kit.h"

using namespace platform;

CMButton::CMButton() : CDialogEx(IDD_MBUTTON) {}

Rect CMButton::FrameSource(int state, int stripHeight) {
    int frame = 0;
    if (state == kPressed) frame = 1;
    else if (state == kHover) frame = 2;
    const int left = frame * stripHeight;
    return Rect{left, 0, left + stripHeight, stripHeight};
}

BOOL CMButton::SetImage(const QString* path) {
    if (!path) return FALSE;
    if (!m_bTwoImages || !m_pImage) m_pImage = LoadPicture(*path);
    else if (!m_pImage2) m_pImage2 = LoadPicture(*path);
    return TRUE;
}

void CMButton::SetTipText(const QString& text) {
    if (m_strTip.isEmpty()) m_strTip = text;
    else if (m_strTip2.isEmpty() && m_bTwoImages) m_strTip2 = text;
    m_ToolTip.UpdateTipText(m_strTip, this);
}

BOOL CMButton::PreTranslateMessage(Message& message) {
    if (m_ToolTip.IsCreated()) m_ToolTip.RelayEvent(&message);
    return CDialogEx::PreTranslateMessage(message);
}

BOOL CMButton::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_ToolTip.Create(this, 0);
    m_ToolTip.AddTool(this, m_strTip);
    m_ToolTip.SetDelayTime(kTipDelayMs);
    return TRUE;
}

const QImage* CMButton::ShownStrip() const { return m_nImage == 1 ? m_pImage2.get() : m_pImage.get(); }

void CMButton::OnPaint(QPainter& dc) {
    // A strip never set draws nothing at all, not even the background.
    const QImage* strip = ShownStrip();
    if (!strip) return;
    Rect client;
    GetClientRect(&client);
    ComposeOffscreen(dc, QSize(client.Width(), client.Height()), kBackground, [&](QPainter& painter) {
        painter.setRenderHint(QPainter::Antialiasing);
        DrawImageRect(painter, *strip, client, FrameSource(m_nState, PictureSize(*strip).height()));
    });
}

void CMButton::OnMouseMove(UINT, Point) {
    // One hover and one leave per request: the request is renewed after each leave.
    if (!m_bTracking) m_bTracking = TrackMouseEvent(TME_HOVER | TME_LEAVE, 1) ? 1 : 0;
}

void CMButton::OnMouseHover(UINT, Point) {
    if (m_nState == kHover) return;
    m_nState = kHover;
    Invalidate(TRUE);
}

void CMButton::OnMouseLeave() {
    m_nState = kNormal;
    Invalidate(TRUE);
    m_bTracking = 0;
}

void CMButton::OnLButtonDown(UINT, Point) {
    m_nState = kPressed;
    Invalidate(TRUE);
    PostCommandToParent();
}

void CMButton::PostCommandToParent() {
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_COMMAND, static_cast<WParam>(m_nID), 0);
}
