#include "platform/pulse_audio_device.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "platform/sync.h"
#include "tests/audio/audio_test_support.h"

using namespace platform;

namespace {

// Collects done notifications as the device's thread delivers them.
class DoneLog {
public:
    AudioDevice::BlockDone Callback() {
        return [this](uintptr_t tag) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_tags.push_back(tag);
        };
    }
    std::vector<uintptr_t> Tags() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_tags;
    }
    bool WaitForCount(size_t count, uint32_t timeoutMs) {
        const uint64_t endMs = TickMs64() + timeoutMs;
        while (Tags().size() < count && TickMs64() < endMs) Sleep(5);
        return Tags().size() >= count;
    }

private:
    std::mutex m_mutex;
    std::vector<uintptr_t> m_tags;
};

const PcmFormat kDeviceStereo48k{48000, 2};

std::vector<uint8_t> Block(uint32_t ms) { return ToneBlock(Pcm16(48000, 2), ms); }

}  // namespace

TEST(PulseAudioDevice, ReportsEveryBlockDoneInWriteOrderOncePlayed) {
    DoneLog log;
    PulseAudioDevice device;
    ASSERT_TRUE(device.Open(kDeviceStereo48k, log.Callback()));
    const auto block = Block(40);
    for (uintptr_t tag = 10; tag < 14; ++tag)
        ASSERT_TRUE(device.Write(block.data(), block.size(), tag));

    ASSERT_TRUE(log.WaitForCount(4, 10000));
    EXPECT_EQ(log.Tags(), (std::vector<uintptr_t>{10, 11, 12, 13}));
    // All four blocks went through the server's clock (less its short sink latency).
    EXPECT_GE(device.PlayedMs(), 100);
    device.Close();
    EXPECT_EQ(device.PlayedMs(), -1);
}

TEST(PulseAudioDevice, ResetHandsEveryPendingBlockBackAtOnce) {
    DoneLog log;
    PulseAudioDevice device;
    ASSERT_TRUE(device.Open(kDeviceStereo48k, log.Callback()));
    const auto block = Block(1000);
    for (uintptr_t tag = 0; tag < 3; ++tag)
        ASSERT_TRUE(device.Write(block.data(), block.size(), tag));

    device.Reset();
    EXPECT_EQ(log.Tags(), (std::vector<uintptr_t>{0, 1, 2}));
    // The clock jumped over the three seconds dropped.
    EXPECT_GE(device.PlayedMs(), 3000);
    EXPECT_LT(device.PlayedMs(), 3100);
    // Still open, and what comes next plays.
    const auto shortBlock = Block(20);
    ASSERT_TRUE(device.Write(shortBlock.data(), shortBlock.size(), 7));
    ASSERT_TRUE(log.WaitForCount(4, 10000));
    EXPECT_EQ(log.Tags().back(), 7u);
}

TEST(PulseAudioDevice, CloseHandsPendingBlocksBackAndRefusesLaterWrites) {
    DoneLog log;
    PulseAudioDevice device;
    ASSERT_TRUE(device.Open(kDeviceStereo48k, log.Callback()));
    const auto block = Block(1000);
    ASSERT_TRUE(device.Write(block.data(), block.size(), 1));
    device.Close();
    EXPECT_EQ(log.Tags(), (std::vector<uintptr_t>{1}));
    EXPECT_FALSE(device.Write(block.data(), block.size(), 2));
    device.Close();
}
