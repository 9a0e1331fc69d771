#include "engine/audio/sound_out.h"

#include <gtest/gtest.h>

#include "platform/null_audio_device.h"
#include "tests/audio/audio_test_support.h"

using platform::TickMs64;

namespace {

const WAVEFORMATEX kStereo48k = Pcm16(48000, 2);

int WriteBlock(CSoundOut& out, const std::vector<uint8_t>& block) {
    return out.Write(block.data(), static_cast<int>(block.size()));
}

}  // namespace

TEST(SoundOut, FirstFiveWritesReturnAtOnceAndTheSixthWaitsForTheFirstBlockToPlay) {
    CSoundOut out;
    ASSERT_TRUE(out.Open(kStereo48k));
    const auto block = ToneBlock(kStereo48k, 100);

    for (int i = 1; i <= CSoundOut::kSlotCount; ++i) EXPECT_EQ(WriteBlock(out, block), i);
    // None of them waited for the device: the first block has not been heard yet.
    EXPECT_LT(out.GetPlayedMs(), 100);

    const int queued = WriteBlock(out, block);
    EXPECT_GE(queued, 1);
    EXPECT_LE(queued, CSoundOut::kSlotCount);
    // By the server's clock the first block has left the stream (less the sink's short latency).
    EXPECT_GE(out.GetPlayedMs(), 50);
    out.Close();
}

TEST(SoundOut, BlocksPlayAtTheStreamRate) {
    const WAVEFORMATEX mono16k = Pcm16(16000, 1);
    CSoundOut out;
    ASSERT_TRUE(out.Open(mono16k));
    const auto block = ToneBlock(mono16k, 50);
    for (int i = 0; i < CSoundOut::kSlotCount; ++i) ASSERT_GT(WriteBlock(out, block), 0);

    // From here on every write waits for one block to be played: writing 16 blocks takes
    // what playing 16 blocks takes, on the wall clock and on the server's clock.
    ASSERT_GT(WriteBlock(out, block), 0);
    const uint64_t startMs = TickMs64();
    const int64_t startPlayedMs = out.GetPlayedMs();
    constexpr int kPacedBlocks = 16;
    for (int i = 0; i < kPacedBlocks; ++i) ASSERT_GT(WriteBlock(out, block), 0);
    const uint64_t wallMs = TickMs64() - startMs;
    const int64_t playedMs = out.GetPlayedMs() - startPlayedMs;

    constexpr int64_t kExpectedMs = kPacedBlocks * 50;
    EXPECT_GT(playedMs, kExpectedMs / 2);
    EXPECT_LT(playedMs, kExpectedMs * 2);
    EXPECT_GT(static_cast<int64_t>(wallMs), kExpectedMs / 2);
    EXPECT_LT(static_cast<int64_t>(wallMs), kExpectedMs * 2);
    out.Close();
}

TEST(SoundOut, WriteRefusesBlocksItCannotPlayWithoutUsingASlot) {
    CSoundOut out(std::make_unique<platform::NullAudioDevice>());
    const auto block = ToneBlock(kStereo48k, 10);
    EXPECT_EQ(WriteBlock(out, block), -1) << "not open";
    ASSERT_TRUE(out.Open(kStereo48k));

    const std::vector<uint8_t> big(CSoundOut::kSlotBytes + 4);
    const struct {
        const char* what;
        const uint8_t* data;
        int length;
    } refused[] = {
        {"null data", nullptr, 400},
        {"empty block", block.data(), 0},
        {"negative length", block.data(), -4},
        {"longer than a slot", big.data(), static_cast<int>(big.size())},
        {"partial sample frame", block.data(), 6},
    };
    for (const auto& c : refused) EXPECT_EQ(out.Write(c.data, c.length), -1) << c.what;

    EXPECT_EQ(WriteBlock(out, block), 1);
    const std::vector<uint8_t> full(CSoundOut::kSlotBytes);
    EXPECT_EQ(out.Write(full.data(), static_cast<int>(full.size())), 2);
}

TEST(SoundOut, OpenRefusesFormatsOtherThan16BitPcm) {
    const auto with = [](auto change) {
        WAVEFORMATEX format = kStereo48k;
        change(format);
        return format;
    };
    const struct {
        const char* what;
        WAVEFORMATEX format;
    } refused[] = {
        {"float samples", with([](WAVEFORMATEX& f) { f.wFormatTag = 3; })},
        {"8-bit samples", with([](WAVEFORMATEX& f) { f.wBitsPerSample = 8; })},
        {"no channels", with([](WAVEFORMATEX& f) { f.nChannels = 0; f.nBlockAlign = 0; })},
        {"block align not 2 x channels", with([](WAVEFORMATEX& f) { f.nBlockAlign = 3; })},
        {"no sample rate", with([](WAVEFORMATEX& f) { f.nSamplesPerSec = 0; })},
        {"more channels than the server mixes", Pcm16(48000, 64)},
    };
    for (const auto& c : refused) {
        CSoundOut out;
        EXPECT_FALSE(out.Open(c.format)) << c.what;
        EXPECT_FALSE(out.IsOpen()) << c.what;
    }
}

TEST(SoundOut, CloseOnAClosedOutputDoesNothing) {
    CSoundOut never;
    never.Close();
    EXPECT_FALSE(never.IsOpen());

    CSoundOut out;
    ASSERT_TRUE(out.Open(kStereo48k));
    out.Close();
    out.Close();
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(out.GetPlayedMs(), -1);
    EXPECT_EQ(WriteBlock(out, ToneBlock(kStereo48k, 10)), -1);
}

