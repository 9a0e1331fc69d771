#include "engine/sync_delays.h"

#include <gtest/gtest.h>

namespace {

struct NormalCase {
    const char* name;
    int64_t audioClockMs;
    int64_t videoClockMs;
    int32_t frameIntervalMs;
    int64_t audioFrameMs;
    uint32_t audioDelayMs;
    uint32_t videoDelayMs;
    bool clockSettled;
};

const NormalCase kNormalCases[] = {
    // Video far behind: quick pictures, audio slowed by about one frame per write.
    {"far_behind_1024_samples_at_44100", 10'300, 10'000, 40, 23, 13, 10, false},
    {"far_behind_before_any_audio_frame", 10'300, 10'000, 40, 0, 0, 10, false},
    // Video behind.
    {"behind_by_20", 1'020, 1'000, 40, 23, 18, 30, true},
    {"behind_by_200", 1'200, 1'000, 40, 23, 18, 30, true},
    {"behind_short_interval", 1'100, 1'000, 8, 23, 18, 10, true},
    {"behind_no_interval", 1'100, 1'000, 0, 23, 18, 25, true},
    // In step, video slightly behind.
    {"slightly_behind_usual_interval", 1'010, 1'000, 40, 23, 0, 40, false},
    {"slightly_behind_beyond_the_tolerance_moves_a_step", 1'015, 1'000, 40, 23, 0, 35, false},
    {"slightly_behind_long_interval", 1'010, 1'000, 200, 23, 0, 160, false},
    {"slightly_behind_no_interval", 1'019, 1'000, -5, 23, 0, 30, false},
    // Video ahead.
    {"ahead_by_200_usual_interval", 1'000, 1'200, 40, 23, 0, 50, false},
    {"ahead_short_interval_not_lengthened", 1'000, 1'200, 10, 23, 0, 10, false},
    {"ahead_long_interval_not_lengthened", 1'000, 1'200, 100, 23, 0, 100, false},
    {"ahead_time_line_stepped_back", 1'000, 1'200, -40, 23, 0, 35, false},
    // Level or slightly ahead.
    {"ahead_within_the_tolerance", 1'000, 1'010, 40, 23, 0, 40, true},
    {"ahead_by_100_moves_a_step", 1'000, 1'100, 40, 23, 0, 45, true},
    {"ahead_by_150_edge", 1'000, 1'150, 80, 23, 0, 85, true},
    {"level_unusual_interval", 1'000, 1'000, 100, 23, 0, 40, true},
};

class NormalSpeedDelays : public testing::TestWithParam<NormalCase> {};

TEST_P(NormalSpeedDelays, FollowTheTable) {
    const NormalCase& c = GetParam();
    const SyncDelays delays = ChooseNormalSpeedDelays(c.audioClockMs, c.videoClockMs, c.frameIntervalMs, c.audioFrameMs);
    EXPECT_EQ(delays.audioDelayMs, c.audioDelayMs);
    EXPECT_EQ(delays.videoDelayMs, c.videoDelayMs);
    EXPECT_EQ(delays.clockSettled, c.clockSettled);
}

INSTANTIATE_TEST_SUITE_P(Table, NormalSpeedDelays, testing::ValuesIn(kNormalCases),
                         [](const testing::TestParamInfo<NormalCase>& info) { return std::string(info.param.name); });

// Audio frames shorter than the margins subtracted from them (small PCM packets, 2.5 to 10 ms
// Opus frames, no frame decoded yet after a seek) give no wait rather than a wrapped one.
TEST(NormalSpeedDelays, AudioFramesShorterThanTheMarginGiveNoWait) {
    const struct {
        const char* name;
        int64_t audioClockMs;
        int64_t audioFrameMs;
    } cases[] = {
        {"behind_2ms_frame", 1'100, 2},
        {"behind_5ms_frame", 1'100, 5},
        {"behind_no_frame_yet", 1'100, 0},
        {"far_behind_2_5ms_frame", 1'300, 2},
        {"far_behind_10ms_frame", 1'300, 10},
    };
    for (const auto& c : cases) {
        SyncDelays delays = ChooseNormalSpeedDelays(c.audioClockMs, 1'000, 40, c.audioFrameMs);
        EXPECT_EQ(delays.audioDelayMs, 0u) << c.name;
        EXPECT_FALSE(LimitDelays(&delays)) << c.name;
    }
}

TEST(OwnPaceDelays, PicturesKeepTheirIntervalWithoutAnAudioWait) {
    const struct {
        int32_t frameIntervalMs;
        uint32_t videoDelayMs;
    } cases[] = {{40, 40}, {100, 100}, {16, 16}, {0, 40}, {-40, 40}};
    for (const auto& c : cases) {
        const SyncDelays delays = ChooseOwnPaceDelays(c.frameIntervalMs);
        EXPECT_EQ(delays.videoDelayMs, c.videoDelayMs) << c.frameIntervalMs;
        EXPECT_EQ(delays.audioDelayMs, 0u) << c.frameIntervalMs;
    }
}

struct SpeedCase {
    int speedCode;
    int framesPerSecond;
    uint32_t videoDelayMs;
};

class SpeedDelays : public testing::TestWithParam<SpeedCase> {};

TEST_P(SpeedDelays, OverrideTheWaits) {
    const SpeedCase& c = GetParam();
    SyncDelays delays{7, 7, false};
    ASSERT_TRUE(ChooseSpeedDelays(c.speedCode, c.framesPerSecond, &delays));
    EXPECT_EQ(delays.videoDelayMs, c.videoDelayMs);
    EXPECT_EQ(delays.audioDelayMs, 10u);
}

INSTANTIATE_TEST_SUITE_P(Table, SpeedDelays,
                         testing::Values(SpeedCase{1, 25, 160}, SpeedCase{2, 25, 80}, SpeedCase{3, 25, 20},
                                         SpeedCase{4, 25, 10}, SpeedCase{1, 12, 332}, SpeedCase{3, 0, 20},
                                         SpeedCase{2, -3, 80}, SpeedCase{4, 30, 8}));

TEST(SpeedDelays, NormalAndUnknownCodesLeaveTheWaits) {
    for (int code : {0, 5, -1}) {
        SyncDelays delays{7, 9, false};
        EXPECT_FALSE(ChooseSpeedDelays(code, 25, &delays)) << code;
        EXPECT_EQ(delays.audioDelayMs, 7u);
        EXPECT_EQ(delays.videoDelayMs, 9u);
    }
}

TEST(DelayLimits, WaitsAboveOneSecondAreReplaced) {
    SyncDelays delays{1001, 1001, false};
    EXPECT_TRUE(LimitDelays(&delays));
    EXPECT_EQ(delays.audioDelayMs, 0u);
    EXPECT_EQ(delays.videoDelayMs, 35u);

    SyncDelays atLimit{1000, 1000, false};
    EXPECT_FALSE(LimitDelays(&atLimit));
    EXPECT_EQ(atLimit.audioDelayMs, 1000u);
    EXPECT_EQ(atLimit.videoDelayMs, 1000u);
}

TEST(DelayLimits, VideoThreadReplacesWaitsAbove200) {
    EXPECT_EQ(VideoDelayAtUseMs(200), 200u);
    EXPECT_EQ(VideoDelayAtUseMs(201), 40u);
    EXPECT_EQ(VideoDelayAtUseMs(332), 40u);  // speed code 1 at 12 pictures per second
    EXPECT_EQ(VideoDelayAtUseMs(0), 0u);
}

}  // namespace
