#include "platform/video_target.h"

#include <unordered_map>

namespace platform {
namespace {

struct VideoTargetRegistry {
    std::mutex mutex;
    std::unordered_map<WindowHandle, VideoTarget*> targets;
};

VideoTargetRegistry& TargetRegistry() {
    static VideoTargetRegistry registry;
    return registry;
}

}  // namespace

void RegisterVideoTarget(WindowHandle window, VideoTarget* target) {
    if (!window || !target) return;
    VideoTargetRegistry& registry = TargetRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.targets[window] = target;
}

void UnregisterVideoTarget(WindowHandle window) {
    VideoTargetRegistry& registry = TargetRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.targets.erase(window);
}

VideoTargetLease::VideoTargetLease(WindowHandle window) : m_lock(TargetRegistry().mutex) {
    auto found = TargetRegistry().targets.find(window);
    if (found != TargetRegistry().targets.end()) m_target = found->second;
}

bool IsVideoTarget(WindowHandle window) { return static_cast<bool>(VideoTargetLease(window)); }

bool GetVideoTargetClientRect(WindowHandle window, Rect& client) {
    VideoTargetLease target(window);
    if (!target) return false;
    client = target->ClientRect();
    return true;
}

void ClearVideoTarget(WindowHandle window) {
    VideoTargetLease target(window);
    if (target) target->ClearPresented();
}

bool HasVideoTargetPainted(WindowHandle window) {
    VideoTargetLease target(window);
    return !target || target->HasPaintedLastPicture();
}

int64_t VideoTargetPresentToPaintUs(WindowHandle window) {
    VideoTargetLease target(window);
    return target ? target->PresentToPaintUs() : 0;
}

}  // namespace platform
