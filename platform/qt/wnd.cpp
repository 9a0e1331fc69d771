#include "platform/qt/wnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include "platform/qt/draw_kit.h"
#include "platform/qt/mouse_tracker.h"
#include "platform/qt/posted_window_calls.h"

namespace platform {

namespace {

// Posted moves travel as a message of our own so that they fail, like every post, once the window
// is gone; they skip pre-translation as the platform's cross-thread moves do.
constexpr MessageId kPostedMove = 0xC0DE;

class PostedMessageEvent : public QEvent {
public:
    explicit PostedMessageEvent(const Message& message) : QEvent(Type()), m_message(message) {}
    static QEvent::Type Type() {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    const Message& message() const { return m_message; }

private:
    Message m_message;
};

#if defined(__SANITIZE_THREAD__)
#define TELVANE_RACE_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TELVANE_RACE_CHECKER 1
#endif
#endif
#ifdef TELVANE_RACE_CHECKER
extern "C" void AnnotateIgnoreWritesBegin(const char* file, int line);
extern "C" void AnnotateIgnoreWritesEnd(const char* file, int line);
#endif

// Qt's posted-event queue is guarded by a futex lock the race checker cannot see, so an event a
// worker builds and the user-interface thread reads and frees would look unguarded to it. The
// queue does order them: the building is kept out of the checker's view, and nothing else is.
PostedMessageEvent* NewPostedEvent(const Message& message) {
#ifdef TELVANE_RACE_CHECKER
    AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
#endif
    auto* event = new PostedMessageEvent(message);
#ifdef TELVANE_RACE_CHECKER
    AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
#endif
    return event;
}

static_assert(sizeof(WParam) == 8 && sizeof(LParam) == 8, "a rectangle travels in two 64-bit words");

WParam PackPair(int32_t high, int32_t low) {
    return (static_cast<WParam>(static_cast<uint32_t>(high)) << 32) | static_cast<uint32_t>(low);
}
int32_t PairHigh(uint64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value >> 32)); }
int32_t PairLow(uint64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

bool OnOwnThread(const QObject* object) { return QThread::currentThread() == object->thread(); }

}  // namespace

CWnd::CWnd() {
    setMouseTracking(true);
    m_pTracker = std::make_unique<MouseTracker>(
        this, [this] { return m_bPointerInside; }, [this] { OnMouseHover(0, m_ptLastMouse); },
        [this] { OnMouseLeave(); });
}

CWnd::~CWnd() { DestroyWindow(); }

BOOL CWnd::CreateEx(CWnd* parent, const Rect& rect, UINT style, int controlId) {
    if (m_hWnd) return FALSE;
    m_nStyle = style;
    m_nControlId = controlId;
    if (parent) {
        setParent(parent, Qt::Widget);
    } else {
        setParent(nullptr, (style & WS_CAPTION) == WS_CAPTION ? Qt::Window
                                                              : Qt::Window | Qt::FramelessWindowHint);
        if (style & WS_SYSMENU) setWindowFlag(Qt::WindowSystemMenuHint, true);
    }
    setGeometry(ToQRect(rect));
    setEnabled(!(style & WS_DISABLED));
    m_hWnd = RegisterWindow(this);
    PreSubclassWindow();
    StoreWindowRect();
    ReportSizeIfChanged();
    if (style & WS_VISIBLE) show();
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    OnDestroy();
    // Child windows go with their parent, the child objects do not: their owners free them, so
    // they leave the widget tree that would otherwise delete them with this widget.
    const QObjectList children = QObject::children();
    for (QObject* child : children) {
        if (auto* window = dynamic_cast<CWnd*>(child)) {
            window->DestroyWindow();
            window->setParent(nullptr);
        }
    }
    const WindowHandle handle = m_hWnd.exchange(nullptr);
    UnregisterWindow(handle);
    posted_calls::DiscardWindowText(handle);
    QCoreApplication::removePostedEvents(this, PostedMessageEvent::Type());
    m_pTracker->Cancel();
    m_bCapture = false;
    hide();
    m_lastReportedSize = QSize(-1, -1);
    return TRUE;
}

CWnd* CWnd::GetDlgItem(int controlId) const {
    for (QObject* child : children()) {
        auto* window = dynamic_cast<CWnd*>(child);
        if (window && window->m_hWnd && window->m_nControlId == controlId) return window;
    }
    return nullptr;
}

CWnd* CWnd::GetParent() const {
    if (m_pChildParent) return dynamic_cast<CWnd*>(m_pChildParent.data());
    return dynamic_cast<CWnd*>(parentWidget());
}

BOOL CWnd::ModifyStyle(UINT remove, UINT add) {
    const UINT before = m_nStyle;
    m_nStyle = (m_nStyle & ~remove) | add;
    if (!m_hWnd) return TRUE;
    if ((before & WS_CHILD) && (m_nStyle & WS_POPUP) && !(m_nStyle & WS_CHILD)) ToTopLevel();
    else if ((before & WS_POPUP) && (m_nStyle & WS_CHILD)) BackToChild();
    return TRUE;
}

void CWnd::ToTopLevel() {
    if (isWindow()) return;
    const bool visible = isVisible();
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    m_pChildParent = parentWidget();
    m_rcChildGeometry = geometry();
    // The Qt parent stays: a window without one would be shut out of input by the modal main
    // dialog, and the user could not leave full screen.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    move(origin);
    StoreWindowRect();
    if (visible) show();
}

void CWnd::BackToChild() {
    if (!isWindow() || !m_pChildParent) return;
    const bool visible = isVisible();
    const bool hadKeyboard = isActiveWindow();
    QWidget* parent = m_pChildParent.data();
    m_pChildParent.clear();
    setWindowState(windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized | Qt::WindowMinimized));
    if (parentWidget() == parent) setWindowFlags(Qt::Widget);
    else setParent(parent, Qt::Widget);
    setGeometry(m_rcChildGeometry);
    ReportSizeIfChanged();
    if (visible) show();
    // The keys were this window's: they go on to the window it is back in. A window manager
    // would activate that one by itself; without one the keys would reach no window at all.
    if (hadKeyboard) window()->activateWindow();
}

