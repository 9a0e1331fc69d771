#pragma once
// The pointer as the whole screen sees it: position in screen pixels and whether the left button is
// held, asked from a worker thread (the skinned frame's caption poller) without the user-interface
// thread's help. Backends: X11 (platform/qt/pointer_query_x11.cpp) and a fallback for sessions that
// have no global pointer (pointer_query_none.cpp), where windows move through the compositor.

#include <memory>

#include "platform/geometry.h"

namespace platform {

class PointerQuery {
public:
    virtual ~PointerQuery() = default;

    // Any thread, any number of threads at once. May block on one round trip to the display
    // server; never waits for the user-interface thread. False when no position is available,
    // in which case the outputs are left as they were.
    virtual bool Query(Point& screen, bool& leftButtonDown) = 0;

    // False where the session hides the global pointer (Wayland): callers must hand interactive
    // moves and resizes to the compositor instead of following the pointer themselves.
    virtual bool IsGlobal() const = 0;
};

// A query that never has a position; IsGlobal() is false.
std::shared_ptr<PointerQuery> CreateNoPointerQuery();

}  // namespace platform
