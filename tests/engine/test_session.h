#pragma once
// A playback session for the tests: attached to an off-screen picture and to a window that records
// the notifications; every picture the engine presents is noted with its stream time.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/player_core.h"
#include "platform/offscreen_video_target.h"
#include "platform/recording_window.h"

namespace engine_tests {

constexpr uint32_t kEndWaitMs = 60'000;  // generous: sanitizers on a busy machine
constexpr uint32_t kPictureWaitMs = 20'000;
constexpr uint32_t kSettleMs = 400;

inline bool WaitUntil(const std::function<bool()>& condition, uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class Session {
public:
    Session() {
        core.SetPictureObserver([this](int64_t pictureMs) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pictureMs.push_back(pictureMs);
        });
        attached = core.Attach(target.Handle(), notify.Handle());
    }

    size_t Pictures() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_pictureMs.size();
    }
    std::vector<int64_t> PictureTimes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_pictureMs;
    }
    bool WaitForPictures(size_t count, uint32_t timeoutMs = kPictureWaitMs) const {
        return WaitUntil([&] { return Pictures() >= count; }, timeoutMs);
    }
    // Waits until no picture has come for quietMs; returns the count then.
    size_t WaitForStill(uint32_t quietMs = kSettleMs) const {
        size_t last = Pictures();
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(quietMs));
            const size_t now = Pictures();
            if (now == last) return now;
            last = now;
        }
    }
    size_t EndNotices() const { return notify.Count(platform::kWmCommand, ID_END_OF_FILE); }
    // Every end notice the session gives: only its workers give one, and StopPlay has ended them.
    size_t EndNoticesOnceStopped() {
        core.StopPlay();
        return EndNotices();
    }
    bool WaitForEnd() const { return notify.WaitFor(platform::kWmCommand, ID_END_OF_FILE, kEndWaitMs); }

    platform::OffscreenVideoTarget target{160, 120};
    platform::RecordingWindow notify;
    int attached = 0;

private:
    mutable std::mutex m_mutex;
    std::vector<int64_t> m_pictureMs;

public:
    CPlayerCore core;  // last, so it ends before what it draws into and reports to
};

}  // namespace engine_tests
