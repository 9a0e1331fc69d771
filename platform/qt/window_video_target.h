#pragma once
// The video target of a real window: the renderer's thread hands pictures in, the window shows the
// last one over a black background when it paints.
//
// The client rectangle the renderer sees, and the pictures it presents, are in device pixels (the
// pane's logical size times the screen's device pixel ratio), so a picture keeps its own resolution
// on a high-density screen.
//
// Threads: Attach, Detach and Paint run on the user-interface thread. ClientRect and IsUsable
// answer any thread from a copy the user-interface thread keeps current (resize, show, hide, and
// the top-level window being minimised or restored). Present and ClearPresented run on the render
// thread, or the thread that destroys the renderer: they copy under the target's own short lock
// and post a repaint, and never wait for the user-interface thread.

#include <QImage>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/geometry.h"
#include "platform/messages.h"
#include "platform/video_target.h"

class QPainter;
class QWidget;

namespace platform {

class CWnd;

class WindowVideoTarget : public QObject, public VideoTarget {
public:
    WindowVideoTarget();
    ~WindowVideoTarget() override;  // detaches
    WindowVideoTarget(const WindowVideoTarget&) = delete;
    WindowVideoTarget& operator=(const WindowVideoTarget&) = delete;

    // Registers the target under window->GetSafeHwnd(); call once the window exists. Attaching to
    // another window detaches from the first.
    void Attach(CWnd* window);
    // Unregisters and forgets the window and the picture; safe to call twice. Waits only for a
    // present in progress on another thread, which holds no user-interface lock.
    void Detach();

    // Black background, then the last presented picture at its destination rectangle. For the
    // window's OnPaint.
    void Paint(QPainter& dc, const Rect& client);

    // What reached the window since it was made: pictures presented, pictures painted, pictures
    // replaced by the next before any paint showed them, and the present-to-paint time lately.
    // Any thread.
    struct PaintCounts {
        uint64_t presented = 0;
        uint64_t painted = 0;
        uint64_t replacedUnpainted = 0;
        int64_t presentToPaintUs = 0;
    };
    PaintCounts Counts() const;

    // VideoTarget
    Rect ClientRect() const override;
    bool IsUsable() const override;
    void Present(const PresentedPicture& picture) override;
    void ClearPresented() override;
    bool HasPaintedLastPicture() const override;
    int64_t PresentToPaintUs() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void WatchTopLevel();
    void RefreshState();
    void PostRepaint();
    bool TakeNewestPicture();
    void NotePainted();

    QPointer<CWnd> m_pWindow;          // user-interface thread only
    QPointer<QWidget> m_pTopLevel;     // the window whose minimising we watch
    qreal m_ratio = 1;                 // user-interface thread only: the ratio m_rcClient was made at
    WindowHandle m_hWindow = nullptr;  // the handle we are registered under

    mutable std::mutex m_mutex;
    // Guarded by m_mutex.
    Rect m_rcClient;  // device pixels
    bool m_bUsable = false;
    QImage m_picture;
    Rect m_rcDest;
    Rect m_rcMadeFor;  // the client m_picture was made for
    bool m_bNewPicture = false;  // m_picture changed since the last paint took it
    WindowHandle m_hRepaint = nullptr;  // where Present posts its repaint
    bool m_bUnpainted = false;  // a presented picture waits for its paint
    std::chrono::steady_clock::time_point m_presentedAt;  // of the newest picture
    PaintCounts m_counts;

    // User-interface thread only: the copy the window paints.
    QImage m_shown;
    Rect m_rcShownDest;
    Rect m_rcShownMadeFor;
};

}  // namespace platform
