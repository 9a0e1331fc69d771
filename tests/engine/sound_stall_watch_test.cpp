#include "engine/sound_stall_watch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Look {
    int64_t heardMs;
    int64_t nowMs;
};

bool StoppedAfter(const std::vector<Look>& looks) {
    CSoundStallWatch watch;
    for (const Look& look : looks) watch.Look(look.heardMs, look.nowMs);
    return watch.SoundStopped();
}

TEST(SoundStallWatch, SoundThatMovesIsHeard) {
    std::vector<Look> looks;
    for (int64_t t = 0; t <= 2000; t += 5) looks.push_back({t / 10 * 10, t});  // moves every 10 ms
    EXPECT_FALSE(StoppedAfter(looks));
}

TEST(SoundStallWatch, SoundThatStandsStillWhilePlayingHasStopped) {
    const struct {
        const char* name;
        int64_t heardMs;  // from the 100th look on
        bool stopped;
    } cases[] = {
        {"stands_still", 500, true},
        {"unknown_all_along", -1, true},
    };
    for (const auto& c : cases) {
        std::vector<Look> looks;
        for (int64_t i = 0; i < 100; ++i) looks.push_back({i * 5, i * 5});
        for (int64_t i = 100; i < 200; ++i) looks.push_back({c.heardMs, i * 5});
        EXPECT_EQ(StoppedAfter(looks), c.stopped) << c.name;
    }
}

TEST(SoundStallWatch, StillnessShorterThanTheLimitIsNotAStop) {
    std::vector<Look> looks;
    for (int64_t t = 0; t < CSoundStallWatch::kStallMs - 20; t += 5) looks.push_back({700, t});
    EXPECT_FALSE(StoppedAfter(looks));
}

// A pause or a seek is one long gap between two looks: it does not count as silence.
TEST(SoundStallWatch, LongGapsBetweenLooksCountForLittle) {
    EXPECT_FALSE(StoppedAfter({{1000, 0}, {1000, 60'000}, {1000, 60'005}, {1000, 120'000}}));
}

TEST(SoundStallWatch, SoundHeardAgainOrARestartEndsTheStop) {
    CSoundStallWatch watch;
    for (int64_t t = 0; t <= 1000; t += 5) watch.Look(300, t);
    ASSERT_TRUE(watch.SoundStopped());
    watch.Look(310, 1005);
    EXPECT_FALSE(watch.SoundStopped());

    for (int64_t t = 1010; t <= 2000; t += 5) watch.Look(310, t);
    ASSERT_TRUE(watch.SoundStopped());
    watch.Restart();
    EXPECT_FALSE(watch.SoundStopped());
}

}  // namespace
