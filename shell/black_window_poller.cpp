// The caption poller: a thread of the frame's own that follows the global pointer while the
// caption or an edge is held and moves or resizes the window after it. The window system cannot
// do this for a frameless window without a window manager, so the frame does it itself.

#include "shell/black_window.h"

#include <algorithm>

#include "platform/qt/system_pointer.h"

using namespace platform;

namespace {

constexpr int kPointerPollMs = 5;

}  // namespace

Rect ResizeWindowRect(Rect window, const SizingEdges& edges, int dx, int dy, int minWidth, int minHeight, int maxSize) {
    if (edges.bottom) window.bottom += dy;
    if (edges.left) window.left += dx;
    if (edges.topRight) { window.top += dy; window.right += dx; }
    if (edges.topLeft) { window.top += dy; window.left += dx; }
    if (edges.right) window.right += dx;
    if (edges.bottomRight) { window.right += dx; window.bottom += dy; }
    if (edges.bottomLeft) { window.left += dx; window.bottom += dy; }
    if (edges.top) window.top += dy;

    const bool leftMoves = edges.left || edges.topLeft || edges.bottomLeft;
    const bool topMoves = edges.top || edges.topLeft || edges.topRight;
    const int width = std::clamp(window.Width(), minWidth, maxSize);
    const int height = std::clamp(window.Height(), minHeight, maxSize);
    if (leftMoves) window.left = window.right - width;
    else window.right = window.left + width;
    if (topMoves) window.top = window.bottom - height;
    else window.bottom = window.top + height;
    return window;
}

unsigned CBlackWindow::CaptionPollThread(CBlackWindow* window) {
    while (window->m_bCaptionRun) {
        window->PollOnce();
        Sleep(kPointerPollMs);
    }
    return 0;
}

void CBlackWindow::PollOnce() {
    Point cursor = m_ptLastCursor;
    bool leftDown = false;
    if (!m_pPointer->Query(cursor, leftDown)) return;
    if (m_bNewGesture.exchange(0)) {
        m_ptLastCursor = Point{m_nPressX, m_nPressY};
        m_bGestureRect = false;
    }
    FollowDrag(cursor, leftDown);
    FollowResize(cursor, leftDown);
    if (!m_bCaptionDrag && !AnySizing(CurrentSizing())) m_bGestureRect = false;
    m_ptLastCursor = cursor;
}

// The window rectangle is read once per gesture and then carried forward by the poller itself:
// the window system confirms each move later, and a stale confirmation read back in the middle
// of a drag would lose the pointer's movement since.
Rect& CBlackWindow::GestureRect() {
    if (!m_bGestureRect) {
        GetWindowRect(&m_rcGesture);
        m_bGestureRect = true;
    }
    return m_rcGesture;
}

void CBlackWindow::FollowDrag(Point cursor, bool leftDown) {
    if (!m_bCaptionDrag || !m_bMovable) return;
    if (!leftDown) {
        m_bCaptionDrag = 0;
        return;
    }
    if (cursor == m_ptLastCursor) return;
    Rect& window = GestureRect();
    const int dx = cursor.x - m_ptLastCursor.x, dy = cursor.y - m_ptLastCursor.y;
    window = Rect{window.left + dx, window.top + dy, window.right + dx, window.bottom + dy};
    PostMoveWindow(window);
}

void CBlackWindow::FollowResize(Point cursor, bool leftDown) {
    const SizingEdges edges = CurrentSizing();
    if (!AnySizing(edges) || !m_bResizable) return;
    if (!leftDown) {
        ClearSizing();
        return;
    }
    // Moving to the rectangle the window already has changes nothing: skip the round trip.
    if (cursor == m_ptLastCursor) return;
    Rect& window = GestureRect();
    window = ResizeWindowRect(window, edges, cursor.x - m_ptLastCursor.x, cursor.y - m_ptLastCursor.y, kMinWidth,
                              kMinHeight, kMaxSize);
    PostMoveWindow(window);
}

bool CBlackWindow::AnySizing(const SizingEdges& edges) {
    return edges.top || edges.left || edges.bottom || edges.right || edges.topRight || edges.topLeft ||
           edges.bottomRight || edges.bottomLeft;
}

SizingEdges CBlackWindow::CurrentSizing() const {
    SizingEdges edges;
    edges.top = m_bSizeTop;
    edges.left = m_bSizeLeft;
    edges.bottom = m_bSizeBottom;
    edges.right = m_bSizeRight;
    edges.topRight = m_bSizeTopRight;
    edges.topLeft = m_bSizeTopLeft;
    edges.bottomRight = m_bSizeBottomRight;
    edges.bottomLeft = m_bSizeBottomLeft;
    return edges;
}

void CBlackWindow::ClearSizing() {
    m_bSizeTop = m_bSizeLeft = m_bSizeBottom = m_bSizeRight = 0;
    m_bSizeTopRight = m_bSizeTopLeft = m_bSizeBottomRight = m_bSizeBottomLeft = 0;
}
