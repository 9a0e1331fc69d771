#pragma once
// Hover and leave notifications on request, one of each per request, as the platform's mouse
// tracking gives them: hover fires hoverMs after the request if the pointer is still over the
// window, leave fires when the pointer leaves (as soon as the request has returned when it is
// outside already) and ends every kind of tracking. User-interface thread only.

#include <QObject>
#include <QTimer>
#include <functional>

#include "platform/qt/win_defs.h"

namespace platform {

class MouseTracker {
public:
    // isInside tells whether the pointer is over the window now; onHover and onLeave are the
    // notifications. The tracker lives inside the window it watches.
    MouseTracker(QObject* owner, std::function<bool()> isInside, std::function<void()> onHover,
                 std::function<void()> onLeave);

    void Request(UINT flags, UINT hoverMs);
    // The window saw the pointer leave.
    void PointerLeft();
    void Cancel();

private:
    void HoverTimeUp();
    void LeaveIfStillOutside();

    QObject* m_pOwner;
    std::function<bool()> m_isInside;
    std::function<void()> m_onHover;
    std::function<void()> m_onLeave;
    QTimer m_hoverTimer;
    bool m_bLeaveTracked = false;
};

}  // namespace platform
