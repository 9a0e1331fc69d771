#include "platform/qt/mouse_tracker.h"

namespace platform {

MouseTracker::MouseTracker(QObject* owner, std::function<bool()> isInside,
                           std::function<void()> onHover, std::function<void()> onLeave)
    : m_pOwner(owner), m_isInside(std::move(isInside)), m_onHover(std::move(onHover)), m_onLeave(std::move(onLeave)),
      m_hoverTimer(owner) {
    m_hoverTimer.setSingleShot(true);
    QObject::connect(&m_hoverTimer, &QTimer::timeout, owner, [this] { HoverTimeUp(); });
}

void MouseTracker::Request(UINT flags, UINT hoverMs) {
    if (flags & TME_CANCEL) {
        if (flags & TME_HOVER) m_hoverTimer.stop();
        if (flags & TME_LEAVE) m_bLeaveTracked = false;
        return;
    }
    if (flags & TME_HOVER) m_hoverTimer.start(static_cast<int>(hoverMs));
    if (flags & TME_LEAVE) {
        m_bLeaveTracked = true;
        // Posted, as the platform posts it: the caller marks itself as tracking once the request
        // returns, and a leave handled before that would be overwritten, its tracking never renewed.
        if (!m_isInside()) QTimer::singleShot(0, m_pOwner, [this] { LeaveIfStillOutside(); });
    }
}

void MouseTracker::PointerLeft() {
    m_hoverTimer.stop();
    if (!m_bLeaveTracked) return;
    m_bLeaveTracked = false;
    m_onLeave();
}

void MouseTracker::LeaveIfStillOutside() {
    if (!m_isInside()) PointerLeft();
}

void MouseTracker::Cancel() {
    m_hoverTimer.stop();
    m_bLeaveTracked = false;
}

void MouseTracker::HoverTimeUp() {
    if (m_isInside()) m_onHover();
}

}  // namespace platform
