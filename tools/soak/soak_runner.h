#pragma once
// Plays sessions one after another on one off-screen video window, each through the whole life
// of a session as the main panel drives it: open, play, pause, step, play, seek, snapshot, speed,
// stop, destroy. Measures how long each stop takes.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/offscreen_video_target.h"

struct SoakCycleResult {
    bool opened = false;
    bool seekTaken = false;
    bool snapshotWritten = false;
    uint64_t stopMs = 0;  // how long StopPlay took
};

class SoakRunner {
public:
    explicit SoakRunner(std::string snapshotPath);

    // One session on file, from its creation to its destruction.
    SoakCycleResult RunCycle(const std::string& file);

private:
    // How long the session plays between two commands, ms: long enough for pictures and the
    // clocks to settle, short enough that a thousand cycles stay within minutes.
    static constexpr uint32_t kPlayMs = 250;
    static constexpr uint32_t kCommandGapMs = 40;

    platform::OffscreenVideoTarget m_target;
    std::string m_snapshotPath;
};
