#pragma once
// The X11 backend of the pointer query: a display connection of its own, so that a worker thread
// can ask XQueryPointer without going through the user-interface thread's connection.

#include <memory>

#include "platform/pointer_query.h"

namespace platform {

// Null when the display (DISPLAY) cannot be opened.
std::shared_ptr<PointerQuery> CreateX11PointerQuery();

}  // namespace platform
