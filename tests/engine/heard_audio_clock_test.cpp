#include "engine/heard_audio_clock.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kBytesPerSecond = 16000;  // 8000 Hz mono 16-bit: 16 bytes per ms

TEST(HeardAudioClock, UnknownBeforeAnythingWasWritten) {
    CHeardAudioClock clock;
    EXPECT_EQ(clock.StreamMsAt(0), -1);
    clock.Start(kBytesPerSecond);
    EXPECT_EQ(clock.StreamMsAt(100), -1);
    clock.OnBlockWritten(0, 1600);
    EXPECT_EQ(clock.StreamMsAt(-1), -1);
}

TEST(HeardAudioClock, MapsPlayedTimeIntoTheBlockBeingHeard) {
    CHeardAudioClock clock;
    clock.Start(kBytesPerSecond);
    clock.OnBlockWritten(5000, 1600);  // 100 ms of sound from stream time 5000
    clock.OnBlockWritten(9000, 800);   // after a seek: 50 ms from 9000
    EXPECT_EQ(clock.StreamMsAt(0), 5000);
    EXPECT_EQ(clock.StreamMsAt(40), 5040);
    EXPECT_EQ(clock.StreamMsAt(100), 9000);
    EXPECT_EQ(clock.StreamMsAt(120), 9020);
    // Played past everything written: the end of the last block is what was heard last.
    EXPECT_EQ(clock.StreamMsAt(500), 9050);
}

TEST(HeardAudioClock, StartForgetsEarlierBlocks) {
    CHeardAudioClock clock;
    clock.Start(kBytesPerSecond);
    clock.OnBlockWritten(5000, 1600);
    clock.Start(kBytesPerSecond);
    EXPECT_EQ(clock.StreamMsAt(10), -1);
}

// The output dropped 100 ms it held and its clock jumped over them: the next block is heard from
// where the jump landed, and nothing is known in between.
TEST(HeardAudioClock, AfterTheOutputDroppedItsSoundTheNextBlockIsHeardFromTheJump) {
    CHeardAudioClock clock;
    clock.Start(kBytesPerSecond);
    clock.OnBlockWritten(5000, 3200);  // 200 ms, of which 100 ms were heard
    clock.OnOutputReset();
    EXPECT_EQ(clock.StreamMsAt(200), -1) << "the dropped sound's end is not heard";
    clock.OnBlockWritten(800, 800);
    EXPECT_EQ(clock.StreamMsAt(200), 800);
    EXPECT_EQ(clock.StreamMsAt(230), 830);
}

}  // namespace
