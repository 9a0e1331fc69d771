#include "panels/m_status_bar.h"

#include <QPainter>

#include "panels/bar_colour.h"
#include "panels/command_ids.h"
#include "panels/pane_texts.h"

using namespace platform;

namespace {

constexpr int kMinLayoutWidth = 561;
const QColor kTextColour(192, 192, 192);
constexpr int kNoticeMs = 4000;

}  // namespace

std::optional<QString> StatusBarText(int speed, const QString& fileText) {
    static const char* const kMarks[] = {"", "X0.25     ", "X0.5    ", "X2    ", "X4    "};
    if (speed < 0 || speed > 4) return std::nullopt;
    return QString::fromLatin1(kMarks[speed]) + fileText;
}

std::optional<StatusBarLayout> ComputeStatusBarLayout(int width, int height) {
    if (width < kMinLayoutWidth) return std::nullopt;
    return StatusBarLayout{Rect{width - 50, 7, width - 25, 32}, Rect{width - 88, 7, width - 63, 32},
                           Rect{10, 2, width - 110, height - 10}};
}

CMStatusBar::CMStatusBar() : CDialogEx(IDD_STATUS_BAR) {
    m_noticeTimer.setSingleShot(true);
    QObject::connect(&m_noticeTimer, &QTimer::timeout, this, [this] { ShowFileText(); });
}

CMStatusBar::~CMStatusBar() { DestroyWindow(); }

void CMStatusBar::DoDataExchange() { DDX_Control(IDC_STATUS_TEXT, m_wndText); }

BOOL CMStatusBar::OnInitDialog() {
    CDialogEx::OnInitDialog();
    const QString fullScreenTip = PaneText(6);
    const QString snapshotTip = PaneText(7);
    WarnIfAnyTextMissing({fullScreenTip, snapshotTip});
    CreateButton(m_btnFullScreen, "images/fullscreen.png", m_rcFullScreen, ID_TOGGLE_FULL_SCREEN, fullScreenTip);
    CreateButton(m_btnSnapshot, "images/snapshot.png", m_rcSnapshot, ID_SNAPSHOT, snapshotTip);
    return TRUE;
}

void CMStatusBar::CreateButton(CMButton& button, const char* image, const Rect& rect, UINT id, const QString& tip) {
    if (!button.Create(IDD_MBUTTON, this) || !button.GetSafeHwnd()) return;
    button.SetImage(QString::fromLatin1(image));
    button.MoveWindow(rect, TRUE);
    button.m_nID = static_cast<int>(id);
    button.SetTipText(tip);
    button.ShowWindow(SW_SHOW);
}

void CMStatusBar::OnSize(UINT type, int width, int height) {
    CDialogEx::OnSize(type, width, height);
    const std::optional<StatusBarLayout> layout = ComputeStatusBarLayout(width, height);
    if (!layout) return;
    m_rcFullScreen = layout->fullScreen;
    m_rcSnapshot = layout->snapshot;
    m_rcText = layout->text;
    if (m_btnFullScreen.GetSafeHwnd()) m_btnFullScreen.MoveWindow(m_rcFullScreen, TRUE);
    if (m_btnSnapshot.GetSafeHwnd()) m_btnSnapshot.MoveWindow(m_rcSnapshot, TRUE);
    if (m_wndText.GetSafeHwnd()) m_wndText.MoveWindow(m_rcText, TRUE);
}

void CMStatusBar::OnPaint(QPainter& dc) { dc.fillRect(rect(), kBarColour); }

void CMStatusBar::OnCtlColor(CWnd* control, CtlColors& colors) {
    CDialogEx::OnCtlColor(control, colors);
    if (!control || control->GetDlgCtrlID() != IDC_STATUS_TEXT) return;
    colors.background = kBarColour;
    colors.text = kTextColour;
    colors.transparent = true;
}

void CMStatusBar::SetFileName(const QString& text) {
    m_noticeTimer.stop();
    m_strText = text;
    m_wndText.SetWindowText(m_strText);
}

void CMStatusBar::SetSpeedLabel(int speed) {
    m_noticeTimer.stop();
    m_nSpeed = speed;
    if (const std::optional<QString> text = StatusBarText(speed, m_strText)) m_wndText.SetWindowText(*text);
}

void CMStatusBar::ShowNotice(const QString& text) {
    m_wndText.SetWindowText(text);
    m_noticeTimer.start(kNoticeMs);
}

void CMStatusBar::ShowFileText() {
    m_wndText.SetWindowText(StatusBarText(m_nSpeed, m_strText).value_or(m_strText));
}
