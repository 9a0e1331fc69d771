// Alt+Space asks the top window of the family for its system menu, wherever the focus is, and is
// not taken by a focused button as its own Space.

#include <QTest>
#include <gtest/gtest.h>
#include <vector>

#include "platform/qt/button.h"
#include "platform/qt/dialog.h"
#include "window_test_support.h"

using namespace platform;
using window_test::PumpUntil;

namespace {

class TopLog : public CDialogEx {
public:
    TopLog() : CDialogEx(102) {}
    std::vector<UINT> sysCommands;

protected:
    void OnSysCommand(UINT id, LParam) override { sysCommands.push_back(id); }
};

class PaneLog : public CDialogEx {
public:
    PaneLog() : CDialogEx(129) {}
    int commands = 0;

protected:
    BOOL OnCommand(WParam, LParam) override {
        ++commands;
        return TRUE;
    }
};

TEST(SystemMenuKey, AltSpaceOnAFocusedButtonOfAPaneReachesTheTopWindowOnly) {
    TopLog top;
    PaneLog pane;
    CButton button;
    ASSERT_TRUE(top.Create(102, nullptr));
    top.ShowWindow(SW_SHOW);
    ASSERT_TRUE(pane.Create(129, &top));
    pane.ShowWindow(SW_SHOW);
    ASSERT_TRUE(button.Create(QStringLiteral("Play"), WS_CHILD | WS_VISIBLE, Rect{0, 0, 60, 20}, &pane, 5));
    button.SetFocus();

    QTest::keyClick(&button, Qt::Key_Space, Qt::AltModifier);
    ASSERT_TRUE(PumpUntil([&] { return !top.sysCommands.empty(); }));
    EXPECT_EQ(top.sysCommands.front() & 0xFFF0, SC_KEYMENU);
    window_test::PumpFor(20);
    EXPECT_EQ(pane.commands, 0);

    // Space alone still presses the button.
    QTest::keyClick(&button, Qt::Key_Space);
    ASSERT_TRUE(PumpUntil([&] { return pane.commands == 1; }));
    EXPECT_EQ(top.sysCommands.size(), 1u);
}

}  // namespace
