#pragma once
// Drives one playback session without a screen: pictures go to an off-screen video window, sound
// to the sound server, notifications to a window that records them. Runs the command line's
// actions at their moments and measures what happened.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/player_core.h"
#include "platform/offscreen_video_target.h"
#include "platform/recording_window.h"
#include "tools/telvane_play/play_options.h"
#include "tools/telvane_play/playback_report.h"

class HeadlessPlayer {
public:
    // `interrupted` is polled while playing; when it becomes true the run stops early.
    HeadlessPlayer(const PlayOptions& options, const std::atomic<bool>& interrupted);
    ~HeadlessPlayer();
    HeadlessPlayer(const HeadlessPlayer&) = delete;
    HeadlessPlayer& operator=(const HeadlessPlayer&) = delete;

    // Opens, plays and stops; logs each action to stdout as it runs.
    PlaybackReport Run();

private:
    // The longest wait between two looks at the clock and the interrupt flag, ms.
    static constexpr uint32_t kPollMs = 50;
    // Without --for, a run that has not ended after 4 × the duration (the slowest speed) plus
    // the last action's moment plus this much is given up, ms.
    static constexpr int64_t kSafetyMarginMs = 30000;

    bool Open(PlaybackReport& report);
    void WatchPictures();
    void NoteSeekLanding(int64_t pictureMs);
    void Seek(int64_t targetMs);
    RunEnd PlayUntilEnd();
    // False when the action ends the run.
    bool Perform(const PlayAction& action);
    int64_t PlayLimitMs() const;
    int64_t SincePlayMs() const;
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const PlayOptions m_options;
    const std::atomic<bool>& m_interrupted;
    platform::OffscreenVideoTarget m_target;
    platform::RecordingWindow m_notify;
    // Last, so that the session (and its render thread) ends before the windows it uses.
    std::unique_ptr<CPlayerCore> m_core;

    std::atomic<uint64_t> m_playTickMs{0};        // TickMs64 at Play; 0 before
    std::atomic<int64_t> m_firstPictureMs{-1};    // ms from Play to the first present
    std::atomic<uint64_t> m_picturesPushed{0};
    std::atomic<int64_t> m_firstPicturePositionMs{-1};  // the first picture's time, ms from the start
    std::atomic<int> m_speedCode{0};
    std::mutex m_offsetsMutex;
    std::vector<int64_t> m_avOffsetsMs;
    // The seek waiting for its picture: target ms (-1 none) and TickMs64 when it was taken.
    std::atomic<int64_t> m_seekTargetMs{-1};
    std::atomic<uint64_t> m_seekTakenTickMs{0};
    std::mutex m_seeksMutex;
    std::vector<int64_t> m_seekToPictureMs;
};
