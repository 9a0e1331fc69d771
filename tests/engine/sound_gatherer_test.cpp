#include "engine/audio/sound_gatherer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kFrameBytes = 4;  // 16-bit stereo
constexpr int kGatheredBytesPerSecond = kRate * kFrameBytes;
constexpr int kBlockMs = 40;
constexpr int kBlockBytes = kGatheredBytesPerSecond * kBlockMs / 1000;

// Sample frame n carries n in its bytes, so order and loss show in what comes out.
std::vector<uint8_t> Samples(int64_t firstFrame, int frames) {
    std::vector<uint8_t> pcm;
    for (int64_t n = firstFrame; n < firstFrame + frames; ++n) {
        for (int byte = 0; byte < kFrameBytes; ++byte) pcm.push_back(static_cast<uint8_t>(n >> (8 * (byte % 3))));
    }
    return pcm;
}

struct Played {
    std::vector<uint8_t> pcm;
    std::vector<int> blockBytes;
    // Stream time of every sample frame handed out, from the runs of its block.
    std::vector<int64_t> frameMs;
};

void Collect(const CSoundGatherer::Block& block, Played* played) {
    played->pcm.insert(played->pcm.end(), block.pcm.begin(), block.pcm.end());
    played->blockBytes.push_back(static_cast<int>(block.pcm.size()));
    int runBytes = 0;
    for (const CSoundGatherer::Run& run : block.runs) {
        runBytes += run.byteCount;
        for (int offset = 0; offset < run.byteCount; offset += kFrameBytes) {
            played->frameMs.push_back(run.streamMs + int64_t{offset} * 1000 / kGatheredBytesPerSecond);
        }
    }
    EXPECT_EQ(runBytes, static_cast<int>(block.pcm.size()));
}

// Decoded frames of one length, back to back from stream time 5000 ms, then the end of the file.
Played Gather(int framesPerDecodedFrame, int decodedFrames) {
    CSoundGatherer gatherer;
    gatherer.Start(kGatheredBytesPerSecond, kFrameBytes, kBlockMs, 100000);
    Played played;
    CSoundGatherer::Block block;
    int64_t sample = 0;
    for (int i = 0; i < decodedFrames; ++i) {
        const std::vector<uint8_t> pcm = Samples(sample, framesPerDecodedFrame);
        gatherer.Add(pcm.data(), static_cast<int>(pcm.size()), 5000 + sample * 1000 / kRate);
        sample += framesPerDecodedFrame;
        while (gatherer.TakeBlock(&block)) Collect(block, &played);
    }
    if (gatherer.TakeRest(&block)) Collect(block, &played);
    return played;
}

TEST(SoundGatherer, EveryFrameSizeComesOutInSteadyBlocksWithEverySampleAndItsTime) {
    const struct {
        const char* name;
        int samplesPerFrame;
    } cases[] = {
        {"1 ms", 48},     {"2 ms PCM packets", 96}, {"10 ms Opus", 480}, {"21.3 ms AAC", 1024},
        {"40 ms", 1920},  {"odd 7 samples", 7},     {"200 ms", 9600},    {"half a block", 960},
    };
    for (const auto& c : cases) {
        const int decodedFrames = 3 * kRate / c.samplesPerFrame + 1;  // ~3 s, ending off a block's edge
        const int64_t totalFrames = int64_t{decodedFrames} * c.samplesPerFrame;
        const Played played = Gather(c.samplesPerFrame, decodedFrames);

        EXPECT_EQ(played.pcm, Samples(0, static_cast<int>(totalFrames))) << c.name << ": samples in = samples out";
        ASSERT_FALSE(played.blockBytes.empty()) << c.name;
        for (size_t i = 0; i + 1 < played.blockBytes.size(); ++i) {
            ASSERT_EQ(played.blockBytes[i], kBlockBytes) << c.name << ", block " << i;
        }
        EXPECT_GT(played.blockBytes.back(), 0) << c.name;
        EXPECT_LE(played.blockBytes.back(), kBlockBytes) << c.name;
        // Each sample is timed from its own frame's stamp: never more than the 1 ms the stamps
        // are rounded to away from where it lies in the stream.
        ASSERT_EQ(played.frameMs.size(), static_cast<size_t>(totalFrames)) << c.name;
        for (int64_t n = 0; n < totalFrames; n += 97) {
            const int64_t exactMs = 5000 + n * 1000 / kRate;
            ASSERT_NEAR(played.frameMs[static_cast<size_t>(n)], exactMs, 1) << c.name << ", sample " << n;
        }
    }
}

// After a jump in the stamps (a gap in a recording) the block that spans it keeps both times.
TEST(SoundGatherer, ABlockAcrossAJumpInTheStampsKeepsBothTimes) {
    CSoundGatherer gatherer;
    gatherer.Start(kGatheredBytesPerSecond, kFrameBytes, kBlockMs, 100000);
    const std::vector<uint8_t> pcm = Samples(0, 960);  // 20 ms
    gatherer.Add(pcm.data(), static_cast<int>(pcm.size()), 1000);
    gatherer.Add(pcm.data(), static_cast<int>(pcm.size()), 9000);
    CSoundGatherer::Block block;
    ASSERT_TRUE(gatherer.TakeBlock(&block));
    ASSERT_EQ(block.runs.size(), 2u);
    EXPECT_EQ(block.runs[0].streamMs, 1000);
    EXPECT_EQ(block.runs[1].streamMs, 9000);
}

TEST(SoundGatherer, ADropForgetsThePartialBlock) {
    CSoundGatherer gatherer;
    gatherer.Start(kGatheredBytesPerSecond, kFrameBytes, kBlockMs, 100000);
    const std::vector<uint8_t> pcm = Samples(0, 480);
    gatherer.Add(pcm.data(), static_cast<int>(pcm.size()), 0);
    gatherer.Drop();
    CSoundGatherer::Block block;
    EXPECT_FALSE(gatherer.TakeRest(&block));
    gatherer.Add(pcm.data(), static_cast<int>(pcm.size()), 700);
    ASSERT_TRUE(gatherer.TakeRest(&block));
    EXPECT_EQ(block.pcm.size(), pcm.size());
    EXPECT_EQ(block.runs.front().streamMs, 700);
}

// Blocks hold whole sample frames and fit the output's slot, whatever the format.
TEST(SoundGatherer, BlocksHoldWholeSampleFramesWithinTheLimit) {
    const struct {
        int bytesPerSecond, frameBytes, maxBytes, expected;
    } cases[] = {
        {16000, 2, 100000, 640},          // 8 kHz mono: 40 ms
        {44100 * 6, 6, 100000, 10584},    // 44.1 kHz, 3 channels: 40 ms is 1764 whole frames
        {192000 * 14, 14, 100000, 99988}, // 7 channels at 192 kHz: cut to the limit, whole frames
        {40, 2, 100000, 2},               // too slow for 40 ms to hold a frame: one frame
    };
    for (const auto& c : cases) {
        CSoundGatherer gatherer;
        gatherer.Start(c.bytesPerSecond, c.frameBytes, kBlockMs, c.maxBytes);
        EXPECT_EQ(gatherer.BlockBytes(), c.expected) << c.bytesPerSecond << " bytes/s";
        EXPECT_EQ(gatherer.BlockBytes() % c.frameBytes, 0);
    }
}

}  // namespace