TEST(SoundOut, ReopenedOutputStartsWithEveryBlockHandedBack) {
    CSoundOut out;
    ASSERT_TRUE(out.Open(kStereo48k));
    const auto longBlock = ToneBlock(kStereo48k, 500);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(WriteBlock(out, longBlock), i);
    out.Close();

    ASSERT_TRUE(out.Open(Pcm16(44100, 1)));
    EXPECT_TRUE(out.IsOpen());
    // Close dropped the three long blocks: nothing is held, and the ring carries on.
    EXPECT_EQ(WriteBlock(out, ToneBlock(Pcm16(44100, 1), 20)), 1);
}

TEST(SoundOut, ResetDropsWhatIsHeldAndTheClockJumpsOverIt) {
    CSoundOut out;
    ASSERT_TRUE(out.Open(kStereo48k));
    const auto longBlock = ToneBlock(kStereo48k, 500);
    for (int i = 1; i <= CSoundOut::kSlotCount; ++i) EXPECT_EQ(WriteBlock(out, longBlock), i);
    out.Reset();
    EXPECT_GE(out.GetPlayedMs(), 2500) << "the dropped sound counts as gone by";
    // Every slot is free again: a whole ring is taken without waiting for the device.
    for (int i = 1; i <= CSoundOut::kSlotCount; ++i) EXPECT_EQ(WriteBlock(out, longBlock), i);
    EXPECT_LT(out.GetPlayedMs(), 2700);
    out.Close();
}

TEST(SoundOut, OpenFailsPromptlyWithoutASoundServer) {
    NoSoundServer noServer;
    CSoundOut out;
    const uint64_t startMs = TickMs64();
    EXPECT_FALSE(out.Open(kStereo48k));
    EXPECT_LT(TickMs64() - startMs, 3000u);
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(WriteBlock(out, ToneBlock(kStereo48k, 10)), -1);
}

TEST(SoundOut, SlotStillHeldByAStalledDeviceIsNeitherReusedNorQueuedTwice) {
    auto device = std::make_unique<platform::NullAudioDevice>();
    platform::NullAudioDevice& null = *device;
    CSoundOut out(std::move(device));
    ASSERT_TRUE(out.Open(kStereo48k));
    const auto block = ToneBlock(kStereo48k, 20);

    null.SetStalled(true);
    for (int i = 1; i <= CSoundOut::kSlotCount; ++i) ASSERT_EQ(WriteBlock(out, block), i);
    EXPECT_EQ(WriteBlock(out, block), -1);
    EXPECT_EQ(null.PendingBlocks(), size_t{CSoundOut::kSlotCount});

    // Once the device moves again the slot comes back and is taken; the device never holds
    // more blocks than the ring has slots.
    null.SetStalled(false);
    const int queued = WriteBlock(out, block);
    EXPECT_GE(queued, 1);
    EXPECT_LE(queued, CSoundOut::kSlotCount);
    EXPECT_LE(null.PendingBlocks(), size_t{CSoundOut::kSlotCount});
}

TEST(SoundOut, ServerThatGoesAwayHandsTheRingBackAndLaterWritesFailPromptly) {
    PrivateSoundServer server;
    ASSERT_TRUE(server.Started());
    UseSoundServer useIt(server.Address());
    CSoundOut out;
    ASSERT_TRUE(out.Open(kStereo48k));
    const auto block = ToneBlock(kStereo48k, 500);
    for (int i = 1; i <= CSoundOut::kSlotCount; ++i) ASSERT_EQ(WriteBlock(out, block), i);

    server.Kill();
    // The full ring is not waited out for seconds of sound nobody will play.
    const uint64_t startMs = TickMs64();
    EXPECT_EQ(WriteBlock(out, block), -1);
    EXPECT_LT(TickMs64() - startMs, 2000u);
    out.Close();
    EXPECT_FALSE(out.IsOpen());
}

TEST(SoundOut, WithTheSilentFallbackOpensWithoutASoundServerAndPlaysAtTheStreamRate) {
    NoSoundServer noServer;
    CSoundOut out;
    out.SetSilentFallback(true);
    ASSERT_TRUE(out.Open(kStereo48k));
    EXPECT_TRUE(out.IsSilent());
    const auto block = ToneBlock(kStereo48k, 20);
    for (int i = 0; i < 3 * CSoundOut::kSlotCount; ++i) ASSERT_GT(WriteBlock(out, block), 0) << i;
    // Ten blocks waited for: the silent clock has played them.
    EXPECT_GE(out.GetPlayedMs(), 100);
    out.Close();
}

TEST(SoundOut, WithTheSilentFallbackAServerThatGoesAwayIsReplacedAndTheClockGoesOn) {
    PrivateSoundServer server;
    ASSERT_TRUE(server.Started());
    UseSoundServer useIt(server.Address());
    CSoundOut out;
    out.SetSilentFallback(true);
    ASSERT_TRUE(out.Open(kStereo48k));
    EXPECT_FALSE(out.IsSilent());
    const auto block = ToneBlock(kStereo48k, 20);
    for (int i = 1; i <= CSoundOut::kSlotCount; ++i) ASSERT_EQ(WriteBlock(out, block), i);

    server.Kill();
    // The block that meets the failure is refused; from then on the silent device takes them,
    // counting on from what the lost server had been given.
    int refused = 0;
    for (int i = 0; i < 4 && WriteBlock(out, block) < 0; ++i) ++refused;
    EXPECT_LE(refused, 2);
    EXPECT_TRUE(out.IsSilent());
    EXPECT_GE(out.GetPlayedMs(), 5 * 20);
    for (int i = 0; i < 2 * CSoundOut::kSlotCount; ++i) ASSERT_GT(WriteBlock(out, block), 0) << i;
    EXPECT_GE(out.GetPlayedMs(), 5 * 20 + 5 * 20);
    out.Close();
}
