#pragma once
// The base window: a QWidget that receives the platform's messages and mouse, key, size and paint
// notifications through the overridable hooks the panes and controls are written against.
//
// Threads: every member runs on the user-interface thread unless its comment says otherwise.
// The object and the window are separate, as on the platform: a CWnd exists from construction,
// but it has a window (a handle, a place in the parent, messages) only between a creation call and
// DestroyWindow. Destroying a parent's window takes its children's windows with it but leaves
// the child objects to their owners.
// A class whose OnDestroy must run when the object goes away calls DestroyWindow in its own
// destructor: by the time ~CWnd runs, only CWnd's hooks are left.
//
// Alt+Space, wherever the focus is, sends SC_KEYMENU to the top window of the family (the one
// with no parent) instead of reaching the focused window as a key.
//
// Differences from the platform kept on purpose: the wheel goes to the window under the pointer
// (and to its parent when OnMouseWheel returns FALSE), and the pointer passing into a child window
// is not a leave of the parent.

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/geometry.h"
#include "platform/messages.h"
#include "platform/qt/win_defs.h"

class QPainter;

namespace platform {

class MouseTracker;

// The colours a control asks its parent for before it paints (the platform's control-colour
// notification). Transparent leaves the parent's pixels under the text.
struct CtlColors {
    QColor text{0, 0, 0};
    QColor background{240, 240, 240};
    bool transparent = false;
};

class CWnd : public QWidget, private MessageSink {
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Null before creation and after DestroyWindow. Posting to the handle is the thread-safe way
    // in from other threads: PostMessage, and PostInvalidate and PostWindowText
    // (platform/qt/posted_window_calls.h) for a redraw or a new text.
    WindowHandle GetSafeHwnd() const { return m_hWnd.load(); }

    // Creates the window: a child of parent at rect (parent's client coordinates), or a top-level
    // window at rect (screen coordinates) when parent is null. Sends the first OnSize. Fails when
    // the window already exists.
    BOOL CreateEx(CWnd* parent, const Rect& rect, UINT style, int controlId);
    // Destroys the window and the windows of its children (OnDestroy first); the objects stay,
    // and child objects are no longer in this widget's tree, whatever order their owners free
    // them in.
    BOOL DestroyWindow();

    int GetDlgCtrlID() const { return m_nControlId; }
    CWnd* GetDlgItem(int controlId) const;
    CWnd* GetParent() const;
    UINT GetStyle() const { return m_nStyle; }
    // Adds and removes style bits. Moving from WS_CHILD to WS_POPUP detaches a child: it becomes a
    // frameless window of its own at the same screen position, still owned by its parent, so it keeps
    // taking the mouse and the keyboard while a modal dialog of its family runs, and its posted
    // messages still walk up through the parent. Moving back to WS_CHILD returns it to the exact
    // place and size it had in the parent. Full screen, as the video pane does it:
    //   enter: rc = GetMonitorRect(); ModifyStyle(WS_CHILD, WS_POPUP);
    //          SetWindowPos(true, rc.left, rc.top, rc.Width(), rc.Height(), TRUE);
    //   leave: ModifyStyle(WS_POPUP, WS_CHILD); the saved screen rectangle through the parent's
    //          ScreenToClient; MoveWindow(that rectangle, TRUE).
    BOOL ModifyStyle(UINT remove, UINT add);

    void GetClientRect(Rect* rect) const;
    // Screen coordinates. For a top-level window any thread may call it: it then returns the last
    // rectangle the window was given or asked for (see PostMoveWindow), under the window's
    // rectangle lock, held only to copy it.
    void GetWindowRect(Rect* rect) const;
    void ClientToScreen(Point* point) const;
    void ScreenToClient(Point* point) const;

    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    BOOL MoveWindow(const Rect& rect, BOOL repaint = TRUE);
    // Any thread: asks the user-interface thread to move the top-level window to rect (screen
    // coordinates). Takes the rectangle lock and then the window registry's lock, each briefly;
    // never waits for the user-interface thread. Fails once the window is destroyed.
    BOOL PostMoveWindow(const Rect& rect);
    // Places the window; topMost keeps a top-level window above the others. With show, a top-level
    // window is also shown (full screen when it is topmost and covers exactly its monitor), raised,
    // activated and given the keyboard focus.
    BOOL SetWindowPos(bool topMost, int x, int y, int width, int height, BOOL show);
    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const;
    BOOL IsZoomed() const;
    BOOL IsIconic() const;
    BOOL EnableWindow(BOOL enable);
    BOOL IsWindowEnabled() const;
    void SetFocus();
    // The screen the window is on (the primary one when it is on none), in screen coordinates.
    Rect GetMonitorRect() const;

    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(const Rect* rect, BOOL erase = TRUE);
    void UpdateWindow();
    // RDW_INVALIDATE marks rect (all when null), RDW_ERASE lets OnEraseBkgnd run first,
    // RDW_UPDATENOW paints before returning.
    BOOL RedrawWindow(const Rect* rect = nullptr, UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);

    void SetWindowText(const QString& text);
    QString GetWindowText() const;

    // Any thread: the platform's PostMessage to this window (takes the registry's lock briefly).
    BOOL PostMessage(MessageId message, WParam wParam = 0, LParam lParam = 0);
    // Runs WindowProc at once, without pre-translation.
    LResult SendMessage(MessageId message, WParam wParam = 0, LParam lParam = 0);

