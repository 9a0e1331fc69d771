#include "engine/audio/master_volume.h"

#include <gtest/gtest.h>

#include "platform/sync.h"
#include "tests/audio/audio_test_support.h"

namespace {

// Each test owns a sound server: the cases run as separate processes at the same time, and a
// volume set on a shared server by one would be read back by another.
class MasterVolumeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Started()); }

private:
    PrivateSoundServer m_server;
    UseSoundServer m_useIt{m_server.Address()};
};

}  // namespace

TEST_F(MasterVolumeTest, ValueSetIsReadBack) {
    for (uint32_t value : {0u, 1u, 4096u, 32767u, 32768u, 50000u, 65534u, 65535u}) {
        ASSERT_TRUE(SetMasterVolume(value)) << value;
        EXPECT_EQ(GetMasterVolume(), value);
    }
}

TEST_F(MasterVolumeTest, ValuesAboveTheRangeSetTheFullVolume) {
    ASSERT_TRUE(SetMasterVolume(0x12345678));
    EXPECT_EQ(GetMasterVolume(), 65535u);
}

TEST(MasterVolume, WithoutASoundServerGetGivesZeroAndSetFailsPromptly) {
    NoSoundServer noServer;
    const uint64_t startMs = platform::TickMs64();
    EXPECT_EQ(GetMasterVolume(), 0u);
    EXPECT_FALSE(SetMasterVolume(30000));
    EXPECT_LT(platform::TickMs64() - startMs, 3000u);
}
