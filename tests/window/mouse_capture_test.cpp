// A held button without capture: moves and the release go to the window under the pointer, and the
// window the pointer moved off hears of it at once. A window that captures keeps them all.

#include <QWindow>
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/qt/button.h"
#include "platform/qt/wnd.h"
#include "window_test_support.h"

using namespace platform;
using window_test::PumpUntil;

namespace {

// Logs the mouse notifications it gets, and tracks leave and hover the way the controls do.
class MouseLog : public CWnd {
public:
    MouseLog(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) {}
    bool captures = false;

    // As a control asks whenever it is not tracking yet: the flag is set once the request returns.
    void TrackUnlessTracking() {
        if (!m_bTracking) m_bTracking = TrackMouseEvent(TME_HOVER | TME_LEAVE, 1);
    }

protected:
    void OnMouseMove(UINT flags, Point point) override {
        TrackUnlessTracking();
        Note("move", flags, point);
    }
    void OnLButtonDown(UINT flags, Point point) override {
        if (captures) SetCapture();
        Note("down", flags, point);
    }
    void OnLButtonUp(UINT flags, Point point) override {
        if (captures) ReleaseCapture();
        Note("up", flags, point);
    }
    void OnMouseHover(UINT, Point) override { m_log.push_back(m_name + " hover"); }
    void OnMouseLeave() override {
        m_bTracking = FALSE;
        m_log.push_back(m_name + " leave");
    }

private:
    void Note(const char* what, UINT flags, Point point) {
        m_log.push_back(m_name + " " + what + (flags & MK_LBUTTON ? " held" : "") + " " + std::to_string(point.x) +
                        "," + std::to_string(point.y));
    }

    std::string m_name;
    std::vector<std::string>& m_log;
    BOOL m_bTracking = FALSE;
};

// Two neighbours side by side in one top-level window: a at x 10..109, b at x 120..219.
class HeldButton : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(top.CreateEx(nullptr, Rect{100, 100, 400, 300}, WS_POPUP | WS_VISIBLE, 0));
        ASSERT_TRUE(a.CreateEx(&top, Rect{10, 10, 110, 60}, WS_CHILD | WS_VISIBLE, 1));
        ASSERT_TRUE(b.CreateEx(&top, Rect{120, 10, 220, 60}, WS_CHILD | WS_VISIBLE, 2));
        ASSERT_TRUE(PumpUntil([&] { return top.windowHandle() && top.windowHandle()->isExposed(); }));
        window_test::Move(a, QPoint(50, 20));
        ASSERT_TRUE(PumpUntil([&] { return Logged("a hover"); }));
        log.clear();
    }

    bool Logged(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }

    std::vector<std::string> log;
    MouseLog top{"top", log}, a{"a", log}, b{"b", log};
};

// Asked for while the pointer is elsewhere, the leave comes after the request has returned: the
// window's own tracking flag is then cleared, not set over the leave, and its hover lives on.
TEST_F(HeldButton, ALeaveForAPointerAlreadyOutsideComesAfterTheRequest) {
    b.TrackUnlessTracking();
    EXPECT_FALSE(Logged("b leave")) << "not inside the request";
    ASSERT_TRUE(PumpUntil([&] { return Logged("b leave"); }));
    window_test::Move(b, QPoint(20, 20));
    EXPECT_TRUE(PumpUntil([&] { return Logged("b hover"); }));
}

TEST_F(HeldButton, MovesIntoANeighbourLeaveAtOnceAndHoverThere) {
    window_test::Press(a, QPoint(50, 20));
    // Qt hands the moves to the pressed window; the window layer passes them on.
    window_test::Move(a, QPoint(130, 20), Qt::LeftButton);
    EXPECT_EQ(log, (std::vector<std::string>{"a down held 50,20", "a leave", "b move held 20,20"}));
    ASSERT_TRUE(PumpUntil([&] { return Logged("b hover"); }));

    log.clear();
    window_test::Release(a, QPoint(130, 20));
    EXPECT_EQ(log, (std::vector<std::string>{"b up 20,20"}));
}

