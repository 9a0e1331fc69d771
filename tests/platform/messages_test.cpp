#include "platform/messages.h"
#include "platform/recording_window.h"
#include "platform/sync.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Messages, PostReachesTheWindowInOrder) {
    RecordingWindow window;
    EXPECT_TRUE(PostMessage(window.Handle(), kWmCommand, 65, 0));
    EXPECT_TRUE(PostMessage(window.Handle(), kWmUser + 1000, 0, 0));
    auto messages = window.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, kWmCommand);
    EXPECT_EQ(messages[0].wParam, 65u);
    EXPECT_EQ(messages[1].message, kWmUser + 1000);
}

TEST(Messages, PostToNullOrDestroyedWindowFails) {
    EXPECT_FALSE(PostMessage(nullptr, kWmCommand, 1, 0));
    WindowHandle stale;
    {
        RecordingWindow window;
        stale = window.Handle();
    }
    EXPECT_FALSE(PostMessage(stale, kWmCommand, 1, 0));
    RecordingWindow next;
    EXPECT_NE(next.Handle(), stale);  // handles are not reused
}

TEST(Messages, PostFromAnotherThreadIsSeenByWaitFor) {
    RecordingWindow window;
    Thread poster;
    poster.Start([&] { Sleep(20); PostMessage(window.Handle(), kWmCommand, 65, 0); });
    EXPECT_TRUE(window.WaitFor(kWmCommand, 65, 2000));
    EXPECT_EQ(window.Count(kWmCommand, 65), 1u);
}
