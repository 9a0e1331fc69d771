#include "panels/play_wind.h"

#include <QPainter>
#include <QTimer>

#include "panels/command_ids.h"
#include "panels/path_rules.h"
#include "platform/qt/message_box.h"

using namespace platform;

CPlayWind::CPlayWind() : CDialogEx(IDD_PLAY_WIND) {}

CPlayWind::~CPlayWind() { DestroyWindow(); }

void CPlayWind::PreSubclassWindow() {
    CDialogEx::PreSubclassWindow();
    DragAcceptFiles(TRUE);
}

BOOL CPlayWind::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_pParentWnd = GetParent();
    m_videoTarget.Attach(this);
    return TRUE;
}

void CPlayWind::OnDestroy() {
    m_videoTarget.Detach();
    CDialogEx::OnDestroy();
}

// The picture and the black around it are painted together; an erase first would only flicker.
BOOL CPlayWind::OnEraseBkgnd(QPainter&) { return TRUE; }

void CPlayWind::OnPaint(QPainter& dc) {
    Rect client;
    GetClientRect(&client);
    m_videoTarget.Paint(dc, client);
}

void CPlayWind::ToggleFullScreen() {
    if (!m_bFullScreenAllowed) return;
    if (m_bFullScreen == 0) {
        GetWindowRect(&m_rcRestore);
        SetFullScreen(TRUE);
    } else {
        SetFullScreen(FALSE);
    }
}

void CPlayWind::SetFullScreen(BOOL fullScreen) {
    if (fullScreen) {
        // The whole screen, panel and task bar area included, of the screen the pane is on.
        const Rect screen = GetMonitorRect();
        ModifyStyle(WS_CHILD, WS_POPUP);
        SetWindowPos(true, screen.left, screen.top, screen.Width(), screen.Height(), TRUE);
        m_bFullScreen = 1;
        return;
    }
    ModifyStyle(WS_POPUP, WS_CHILD);
    Point topLeft{m_rcRestore.left, m_rcRestore.top};
    Point bottomRight{m_rcRestore.right, m_rcRestore.bottom};
    if (m_pParentWnd) {
        m_pParentWnd->ScreenToClient(&topLeft);
        m_pParentWnd->ScreenToClient(&bottomRight);
    }
    MoveWindow(Rect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y}, TRUE);
    m_bFullScreen = 0;
}

void CPlayWind::OnLButtonDblClk(UINT flags, Point point) {
    ToggleFullScreen();
    CDialogEx::OnLButtonDblClk(flags, point);
}

BOOL CPlayWind::PreTranslateMessage(Message& message) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE && m_bFullScreen == 1) SetFullScreen(FALSE);
    return CDialogEx::PreTranslateMessage(message);
}

void CPlayWind::OnDropFiles(const QStringList& paths) {
    if (paths.size() != 1 || paths.front().isEmpty()) return;
    if (!IsDropAccepted(paths, m_isRecording)) {
        // Not inside the drop: the program the file came from waits for the drop to finish, and
        // would wait for as long as the box stays open.
        QTimer::singleShot(0, this, [] { AfxMessageBox(QString()); });
        return;
    }
    m_strDropFile = paths.front();
    m_strDropFolder = FolderOfPath(m_strDropFile);
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_COMMAND, ID_PLAY_DROPPED_FILE, 0);
}