TEST_F(HeldButton, TheNeighbourLeavesWhenThePointerComesBackOrGoesOffEveryWindow) {
    window_test::Press(a, QPoint(50, 20));
    window_test::Move(a, QPoint(130, 20), Qt::LeftButton);
    window_test::Move(a, QPoint(60, 20), Qt::LeftButton);
    EXPECT_EQ(log, (std::vector<std::string>{"a down held 50,20", "a leave", "b move held 20,20", "b leave",
                                             "a move held 60,20"}));

    log.clear();
    window_test::Move(a, QPoint(-200, 20), Qt::LeftButton);  // off the top-level window
    window_test::Release(a, QPoint(-200, 20));
    EXPECT_EQ(log, (std::vector<std::string>{"a leave"}));
}

TEST_F(HeldButton, MovesOverTheParentGoToTheParentWithoutALeaveOfIt) {
    window_test::Press(a, QPoint(50, 20));
    window_test::Move(a, QPoint(50, 100), Qt::LeftButton);
    window_test::Release(a, QPoint(50, 100));
    EXPECT_EQ(log, (std::vector<std::string>{"a down held 50,20", "a leave", "top move held 60,110", "top up 60,110"}));
}

TEST_F(HeldButton, ACapturingWindowKeepsMovesAndReleaseAndLeavesOnlyAfterIt) {
    a.captures = true;
    window_test::Press(a, QPoint(50, 20));
    window_test::Move(a, QPoint(130, 20), Qt::LeftButton);
    window_test::Release(a, QPoint(130, 20));
    EXPECT_EQ(log, (std::vector<std::string>{"a down held 50,20", "a move held 130,20", "a up 130,20"}));
    EXPECT_FALSE(a.HasCapture());

    // Released, the window is back to the default: the next held move outside it is passed on.
    log.clear();
    a.captures = false;
    window_test::Press(a, QPoint(50, 20));
    window_test::Move(a, QPoint(130, 20), Qt::LeftButton);
    EXPECT_TRUE(Logged("b move held 20,20"));
}

TEST_F(HeldButton, ADisabledOrDestroyedNeighboursShareGoesToTheParent) {
    b.EnableWindow(FALSE);
    window_test::Press(a, QPoint(50, 20));
    window_test::Move(a, QPoint(130, 20), Qt::LeftButton);
    window_test::Release(a, QPoint(130, 20));
    EXPECT_EQ(log, (std::vector<std::string>{"a down held 50,20", "a leave", "top move held 140,30", "top up 140,30"}));

    log.clear();
    b.EnableWindow(TRUE);
    window_test::Press(a, QPoint(50, 20));
    window_test::Move(a, QPoint(130, 20), Qt::LeftButton);
    b.DestroyWindow();
    window_test::Move(a, QPoint(135, 20), Qt::LeftButton);
    window_test::Release(a, QPoint(135, 20));
    // a asked for no new leave since the last one.
    EXPECT_EQ(log, (std::vector<std::string>{"a down held 50,20", "b move held 20,20", "top move held 145,30",
                                             "top up 145,30"}));
}

TEST_F(HeldButton, APushButtonFollowsThePointerOffItselfUntilTheRelease) {
    CButton button;
    ASSERT_TRUE(button.Create("OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, Rect{10, 100, 110, 130}, &top, 3));
    window_test::Press(button, QPoint(50, 15));
    EXPECT_TRUE(button.HasCapture());
    window_test::Move(button, QPoint(50, -60), Qt::LeftButton);  // over a
    EXPECT_FALSE(button.ItemState() & ODS_SELECTED);
    window_test::Move(button, QPoint(50, 15), Qt::LeftButton);
    EXPECT_TRUE(button.ItemState() & ODS_SELECTED);
    window_test::Move(button, QPoint(50, -60), Qt::LeftButton);
    window_test::Release(button, QPoint(50, -60));
    EXPECT_FALSE(button.HasCapture());
    EXPECT_FALSE(button.ItemState() & ODS_SELECTED);
    EXPECT_TRUE(log.empty()) << "a saw " << log.front();
}

}  // namespace