void CWnd::GetClientRect(Rect* rect) const { *rect = Rect{0, 0, width(), height()}; }

void CWnd::GetWindowRect(Rect* rect) const {
    if (!OnOwnThread(this)) {
        std::lock_guard<std::mutex> lock(m_rectMutex);
        *rect = m_rcShared;
        return;
    }
    if (isWindow()) {
        std::lock_guard<std::mutex> lock(m_rectMutex);
        if (m_nPendingMoves > 0) {
            *rect = m_rcShared;
            return;
        }
    }
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    *rect = Rect{origin.x(), origin.y(), origin.x() + width(), origin.y() + height()};
}

void CWnd::ClientToScreen(Point* point) const {
    const QPoint p = mapToGlobal(QPoint(point->x, point->y));
    *point = Point{p.x(), p.y()};
}

void CWnd::ScreenToClient(Point* point) const {
    const QPoint p = mapFromGlobal(QPoint(point->x, point->y));
    *point = Point{p.x(), p.y()};
}

BOOL CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    if (!m_hWnd) return FALSE;
    setGeometry(x, y, std::max(0, width), std::max(0, height));
    StoreWindowRect();
    // A hidden widget gets its resize event only when shown; the size notification is due now.
    ReportSizeIfChanged();
    if (repaint) update();
    return TRUE;
}

BOOL CWnd::MoveWindow(const Rect& rect, BOOL repaint) {
    return MoveWindow(rect.left, rect.top, rect.Width(), rect.Height(), repaint);
}

BOOL CWnd::PostMoveWindow(const Rect& rect) {
    {
        std::lock_guard<std::mutex> lock(m_rectMutex);
        m_rcShared = rect;
        ++m_nPendingMoves;
    }
    // A handle read just before DestroyWindow cleared it names an unregistered window: the post fails.
    if (platform::PostMessage(m_hWnd, kPostedMove, PackPair(rect.left, rect.top),
                              static_cast<LParam>(PackPair(rect.Width(), rect.Height()))))
        return TRUE;
    std::lock_guard<std::mutex> lock(m_rectMutex);
    --m_nPendingMoves;
    return FALSE;
}

void CWnd::ApplyPostedMove(WParam position, LParam size) {
    const uint64_t packedSize = static_cast<uint64_t>(size);
    setGeometry(PairHigh(position), PairLow(position), std::max(0, PairHigh(packedSize)),
                std::max(0, PairLow(packedSize)));
    {
        std::lock_guard<std::mutex> lock(m_rectMutex);
        if (m_nPendingMoves > 0) --m_nPendingMoves;
    }
    StoreWindowRect();
    // A move alone leaves the picture as it is; a new size repaints through the resize.
    ReportSizeIfChanged();
}

