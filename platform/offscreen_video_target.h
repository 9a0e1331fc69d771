#pragma once
// A video target without a screen: it keeps what was presented so that tests, the command-line
// player and the benchmarks can look at it, and lets them change its size and visibility to
// play the user's part (hiding, minimising, resizing the window).

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/messages.h"
#include "platform/video_target.h"

namespace platform {

// A copy of the last presented picture: 32-bit 0xFFRRGGBB words, rows strideBytes apart.
struct PresentedPixels {
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;
    int strideBytes = 0;

    // The pixel at (x, y) as 0xFFRRGGBB; 0 outside the picture.
    uint32_t At(int x, int y) const;
};

class OffscreenVideoTarget : public VideoTarget, public MessageSink {
public:
    // Registers itself as a window and as a video target; visible, not minimised.
    OffscreenVideoTarget(int clientWidth, int clientHeight);
    ~OffscreenVideoTarget() override;
    OffscreenVideoTarget(const OffscreenVideoTarget&) = delete;
    OffscreenVideoTarget& operator=(const OffscreenVideoTarget&) = delete;

    WindowHandle Handle() const { return m_handle; }

    // What a user does to the window; any thread.
    void SetClientSize(int width, int height);
    void SetVisible(bool visible);
    void SetMinimised(bool minimised);

    // What was presented; any thread.
    uint64_t PresentCount() const;
    uint32_t LastPresentTickMs() const;  // TickMs() at the last present; 0 before the first
    Rect LastDestRect() const;
    PresentedPixels LastPicture() const;  // empty (0 x 0) before the first present and after a clear

    // Waits until at least `count` pictures have been presented in all, up to timeoutMs; true
    // when they have.
    bool WaitForPresentCount(uint64_t count, uint32_t timeoutMs) const;

    // Runs on the render thread inside every Present, before the count goes up, so a test that
    // waits for N presents sees N calls. Set it before presenting starts.
    using PresentObserver = std::function<void(const PresentedPicture&)>;
    void SetPresentObserver(PresentObserver observer);

    // Plays a window that paints later than the present: when on, a presented picture counts as
    // painted only once PaintNow is called (off: painted as it is presented). Any thread.
    void SetPaintsOnDemand(bool onDemand);
    void PaintNow();

    // VideoTarget
    Rect ClientRect() const override;
    bool IsUsable() const override;
    void Present(const PresentedPicture& picture) override;
    void ClearPresented() override;
    bool HasPaintedLastPicture() const override;

    // MessageSink: posted messages are accepted and ignored.
    void Deliver(const Message& message) override;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_presented;
    int m_clientWidth;
    int m_clientHeight;
    bool m_visible = true;
    bool m_minimised = false;
    uint64_t m_presentCount = 0;
    bool m_paintsOnDemand = false;
    bool m_unpainted = false;
    uint32_t m_lastPresentTickMs = 0;
    Rect m_lastDest;
    PresentedPixels m_lastPicture;
    PresentObserver m_observer;
    WindowHandle m_handle = nullptr;
};

}  // namespace platform
