// The X11 pointer query reads the real pointer of the display, from any thread.

#include <gtest/gtest.h>

#include "platform/qt/pointer_query_x11.h"
#include "private_display.h"
#include "platform/sync.h"

// Last: Xlib's macros (None, Bool) would otherwise rewrite the test framework's names.
#include <X11/Xlib.h>

namespace {

TEST(X11PointerQuery, ReportsWherePointerWasWarpedFromAnotherThread) {
    if (!window_test::PrivateDisplayRunning()) GTEST_SKIP() << "no Xvfb";
    Display* display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "the X display cannot be opened";
    auto query = platform::CreateX11PointerQuery();
    ASSERT_TRUE(query);
    EXPECT_TRUE(query->IsGlobal());

    XWarpPointer(display, 0, DefaultRootWindow(display), 0, 0, 0, 0, 123, 45);
    XSync(display, 0);
    platform::Point where;
    bool leftDown = true;
    bool answered = false;
    platform::Thread worker;
    worker.Start([&] { answered = query->Query(where, leftDown); });
    worker.Join();
    XCloseDisplay(display);

    ASSERT_TRUE(answered);
    EXPECT_EQ(where, (platform::Point{123, 45}));
    EXPECT_FALSE(leftDown);
}

}  // namespace