BOOL CWnd::SetWindowPos(bool topMost, int x, int y, int width, int height, BOOL show) {
    if (!m_hWnd) return FALSE;
    if (isWindow() && topMost != bool(windowFlags() & Qt::WindowStaysOnTopHint))
        setWindowFlag(Qt::WindowStaysOnTopHint, topMost);
    MoveWindow(x, y, width, height, TRUE);
    if (show) {
        // Over its whole screen the window asks for full screen, or the desktop's own panels
        // would stay above it.
        const bool wholeScreen = isWindow() && topMost && GetMonitorRect() == Rect{x, y, x + width, y + height};
        if (wholeScreen) showFullScreen();
        else QWidget::show();
        raise();
        activateWindow();
        // A window without a focused child of its own takes the keys itself (Esc in full screen).
        QWidget* focused = focusWidget();
        if (isWindow() && focused != this && !isAncestorOf(focused)) setFocus(Qt::ActiveWindowFocusReason);
    }
    return TRUE;
}

BOOL CWnd::ShowWindow(int command) {
    if (!m_hWnd) return FALSE;
    const BOOL wasVisible = isVisible();
    switch (command) {
    case SW_HIDE: hide(); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: showMinimized(); break;
    case SW_SHOWMAXIMIZED: showMaximized(); break;
    case SW_SHOWNORMAL:
    case SW_RESTORE: showNormal(); break;
    default: show(); break;
    }
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const { return m_hWnd && isVisible(); }
BOOL CWnd::IsZoomed() const { return isMaximized(); }
BOOL CWnd::IsIconic() const { return isMinimized(); }

BOOL CWnd::EnableWindow(BOOL enable) {
    const BOOL wasDisabled = !isEnabled();
    setEnabled(enable != FALSE);
    if (enable) m_nStyle &= ~WS_DISABLED;
    else m_nStyle |= WS_DISABLED;
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return isEnabled(); }
void CWnd::SetFocus() { setFocus(Qt::OtherFocusReason); }

Rect CWnd::GetMonitorRect() const {
    QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    return where ? ToRect(where->geometry()) : Rect{};
}

void CWnd::Invalidate(BOOL erase) { InvalidateRect(nullptr, erase); }

void CWnd::InvalidateRect(const Rect* rect, BOOL erase) {
    if (!erase) m_bSkipErase = true;
    if (rect) update(ToQRect(*rect));
    else update();
}

void CWnd::UpdateWindow() {
    // Painting outside the paint event is not allowed: flush what is invalid now instead.
    if (isVisible()) repaint(visibleRegion());
}

BOOL CWnd::RedrawWindow(const Rect* rect, UINT flags) {
    if (!m_hWnd) return FALSE;
    if (flags & RDW_INVALIDATE) InvalidateRect(rect, (flags & RDW_ERASE) != 0);
    if ((flags & RDW_UPDATENOW) && isVisible()) {
        if (rect) repaint(ToQRect(*rect));
        else repaint();
    }
    return TRUE;
}

void CWnd::SetWindowText(const QString& text) {
    setWindowTitle(text);
    update();
}

QString CWnd::GetWindowText() const { return windowTitle(); }

BOOL CWnd::PostMessage(MessageId message, WParam wParam, LParam lParam) {
    return platform::PostMessage(m_hWnd, message, wParam, lParam);
}

LResult CWnd::SendMessage(MessageId message, WParam wParam, LParam lParam) {
    return WindowProc(message, wParam, lParam);
}

BOOL CWnd::TrackMouseEvent(UINT flags, UINT hoverMs) {
    if (!m_hWnd) return FALSE;
    m_pTracker->Request(flags, hoverMs);
    return TRUE;
}

void CWnd::SetCursor(Qt::CursorShape shape) {
    m_bCursorSetThisMove = true;
    if (cursor().shape() != shape) setCursor(QCursor(shape));
}

bool CWnd::PreTranslateWalk(CWnd* target, Message& message) {
    QPointer<CWnd> guard(target);
    for (QPointer<CWnd> window = target; window; window = window->GetParent()) {
        // A child turned popup (full screen) still belongs to its former parent's family.
        const bool topLevel = window->isWindow() && !window->m_pChildParent;
        if (window->PreTranslateMessage(message)) return true;
        if (!guard || !window || topLevel) break;
    }
    return !guard || !guard->m_hWnd;
}

void CWnd::DispatchMessage(CWnd* target, Message message) {
    QPointer<CWnd> guard(target);
    if (PreTranslateWalk(target, message) || !guard) return;
    guard->WindowProc(message.message, message.wParam, message.lParam);
}

BOOL CWnd::PreTranslateMessage(Message&) { return FALSE; }
void CWnd::OnCtlColor(CWnd*, CtlColors&) {}

LResult CWnd::WindowProc(MessageId message, WParam wParam, LParam lParam) {
    switch (message) {
    case WM_COMMAND: return OnCommand(wParam, lParam);
    case WM_SYSCOMMAND: OnSysCommand(static_cast<UINT>(wParam), lParam); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_KEYDOWN: OnKeyDown(static_cast<UINT>(wParam), 1, 0); return 0;
    default: return 0;
    }
}

BOOL CWnd::OnCommand(WParam, LParam) { return FALSE; }

// The system's own commands use only the high twelve bits; a window's own menu items may use all.
void CWnd::OnSysCommand(UINT id, LParam) {
    switch (id & 0xFFF0) {
    case SC_MINIMIZE: showMinimized(); break;
    case SC_MAXIMIZE: showMaximized(); break;
    case SC_RESTORE:
        if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
        else showNormal();
        break;
    case SC_CLOSE: SendMessage(WM_CLOSE); break;
    default: break;
    }
}

void CWnd::OnClose() { DestroyWindow(); }
void CWnd::OnSize(UINT, int, int) {}

BOOL CWnd::OnEraseBkgnd(QPainter& dc) {
    // The dialog face colour of the platform's default scheme.
    dc.fillRect(rect(), QColor(240, 240, 240));
    return TRUE;
}

void CWnd::OnPaint(QPainter&) {}
void CWnd::OnMouseMove(UINT, Point) {}
void CWnd::OnLButtonDown(UINT, Point) {}
void CWnd::OnLButtonUp(UINT, Point) {}
void CWnd::OnLButtonDblClk(UINT, Point) {}
void CWnd::OnRButtonDown(UINT, Point) {}
void CWnd::OnRButtonUp(UINT, Point) {}
BOOL CWnd::OnMouseWheel(UINT, short, Point) { return FALSE; }
void CWnd::OnMouseHover(UINT, Point) {}
void CWnd::OnMouseLeave() {}
void CWnd::OnKeyDown(UINT, UINT, UINT) {}
void CWnd::OnDropFiles(const QStringList&) {}
void CWnd::DragAcceptFiles(BOOL accept) { setAcceptDrops(accept != FALSE); }

void CWnd::Deliver(const Message& message) {
    QCoreApplication::postEvent(this, NewPostedEvent(message));
}

bool CWnd::event(QEvent* event) {
    if (event->type() != PostedMessageEvent::Type()) return QWidget::event(event);
    const Message message = static_cast<PostedMessageEvent*>(event)->message();
    if (!m_hWnd) return true;
    if (message.message == kPostedMove) ApplyPostedMove(message.wParam, message.lParam);
    else if (message.message == posted_calls::kInvalidate) Invalidate(message.wParam ? TRUE : FALSE);
    else if (message.message == posted_calls::kWindowText) ApplyPostedText();
    else DispatchMessage(this, message);
    return true;
}

void CWnd::ApplyPostedText() {
    QString text;
    if (posted_calls::TakeWindowText(m_hWnd, text)) SetWindowText(text);
}

void CWnd::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    if (!m_bSkipErase) OnEraseBkgnd(dc);
    m_bSkipErase = false;
    OnPaint(dc);
}

void CWnd::resizeEvent(QResizeEvent*) {
    StoreWindowRect();
    ReportSizeIfChanged();
}

void CWnd::moveEvent(QMoveEvent*) { StoreWindowRect(); }

void CWnd::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && m_hWnd) {
        if (isMinimized()) {
            m_lastReportedSize = QSize(0, 0);
            OnSize(SIZE_MINIMIZED, 0, 0);
        } else {
            ReportSizeIfChanged();
        }
    }
    QWidget::changeEvent(event);
}

void CWnd::ReportSizeIfChanged() {
    if (!m_hWnd || size() == m_lastReportedSize) return;
    m_lastReportedSize = size();
    OnSize(isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED, width(), height());
}

void CWnd::StoreWindowRect() {
    if (!isWindow()) return;
    std::lock_guard<std::mutex> lock(m_rectMutex);
    if (m_nPendingMoves > 0) return;
    m_rcShared = ToRect(geometry());
}

void CWnd::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (m_hWnd) OnClose();
}

}  // namespace platform
