#include "engine/audio/master_volume.h"

#include <gtest/gtest.h>

#include "platform/sync.h"
#include "tests/audio/audio_test_support.h"

namespace {

// Every test leaves the shared server's volume as it found it.
class MasterVolumeTest : public ::testing::Test {
protected:
    void SetUp() override { m_saved = GetMasterVolume(); }
    void TearDown() override { SetMasterVolume(m_saved); }

private:
    uint32_t m_saved = 0;
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
