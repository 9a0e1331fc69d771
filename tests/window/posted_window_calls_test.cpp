// Redraws and texts asked for from worker threads reach the window on the user-interface thread,
// and never reach a window that is gone.

#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include "platform/qt/posted_window_calls.h"
#include "platform/qt/wnd.h"
#include "window_test_support.h"

using namespace platform;
using window_test::PumpFor;
using window_test::PumpUntil;

namespace {

class PaintLog : public CWnd {
public:
    int erases = 0;
    int paints = 0;
    std::vector<MessageId> seenByHandlers;

    BOOL PreTranslateMessage(Message& message) override {
        seenByHandlers.push_back(message.message);
        return FALSE;
    }
    LResult WindowProc(MessageId message, WParam wParam, LParam lParam) override {
        seenByHandlers.push_back(message);
        return CWnd::WindowProc(message, wParam, lParam);
    }

protected:
    BOOL OnEraseBkgnd(QPainter& dc) override {
        ++erases;
        return CWnd::OnEraseBkgnd(dc);
    }
    void OnPaint(QPainter&) override { ++paints; }
};

class PostedCalls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.CreateEx(nullptr, Rect{10, 10, 110, 60}, WS_POPUP | WS_VISIBLE, 0));
        ASSERT_TRUE(PumpUntil([&] { return window.paints > 0; }));
        PumpFor(20);
        window.erases = window.paints = 0;
    }

    static void OnWorker(const std::function<void()>& work) {
        std::thread worker(work);
        worker.join();  // the user-interface thread is not pumping meanwhile
    }

    PaintLog window;
};

TEST_F(PostedCalls, TextsFromAWorkerArriveWithoutTheWorkerWaiting) {
    const WindowHandle handle = window.GetSafeHwnd();
    std::vector<BOOL> results;
    OnWorker([&] {
        for (int i = 0; i < 50; ++i) results.push_back(PostWindowText(handle, QString("text %1").arg(i)));
    });
    EXPECT_EQ(std::count(results.begin(), results.end(), TRUE), 50);
    EXPECT_EQ(window.GetWindowText(), QString());  // nothing happens off the user-interface thread
    ASSERT_TRUE(PumpUntil([&] { return window.GetWindowText() == "text 49"; }));
    PumpFor(20);
    EXPECT_EQ(window.GetWindowText(), "text 49");  // no earlier text overtakes the last one
    EXPECT_TRUE(window.seenByHandlers.empty());
}

TEST_F(PostedCalls, InvalidateFromAWorkerRepaintsWithOrWithoutErasing) {
    const WindowHandle handle = window.GetSafeHwnd();
    BOOL posted = FALSE;
    OnWorker([&] { posted = PostInvalidate(handle, FALSE); });
    EXPECT_TRUE(posted);
    ASSERT_TRUE(PumpUntil([&] { return window.paints > 0; }));
    EXPECT_EQ(window.erases, 0);

    OnWorker([&] { posted = PostInvalidate(handle); });
    EXPECT_TRUE(posted);
    ASSERT_TRUE(PumpUntil([&] { return window.paints > 1; }));
    EXPECT_GE(window.erases, 1);
    EXPECT_TRUE(window.seenByHandlers.empty());
}

TEST_F(PostedCalls, NullOrDeadHandlesDoNothing) {
    EXPECT_FALSE(PostInvalidate(nullptr));
    EXPECT_FALSE(PostWindowText(nullptr, "lost"));

    const WindowHandle old = window.GetSafeHwnd();
    window.DestroyWindow();
    BOOL invalidated = TRUE, texted = TRUE;
    OnWorker([&] {
        invalidated = PostInvalidate(old);
        texted = PostWindowText(old, "lost");
    });
    EXPECT_FALSE(invalidated);
    EXPECT_FALSE(texted);
    PumpFor(20);
    EXPECT_EQ(window.GetWindowText(), QString());
}

TEST_F(PostedCalls, ATextPostedBeforeTheWindowIsDestroyedNeverArrives) {
    const WindowHandle old = window.GetSafeHwnd();
    OnWorker([&] { EXPECT_TRUE(PostWindowText(old, "late")); });
    window.DestroyWindow();
    // A new window of the same object has a new handle: the old text is not waiting for it.
    ASSERT_TRUE(window.CreateEx(nullptr, Rect{10, 10, 110, 60}, WS_POPUP, 0));
    PumpFor(20);
    EXPECT_EQ(window.GetWindowText(), QString());
    EXPECT_TRUE(window.seenByHandlers.empty());
}

}  // namespace
