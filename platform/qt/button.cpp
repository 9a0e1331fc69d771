#include "platform/qt/button.h"

#include <QStyleOptionButton>

#include "platform/qt/fonts.h"

namespace platform {

BOOL CButton::Create(const QString& text, UINT style, const Rect& rect, CWnd* parent, int controlId) {
    if (!CreateEx(parent, rect, style, controlId)) return FALSE;
    SetWindowText(text);
    return TRUE;
}

UINT CButton::ItemState() const {
    UINT state = 0;
    if (m_bPushedLook) state |= ODS_SELECTED;
    if (!isEnabled()) state |= ODS_DISABLED;
    if (hasFocus()) state |= ODS_FOCUS;
    return state;
}

void CButton::DrawItem(const DRAWITEMSTRUCT&) {}

BOOL CButton::OnEraseBkgnd(QPainter&) { return TRUE; }  // the button paints all of itself

void CButton::OnPaint(QPainter& dc) {
    if (!IsOwnerDraw()) {
        PaintStandard(dc);
        return;
    }
    Rect client;
    GetClientRect(&client);
    DRAWITEMSTRUCT item;
    item.dc = &dc;
    item.itemState = ItemState();
    item.rcItem = client;
    item.CtlID = GetDlgCtrlID();
    DrawItem(item);
}

void CButton::PaintStandard(QPainter& dc) {
    QStyleOptionButton option;
    option.initFrom(this);
    option.text = GetWindowText();
    option.fontMetrics = QFontMetrics(DialogFont());
    if (m_bPushedLook) option.state |= QStyle::State_Sunken;
    else option.state |= QStyle::State_Raised;
    dc.setFont(DialogFont());
    style()->drawControl(QStyle::CE_PushButton, &option, &dc, this);
}

void CButton::SetPushedLook(bool pushed) {
    if (m_bPushedLook == pushed) return;
    m_bPushedLook = pushed;
    RedrawWindow(nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CButton::OnLButtonDown(UINT, Point) {
    if (!isEnabled()) return;
    m_bCapturing = true;
    // A push button follows the pointer off itself and back until the release, as the platform's does.
    SetCapture();
    SetFocus();
    SetPushedLook(true);
}

void CButton::OnLButtonDblClk(UINT flags, Point point) { OnLButtonDown(flags, point); }

void CButton::OnMouseMove(UINT, Point point) {
    if (!m_bCapturing) return;
    Rect client;
    GetClientRect(&client);
    SetPushedLook(PtInRect(client, point));
}

void CButton::OnLButtonUp(UINT, Point) {
    if (!m_bCapturing) return;
    m_bCapturing = false;
    ReleaseCapture();
    const bool clicked = m_bPushedLook;
    SetPushedLook(false);
    if (clicked) NotifyClicked();
}

void CButton::OnKeyDown(UINT virtualKey, UINT, UINT) {
    if (virtualKey == VK_SPACE && isEnabled()) NotifyClicked();
}

void CButton::NotifyClicked() {
    if (CWnd* parent = GetParent()) {
        parent->SendMessage(WM_COMMAND, MakeWParam(static_cast<UINT>(GetDlgCtrlID()), BN_CLICKED),
                            reinterpret_cast<LParam>(GetSafeHwnd()));
    }
}

}  // namespace platform
