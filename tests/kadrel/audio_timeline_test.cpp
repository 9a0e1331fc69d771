#include <gtest/gtest.h>

#include "engine/convert/audio_timeline.h"

namespace {

// Frames of 160 samples (20 ms at 8 kHz) stamped by a recorder's clock; tolerance 1600 (200 ms).
TEST(AudioTimeline, follows_the_sample_count_until_the_clock_runs_ahead_by_more_than_the_tolerance) {
    struct Case {
        const char* name;
        std::vector<int64_t> clock;   // each frame's stamp, in samples
        std::vector<int64_t> starts;  // where each is placed
    } cases[] = {
        {"first frame at its stamp", {480, 640}, {480, 640}},
        {"jitter is smoothed", {0, 168, 312, 488}, {0, 160, 320, 480}},
        {"a short gap is closed", {0, 1600, 1760}, {0, 160, 320}},
        {"a dropout is kept", {0, 4000, 4160}, {0, 4000, 4160}},
        {"a clock set back is not followed", {8000, 100, 260}, {8000, 8160, 8320}},
    };
    for (const Case& c : cases) {
        AudioTimeline timeline(1600);
        std::vector<int64_t> starts;
        for (int64_t stamp : c.clock) starts.push_back(timeline.Place(stamp, 160));
        EXPECT_EQ(starts, c.starts) << c.name;
    }
}

}  // namespace
