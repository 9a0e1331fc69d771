#pragma once
// The pointer query that fits the running session: X11 where the windows are X11 windows, the
// no-pointer fallback elsewhere (Wayland, offscreen). User-interface thread, after the application
// object exists; the query it returns may then be used from any thread.

#include <memory>

#include "platform/pointer_query.h"

namespace platform {

std::shared_ptr<PointerQuery> SystemPointerQuery();

}  // namespace platform
