// The status bar: the text for each speed, its layout, the long-path ellipsis and the colours of
// its text, and the commands its buttons send up.

#include <gtest/gtest.h>

#include "panels/command_ids.h"
#include "panels/m_status_bar.h"
#include "panels/pane_texts.h"
#include "panes_test_support.h"

using namespace platform;
using panes_test::CommandRecorder;
using panes_test::PumpFor;
using panes_test::PumpUntil;

namespace {

TEST(StatusBarText, SpeedMarksAreSpelledWithTheirBlanks) {
    const QString path = QStringLiteral("/rec/a.avi");
    EXPECT_EQ(StatusBarText(0, path), path);
    EXPECT_EQ(StatusBarText(1, path), "X0.25     /rec/a.avi");
    EXPECT_EQ(StatusBarText(2, path), "X0.5    /rec/a.avi");
    EXPECT_EQ(StatusBarText(3, path), "X2    /rec/a.avi");
    EXPECT_EQ(StatusBarText(4, path), "X4    /rec/a.avi");
    EXPECT_EQ(StatusBarText(2, QString()), "X0.5    ");
    EXPECT_FALSE(StatusBarText(5, path).has_value());
    EXPECT_FALSE(StatusBarText(-1, path).has_value());
}

TEST(StatusBarLayout, ButtonsAt88And50FromTheRightOnceWiderThan560) {
    EXPECT_FALSE(ComputeStatusBarLayout(560, 38).has_value());
    const StatusBarLayout at561 = *ComputeStatusBarLayout(561, 38);
    EXPECT_EQ(at561.snapshot, (Rect{473, 7, 498, 32}));
    EXPECT_EQ(at561.fullScreen, (Rect{511, 7, 536, 32}));
    EXPECT_EQ(at561.text, (Rect{10, 2, 451, 28}));
}

class StatusBar : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bar.Create(IDD_STATUS_BAR, &panel));
        bar.MoveWindow(Rect{0, 0, 714, 38}, TRUE);
        bar.ShowWindow(SW_SHOW);
        panel.ShowWindow(SW_SHOW);
    }

    CommandRecorder panel;
    CMStatusBar bar;
};

TEST_F(StatusBar, TheLastOfFileNameAndSpeedDecidesWhatShows) {
    bar.SetSpeedLabel(2);
    EXPECT_EQ(bar.m_wndText.GetWindowText(), "X0.5    ");
    bar.SetFileName("/rec/a.avi");
    EXPECT_EQ(bar.m_wndText.GetWindowText(), "/rec/a.avi");  // the mark goes until the next speed
    bar.SetSpeedLabel(1);
    EXPECT_EQ(bar.m_wndText.GetWindowText(), "X0.25     /rec/a.avi");
    bar.SetSpeedLabel(9);
    EXPECT_EQ(bar.m_nSpeed, 9);
    EXPECT_EQ(bar.m_wndText.GetWindowText(), "X0.25     /rec/a.avi");
    bar.SetSpeedLabel(0);
    EXPECT_EQ(bar.m_wndText.GetWindowText(), "/rec/a.avi");
}

TEST_F(StatusBar, ChildrenFollowTheWidthAndStayBelow561) {
    auto place = [](const CWnd& w) { return Rect{w.x(), w.y(), w.x() + w.width(), w.y() + w.height()}; };
    EXPECT_EQ(place(bar.m_btnFullScreen), (Rect{664, 7, 689, 32}));
    EXPECT_EQ(place(bar.m_btnSnapshot), (Rect{626, 7, 651, 32}));
    EXPECT_EQ(place(bar.m_wndText), (Rect{10, 2, 604, 28}));
    bar.MoveWindow(Rect{0, 0, 560, 38}, TRUE);
    EXPECT_EQ(place(bar.m_btnFullScreen), (Rect{664, 7, 689, 32}));
    EXPECT_EQ(bar.m_rcFullScreen, (Rect{664, 7, 689, 32}));
}

TEST_F(StatusBar, ALongPathKeepsItsBeginningAndItsFileName) {
    const QString path = QStringLiteral("/media/recorder/exports/site-north/building-a/floor-3/"
                                        "camera-12/2026-12-10/evening/clip-0042.avi");
    bar.MoveWindow(Rect{0, 0, 600, 38}, TRUE);
    bar.SetFileName(path);
    const QString shown = bar.m_wndText.DisplayText(bar.m_wndText.width());
    EXPECT_NE(shown, path);
    EXPECT_TRUE(shown.startsWith("/media")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("/clip-0042.avi")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(bar.m_wndText.DisplayText(10000), path);  // a path that fits is shown whole
}

TEST_F(StatusBar, PathIsSilverOnThePanelColourAndButtonsHaveTheirTips) {
    CtlColors colors;
    bar.OnCtlColor(&bar.m_wndText, colors);
    EXPECT_EQ(colors.text, QColor(192, 192, 192));
    EXPECT_EQ(colors.background, QColor(0, 22, 30));
    EXPECT_TRUE(colors.transparent);
    CtlColors other;
    bar.OnCtlColor(&bar.m_btnSnapshot, other);
    EXPECT_FALSE(other.transparent);

    EXPECT_EQ(bar.m_btnFullScreen.m_strTip, PaneText(6));
    EXPECT_EQ(bar.m_btnSnapshot.m_strTip, PaneText(7));
}

TEST_F(StatusBar, ButtonsSendTheirIdsUpToTheMainPanel) {
    panes_test::Press(bar.m_btnSnapshot, QPoint(3, 3));
    panes_test::Press(bar.m_btnFullScreen, QPoint(3, 3));
    ASSERT_TRUE(PumpUntil([&] { return panel.walked.size() >= 2; }));
    PumpFor(20);
    EXPECT_EQ(panel.walked, (std::vector<WParam>{ID_SNAPSHOT, ID_TOGGLE_FULL_SCREEN}));
}

TEST_F(StatusBar, EscapeDoesNotCloseIt) {
    panes_test::KeyPress(bar, Qt::Key_Escape);
    PumpFor(10);
    EXPECT_TRUE(bar.IsWindowVisible());
}

}  // namespace
