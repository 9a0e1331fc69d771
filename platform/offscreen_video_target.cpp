#include "platform/offscreen_video_target.h"

#include <chrono>
#include <cstring>

#include "platform/sync.h"

namespace platform {

uint32_t PresentedPixels::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    uint32_t pixel = 0;
    std::memcpy(&pixel, bytes.data() + static_cast<size_t>(y) * strideBytes + static_cast<size_t>(x) * 4,
                sizeof pixel);
    return pixel;
}

OffscreenVideoTarget::OffscreenVideoTarget(int clientWidth, int clientHeight)
    : m_clientWidth(clientWidth), m_clientHeight(clientHeight) {
    m_handle = RegisterWindow(this);
    RegisterVideoTarget(m_handle, this);
}

OffscreenVideoTarget::~OffscreenVideoTarget() {
    UnregisterVideoTarget(m_handle);
    UnregisterWindow(m_handle);
}

void OffscreenVideoTarget::SetClientSize(int width, int height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clientWidth = width;
    m_clientHeight = height;
}

void OffscreenVideoTarget::SetVisible(bool visible) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_visible = visible;
}

void OffscreenVideoTarget::SetMinimised(bool minimised) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_minimised = minimised;
}

uint64_t OffscreenVideoTarget::PresentCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_presentCount;
}

uint32_t OffscreenVideoTarget::LastPresentTickMs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastPresentTickMs;
}

Rect OffscreenVideoTarget::LastDestRect() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastDest;
}

PresentedPixels OffscreenVideoTarget::LastPicture() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastPicture;
}

bool OffscreenVideoTarget::WaitForPresentCount(uint64_t count, uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_presented.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return m_presentCount >= count; });
}

void OffscreenVideoTarget::SetPresentObserver(PresentObserver observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observer = std::move(observer);
}

Rect OffscreenVideoTarget::ClientRect() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Rect{0, 0, m_clientWidth, m_clientHeight};
}

bool OffscreenVideoTarget::IsUsable() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_visible && !m_minimised && m_clientWidth > 0 && m_clientHeight > 0;
}

void OffscreenVideoTarget::Present(const PresentedPicture& picture) {
    PresentObserver observer;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        observer = m_observer;
    }
    // Outside the lock, so an observer may ask the target about itself.
    if (observer) observer(picture);

    std::lock_guard<std::mutex> lock(m_mutex);
    const size_t size = static_cast<size_t>(picture.strideBytes) * static_cast<size_t>(picture.height);
    // assign() keeps the capacity, so a steady stream of pictures of one size allocates nothing.
    m_lastPicture.bytes.assign(picture.pixels, picture.pixels + size);
    m_lastPicture.width = picture.width;
    m_lastPicture.height = picture.height;
    m_lastPicture.strideBytes = picture.strideBytes;
    m_lastDest = picture.dest;
    m_lastPresentTickMs = TickMs();
    ++m_presentCount;
    m_unpainted = m_paintsOnDemand;
    m_presented.notify_all();
}

void OffscreenVideoTarget::SetPaintsOnDemand(bool onDemand) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_paintsOnDemand = onDemand;
}

void OffscreenVideoTarget::PaintNow() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_unpainted) return;
    m_unpainted = false;
}

bool OffscreenVideoTarget::HasPaintedLastPicture() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_unpainted;
}

void OffscreenVideoTarget::ClearPresented() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastPicture = PresentedPixels{};
}

void OffscreenVideoTarget::Deliver(const Message&) {}

}  // namespace platform
