#pragma once
// The frameless skinned top-level window: paints its own caption strip and border from the
// pictures in pictures/, draws icon, title and the minimise / maximise-restore / close buttons,
// tracks their hover and press states, and moves and resizes itself through a caption poller
// thread that follows the global pointer every 5 ms. The content rectangle is the subclass's.

#include <QImage>
#include <atomic>
#include <memory>

#include "platform/geometry.h"
#include "platform/pointer_query.h"
#include "platform/qt/dialog.h"
#include "platform/sync.h"

// The edges and corners a resize drags, as the poller sees them.
struct SizingEdges {
    bool top = false, left = false, bottom = false, right = false;
    bool topRight = false, topLeft = false, bottomRight = false, bottomLeft = false;
};

// The window rectangle after the pointer moved by (dx, dy) while the given edges are dragged.
// The side opposite a dragged edge stays; the size never drops below minWidth x minHeight nor grows
// past maxSize, the dragged side giving way.
platform::Rect ResizeWindowRect(platform::Rect window, const SizingEdges& edges, int dx, int dy, int minWidth,
                                int minHeight, int maxSize);

class CBlackWindow : public platform::CDialogEx {
public:
    // The parent is ignored: the skinned window is always a top-level window.
    explicit CBlackWindow(platform::UINT templateId, platform::CWnd* parent = nullptr);
    ~CBlackWindow() override;

    // FALSE, changing nothing, when the window does not exist or a side of client is not 1..5000.
    platform::BOOL CalcFrameRects(const platform::Rect& client);
    platform::BOOL LoadFrameImages();
    // Repaints caption, border, icon, title and buttons now; the content rectangle is untouched.
    platform::BOOL PaintFrame();
    // The poller's loop: runs until m_bCaptionRun is cleared. Its own thread.
    static unsigned CaptionPollThread(CBlackWindow* window);

    // The pointer the poller follows; the session's own unless set before the poller starts.
    void SetPointerQuery(std::shared_ptr<platform::PointerQuery> query);
    // Starts CaptionPollThread on this window; for subclasses whose OnInitDialog does not call
    // CBlackWindow::OnInitDialog. FALSE when it already runs. Without a global pointer (Wayland)
    // no thread is started: the compositor follows the drags.
    platform::BOOL StartCaptionPoller();

    // The smallest window the edges can make: the caption keeps room to be grabbed and the
    // buttons stay on screen. The largest is the frame's 5000-pixel limit.
    static constexpr int kMinWidth = 120;
    static constexpr int kMinHeight = 40;
    static constexpr int kMaxSize = 5000;

protected:
    platform::BOOL OnInitDialog() override;
    void OnSize(platform::UINT type, int width, int height) override;
    void OnPaint(QPainter& dc) override;
    void OnMouseMove(platform::UINT flags, platform::Point point) override;
    void OnLButtonDown(platform::UINT flags, platform::Point point) override;
    void OnLButtonUp(platform::UINT flags, platform::Point point) override;
    void OnLButtonDblClk(platform::UINT flags, platform::Point point) override;
    void OnMouseLeave() override;

    // The picture a caption button shows: which is 0 minimise, 1 maximise, 2 close; state 0
    // normal, 1 pressed, 2 hover. Null when the picture is not loaded.
    const QImage* ButtonPicture(int which, int state) const;

    platform::Rect m_rcIcon;
    platform::Rect m_rcTitle;
    platform::Rect m_rcMinButton, m_rcMaxButton, m_rcCloseButton;
    platform::Rect m_rcLeftEdge, m_rcTopEdge, m_rcBottomEdge, m_rcRightEdge;
    platform::Rect m_rcTopLeft, m_rcBottomLeft, m_rcTopRight, m_rcBottomRight;
    int m_bShowIcon = 0, m_bShowTitle = 0, m_bShowMinButton = 0, m_bShowMaxButton = 0, m_bShowCloseButton = 0;
    std::atomic<int> m_bResizable{0};
    std::atomic<int> m_bMovable{0};
    platform::Rect m_rcContent;
    platform::Rect m_rcCaption;
    int m_nBorder = 3;
    int m_nCaptionHeight = 35;
    int m_nMinState = 0, m_nMaxState = 0, m_nCloseState = 0;  // 0 normal, 1 pressed, 2 hover
    int m_bImagesLoaded = 0;
    std::atomic<int> m_bCaptionDrag{0};
    std::atomic<int> m_bSizeTop{0}, m_bSizeLeft{0}, m_bSizeBottom{0}, m_bSizeRight{0};
    std::atomic<int> m_bSizeTopRight{0}, m_bSizeTopLeft{0}, m_bSizeBottomRight{0}, m_bSizeBottomLeft{0};
    platform::Point m_ptLastCursor;  // written and read by the poller only
    // A press starts a new gesture: the UI thread leaves its screen point here and raises the flag,
    // and the poller starts the gesture from that point, even when it never saw the button up.
    std::atomic<int> m_nPressX{0}, m_nPressY{0};
    std::atomic<int> m_bNewGesture{0};
    platform::Thread m_hCaptionThread;
    std::atomic<int> m_bCaptionRun{1};
    std::unique_ptr<QImage> m_pIconImage, m_pBackground;
    std::unique_ptr<QImage> m_pMinNormal, m_pMinHover, m_pMinClick;
    std::unique_ptr<QImage> m_pMaxNormal, m_pMaxHover, m_pMaxClick;
    std::unique_ptr<QImage> m_pRestoreNormal, m_pRestoreHover, m_pRestoreClick;
    std::unique_ptr<QImage> m_pCloseNormal, m_pCloseHover, m_pCloseClick;

private:
    void PollOnce();
    void FollowDrag(platform::Point cursor, bool leftDown);
    void FollowResize(platform::Point cursor, bool leftDown);
    platform::Rect& GestureRect();
    static bool AnySizing(const SizingEdges& edges);
    SizingEdges CurrentSizing() const;
    void ClearSizing();
    void StartGesture(platform::Point point);
    bool RaiseSizingFlags(platform::Point point);
    bool SetSizingCursor(platform::Point point);
    void HandToCompositor();
    bool PointerIsGlobal();
    bool FrameCanPaint();
    void DrawFramePicture(QPainter& painter);
    void DrawButton(QPainter& painter, const platform::Rect& rect, int which, int state);

    std::shared_ptr<platform::PointerQuery> m_pPointer;
    // The poller's own: the window rectangle it is driving during a drag or resize.
    bool m_bGestureRect = false;
    platform::Rect m_rcGesture;
};
