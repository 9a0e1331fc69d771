#include <gtest/gtest.h>

#include <memory>

#include "platform/offscreen_video_target.h"
#include "platform/presentation_device.h"
#include "platform/recording_window.h"

namespace {

using platform::CooperativeLevel;
using platform::OffscreenVideoTarget;
using platform::Rect;

TEST(PresentationDevice, IsCreatedOnlyForAVideoTarget) {
    OffscreenVideoTarget target(64, 48);
    platform::RecordingWindow plainWindow;
    EXPECT_NE(platform::CreatePresentationDevice(target.Handle()), nullptr);
    EXPECT_EQ(platform::CreatePresentationDevice(plainWindow.Handle()), nullptr);
    EXPECT_EQ(platform::CreatePresentationDevice(nullptr), nullptr);
}

TEST(PresentationDevice, ReportsLostWhileUnusableAndNotResetUntilReplaced) {
    OffscreenVideoTarget target(64, 48);
    auto device = platform::CreatePresentationDevice(target.Handle());
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->TestCooperativeLevel(), CooperativeLevel::Ok);
    target.SetMinimised(true);
    EXPECT_EQ(device->TestCooperativeLevel(), CooperativeLevel::Lost);
    EXPECT_EQ(device->TestCooperativeLevel(), CooperativeLevel::Lost);
    target.SetMinimised(false);
    EXPECT_EQ(device->TestCooperativeLevel(), CooperativeLevel::NotReset);
    EXPECT_EQ(device->TestCooperativeLevel(), CooperativeLevel::NotReset);

    auto replacement = platform::CreatePresentationDevice(target.Handle());
    EXPECT_EQ(replacement->TestCooperativeLevel(), CooperativeLevel::Ok);
}

TEST(PresentationDevice, PresentsNothingItCannotShow) {
    auto target = std::make_unique<OffscreenVideoTarget>(64, 48);
    auto device = platform::CreatePresentationDevice(target->Handle());
    ASSERT_NE(device, nullptr);
    platform::SurfaceLock lock;

    EXPECT_FALSE(device->LockSurface(lock)) << "no surface yet";
    EXPECT_FALSE(device->Present(Rect{0, 0, 64, 48})) << "no surface yet";
    EXPECT_FALSE(device->CreateSurface(0, 48));
    EXPECT_FALSE(device->CreateSurface(1u << 20, 1u << 20));

    ASSERT_TRUE(device->CreateSurface(63, 47));
    ASSERT_TRUE(device->LockSurface(lock));
    EXPECT_EQ(lock.pitch % 2, 0);
    EXPECT_GE(lock.pitch / 2, 32) << "room for every chroma sample of an odd width";
    device->UnlockSurface();
    EXPECT_FALSE(device->Present(Rect{10, 10, 10, 40})) << "empty destination";
    EXPECT_TRUE(device->Present(Rect{0, 0, 64, 48}));
    EXPECT_EQ(target->PresentCount(), 1u);

    const platform::WindowHandle gone = target->Handle();
    target.reset();
    EXPECT_FALSE(platform::IsVideoTarget(gone));
    EXPECT_FALSE(device->Present(Rect{0, 0, 64, 48}));
    EXPECT_EQ(device->TestCooperativeLevel(), CooperativeLevel::Lost);
}

}  // namespace