    // TME_HOVER: one OnMouseHover hoverMs after the request if the pointer is still over the
    // window; TME_LEAVE: OnMouseLeave when it leaves (at once if it is already outside), which ends
    // all tracking. TME_CANCEL removes the given kinds.
    BOOL TrackMouseEvent(UINT flags, UINT hoverMs);
    // Mouse capture. Without it (the default, as on the platform) a move or release while a button
    // is held goes to the window under the pointer, whichever window the button went down in, and
    // the window the pointer moved off gets its leave at once, which ends a drag in most controls.
    // With it this window keeps every move and the release, even outside, and its leave comes only
    // after the release. Take it in the button-down handler and release it in the button-up one.
    void SetCapture();
    void ReleaseCapture();
    bool HasCapture() const { return m_bCapture; }
    // Sets the pointer's shape over this window until the next mouse move resets it to the arrow,
    // unless the handler of that move sets it again.
    void SetCursor(Qt::CursorShape shape);

    // The walk a posted message takes: PreTranslateMessage of the target, then of each parent up to
    // the top-level window; the first that returns TRUE ends the message. Otherwise WindowProc of
    // the target handles it.
    static void DispatchMessage(CWnd* target, Message message);

    // Lets files be dropped on the window (OnDropFiles) or refuses them; refused by default.
    void DragAcceptFiles(BOOL accept = TRUE);

    // A child control asks for its colours before painting; the default leaves them as they are.
    virtual void OnCtlColor(CWnd* control, CtlColors& colors);

    // Called as the window comes into being, by CreateEx and when a control object is bound to a
    // window of its dialog, before the first OnSize.
    virtual void PreSubclassWindow() {}
    virtual BOOL PreTranslateMessage(Message& message);
    virtual LResult WindowProc(MessageId message, WParam wParam, LParam lParam);

protected:
    virtual BOOL OnCommand(WParam wParam, LParam lParam);
    // SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE and SC_CLOSE by default.
    virtual void OnSysCommand(UINT id, LParam lParam);
    virtual void OnClose();
    virtual void OnDestroy() {}
    virtual void OnSize(UINT type, int width, int height);
    // Fills the invalid area with the dialog face colour; TRUE when erased.
    virtual BOOL OnEraseBkgnd(QPainter& dc);
    virtual void OnPaint(QPainter& dc);
    // Points are client coordinates; flags are MK_* bits.
    virtual void OnMouseMove(UINT flags, Point point);
    virtual void OnLButtonDown(UINT flags, Point point);
    virtual void OnLButtonUp(UINT flags, Point point);
    virtual void OnLButtonDblClk(UINT flags, Point point);
    virtual void OnRButtonDown(UINT flags, Point point);
    virtual void OnRButtonUp(UINT flags, Point point);
    // zDelta: 120 per notch, positive away from the user; point in screen coordinates. Returning
    // FALSE hands the wheel to the parent.
    virtual BOOL OnMouseWheel(UINT flags, short zDelta, Point screenPoint);
    virtual void OnMouseHover(UINT flags, Point point);
    virtual void OnMouseLeave();
    virtual void OnKeyDown(UINT virtualKey, UINT repeatCount, UINT flags);
    // Files dropped on a window that accepts them: one entry per dropped item, empty for an item
    // that is no local file.
    virtual void OnDropFiles(const QStringList& paths);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Deliver(const Message& message) override;
    void ApplyPostedMove(WParam position, LParam size);
    void ApplyPostedText();
    void ReportSizeIfChanged();
    void StoreWindowRect();
    void ToTopLevel();
    void BackToChild();
    void NotePointer(const QPoint& clientPoint);
    void HandleMove(const QPoint& clientPoint, UINT flags);
    static CWnd* WindowUnderPointer(const QPoint& global);
    static void LeaveIfOutside(CWnd* window, const QPoint& global);
    // Offers message to PreTranslateMessage from target up to its top-level window; true when a
    // handler ended it or target went away.
    static bool PreTranslateWalk(CWnd* target, Message& message);

    // Read by other threads (PostMessage, PostMoveWindow) while the user-interface thread may be
    // destroying the window.
    std::atomic<WindowHandle> m_hWnd{nullptr};
    int m_nControlId = 0;
    UINT m_nStyle = 0;
    QPointer<QWidget> m_pChildParent;  // parent to return to after ModifyStyle made us a popup
    QRect m_rcChildGeometry;           // our place in that parent, restored on the way back
    QSize m_lastReportedSize{-1, -1};
    bool m_bSkipErase = false;
    bool m_bCursorSetThisMove = false;
    bool m_bPointerInside = false;
    bool m_bCapture = false;
    // The window the moves of a held button without capture went to last, which gets its leave
    // when they go elsewhere.
    static QPointer<CWnd> s_pHeldOver;
    Point m_ptLastMouse;
    std::unique_ptr<MouseTracker> m_pTracker;

    // The top-level window rectangle other threads read; pending moves are requested rectangles
    // the user-interface thread has not applied yet, during which the rectangle stays as asked.
    mutable std::mutex m_rectMutex;
    Rect m_rcShared;
    int m_nPendingMoves = 0;
};

}  // namespace platform
