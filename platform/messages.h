#pragma once
// Window handles and posted messages. A handle names a registered message sink; posting to a
// handle is thread-safe and fails, like posting to a destroyed window, once the sink is gone.
// Handles are never reused.

#include <cstdint>

namespace platform {

using MessageId = uint32_t;
using WParam = uintptr_t;
using LParam = intptr_t;

struct WindowHandleTag;
using WindowHandle = WindowHandleTag*;  // null = no window

constexpr MessageId kWmCommand = 0x0111;
constexpr MessageId kWmUser = 0x0400;

struct Message {
    MessageId message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

// Receives posted messages. Deliver runs on the posting thread with the registry lock held: it
// must only hand the message over (queue it, post a Qt event), never call back into the registry.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void Deliver(const Message& message) = 0;
};

// The sink must stay alive until UnregisterWindow returns.
WindowHandle RegisterWindow(MessageSink* sink);
void UnregisterWindow(WindowHandle handle);

// True when the handle names a live window and the message was handed over.
bool PostMessage(WindowHandle handle, MessageId message, WParam wParam, LParam lParam);

}  // namespace platform
