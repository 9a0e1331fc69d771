#include "platform/messages.h"

#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

struct WindowRegistry {
    std::mutex mutex;
    std::unordered_map<uintptr_t, MessageSink*> sinks;
    uintptr_t nextHandle = 0x1000;
};

WindowRegistry& Registry() {
    static WindowRegistry registry;
    return registry;
}

}  // namespace

WindowHandle RegisterWindow(MessageSink* sink) {
    if (!sink) return nullptr;
    WindowRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    uintptr_t id = registry.nextHandle;
    registry.nextHandle += 4;
    registry.sinks.emplace(id, sink);
    return reinterpret_cast<WindowHandle>(id);
}

void UnregisterWindow(WindowHandle handle) {
    WindowRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.sinks.erase(reinterpret_cast<uintptr_t>(handle));
}

bool PostMessage(WindowHandle handle, MessageId message, WParam wParam, LParam lParam) {
    WindowRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto found = registry.sinks.find(reinterpret_cast<uintptr_t>(handle));
    if (found == registry.sinks.end()) return false;
    found->second->Deliver(Message{message, wParam, lParam});
    return true;
}

}  // namespace platform
