// The control bar: its layout, its time labels and the thread that keeps them current, what it
// passes on to the main panel, and its play-state and volume operations.

#include <gtest/gtest.h>

#include <vector>

#include "panels/command_ids.h"
#include "panels/ctrl_wind.h"
#include "panels/pane_texts.h"
#include "panes_test_support.h"
#include "platform/sync.h"

using namespace platform;
using panes_test::CommandRecorder;
using panes_test::PumpFor;
using panes_test::PumpUntil;

namespace {

TEST(CtrlBarLayout, NarrowerThan656PixelsIsNotLaidOut) {
    EXPECT_FALSE(ComputeCtrlBarLayout(Rect{0, 0, 655, 80}).has_value());
    EXPECT_FALSE(ComputeCtrlBarLayout(Rect{0, 0, 0, 0}).has_value());
    EXPECT_TRUE(ComputeCtrlBarLayout(Rect{0, 0, 656, 80}).has_value());
}

TEST(CtrlBarLayout, LeftGroupFollowsTheLeftEdgeRightGroupTheRightEdge) {
    const struct {
        const char* name;
        Rect CtrlBarLayout::*rect;
        Rect at656;
        Rect at900;
    } cases[] = {
        {"stop", &CtrlBarLayout::stop, {34, 44, 57, 67}, {34, 44, 57, 67}},
        {"slow", &CtrlBarLayout::slow, {73, 44, 96, 67}, {73, 44, 96, 67}},
        {"play", &CtrlBarLayout::playPause, {112, 30, 162, 80}, {112, 30, 162, 80}},
        {"fast", &CtrlBarLayout::fast, {178, 44, 201, 67}, {178, 44, 201, 67}},
        {"frame", &CtrlBarLayout::frame, {217, 44, 240, 67}, {217, 44, 240, 67}},
        {"volume", &CtrlBarLayout::volume, {290, 42, 317, 69}, {290, 42, 317, 69}},
        {"volume slider", &CtrlBarLayout::volumeSlider, {317, 41, 417, 72}, {317, 41, 417, 72}},
        {"playlist", &CtrlBarLayout::playlist, {606, 40, 631, 65}, {850, 40, 875, 65}},
        {"open", &CtrlBarLayout::open, {566, 40, 587, 65}, {810, 40, 831, 65}},
        {"convert", &CtrlBarLayout::convert, {522, 40, 547, 65}, {766, 40, 791, 65}},
        {"seek", &CtrlBarLayout::seek, {3, 3, 653, 23}, {3, 3, 897, 23}},
        {"position", &CtrlBarLayout::position, {10, 24, 110, 41}, {10, 24, 110, 41}},
        {"duration", &CtrlBarLayout::duration, {554, 24, 646, 41}, {798, 24, 890, 41}},
    };
    const CtrlBarLayout at656 = *ComputeCtrlBarLayout(Rect{0, 0, 656, 80});
    const CtrlBarLayout at900 = *ComputeCtrlBarLayout(Rect{0, 0, 900, 80});
    for (const auto& c : cases) {
        EXPECT_EQ(at656.*c.rect, c.at656) << c.name;
        EXPECT_EQ(at900.*c.rect, c.at900) << c.name;
    }
}

TEST(TimeLabel, MinutesAndSecondsWithoutHoursOrPadding) {
    const struct {
        uint32_t ms;
        const char* text;
    } cases[] = {
        {0, "0 : 0"},          {999, "0 : 0"},          {1000, "0 : 1"},       {59999, "0 : 59"},
        {65000, "1 : 5"},      {3600000, "60 : 0"},     {5400000, "90 : 0"},   {18000000, "300 : 0"},
        // A day's recording, and files of weeks: never a negative length.
        {86400000, "1440 : 0"}, {0xFFFFFFFFu, "71582 : 47"}, {3000000000u, "50000 : 0"},
    };
    for (const auto& c : cases) EXPECT_EQ(TimeLabelText(c.ms), QString::fromLatin1(c.text)) << c.ms;
}

TEST(CtrlBarForwarding, OnlyWholeIdsOneToEleven) {
    EXPECT_FALSE(IsCtrlBarCommand(0));
    for (WParam id = 1; id <= 11; ++id) EXPECT_TRUE(IsCtrlBarCommand(id)) << id;
    EXPECT_FALSE(IsCtrlBarCommand(12));
    EXPECT_FALSE(IsCtrlBarCommand(ID_PLAYLIST_PLAY));
    EXPECT_FALSE(IsCtrlBarCommand(MakeWParam(ID_STOP, 1)));  // a notification code in the high word
}

class CtrlBar : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bar.Create(IDD_CTRL_WIND, &panel));
        bar.MoveWindow(Rect{0, 570, 714, 650}, TRUE);
        bar.ShowWindow(SW_SHOW);
        panel.ShowWindow(SW_SHOW);
    }

    CommandRecorder panel;
    CCtrlWind bar;
};

TEST_F(CtrlBar, ButtonsCarryTheirIdsPicturesAndTooltips) {
    const struct {
        CMButton CCtrlWind::*button;
        WParam id;
        int twoImages;
        int tip;
        int tip2;
    } cases[] = {
        {&CCtrlWind::m_btnPlay, ID_PLAY_PAUSE, 1, 8, 9},
        {&CCtrlWind::m_btnFrame, ID_FRAME_STEP, 0, 10, 0},
        {&CCtrlWind::m_btnStop, ID_STOP, 0, 11, 0},
        {&CCtrlWind::m_btnSlow, ID_SLOWER, 0, 12, 0},
        {&CCtrlWind::m_btnFast, ID_FASTER, 0, 13, 0},
        {&CCtrlWind::m_btnVolume, ID_MUTE, 1, 14, 15},
        {&CCtrlWind::m_btnPlaylist, ID_TOGGLE_PLAYLIST, 1, 16, 17},
        {&CCtrlWind::m_btnOpen, ID_OPEN_FILE, 0, 18, 0},
        {&CCtrlWind::m_btnConvert, ID_CONVERT, 0, 33, 0},
    };
    for (const auto& c : cases) {
        const CMButton& button = bar.*c.button;
        ASSERT_TRUE(button.GetSafeHwnd()) << c.id;
        EXPECT_EQ(static_cast<WParam>(button.m_nID), c.id);
        EXPECT_EQ(button.m_bTwoImages, c.twoImages) << c.id;
        EXPECT_FALSE(button.m_strTip.isEmpty()) << c.id;
        EXPECT_EQ(button.m_strTip, PaneText(c.tip)) << c.id;
        EXPECT_EQ(button.m_strTip2, c.tip2 ? PaneText(c.tip2) : QString()) << c.id;
        EXPECT_TRUE(button.m_pImage && !button.m_pImage->isNull()) << c.id;
        EXPECT_EQ(button.m_pImage2 != nullptr, c.twoImages == 1) << c.id;
    }
}

TEST_F(CtrlBar, SlidersAndLabelsAreSetUpForTimeAndVolume) {
    EXPECT_EQ(bar.m_sliderSeek.m_nID, static_cast<int>(ID_SEEK));
    EXPECT_EQ(bar.m_sliderSeek.m_nMargin, 8);
    EXPECT_EQ(bar.m_sliderSeek.m_nTipMode, 1);
    EXPECT_EQ(bar.m_sliderSeek.m_nMax.load(), 0u);
    EXPECT_EQ(bar.m_sliderVolume.m_nID, static_cast<int>(ID_VOLUME));
    EXPECT_EQ(bar.m_sliderVolume.m_nMargin, 6);
    EXPECT_EQ(bar.m_sliderVolume.m_nTipMode, 2);
    EXPECT_EQ(bar.m_sliderVolume.m_nMax.load(), 0xFFFFu);
    EXPECT_EQ(bar.m_sliderVolume.GetPos(), 0u);
    EXPECT_EQ(bar.m_lblPosition.m_nAlign, 1);
    EXPECT_EQ(bar.m_lblDuration.m_nAlign, 2);
}

TEST_F(CtrlBar, ControlsAreCreatedInTheTableOrder) {
    const std::vector<const CWnd*> expected = {
        &bar.m_btnPlay,   &bar.m_btnFrame,  &bar.m_btnStop,      &bar.m_btnSlow,       &bar.m_btnFast,
        &bar.m_btnVolume, &bar.m_btnPlaylist, &bar.m_btnOpen,    &bar.m_btnConvert,    &bar.m_sliderSeek,
        &bar.m_sliderVolume, &bar.m_lblPosition, &bar.m_lblDuration};
    std::vector<const CWnd*> created;
    for (QObject* child : bar.children())
        if (auto* window = dynamic_cast<CWnd*>(child)) created.push_back(window);
    EXPECT_EQ(created, expected);
}

Rect PlaceOf(const CWnd& window) {
    return Rect{window.x(), window.y(), window.x() + window.width(), window.y() + window.height()};
}

TEST_F(CtrlBar, ANarrowBarLeavesItsControlsWhereTheyWere) {
    EXPECT_EQ(PlaceOf(bar.m_btnPlay), (Rect{112, 30, 162, 80}));
    bar.MoveWindow(Rect{0, 570, 600, 650}, TRUE);
    EXPECT_EQ(PlaceOf(bar.m_btnPlaylist), (Rect{664, 40, 689, 65}));
    EXPECT_EQ(PlaceOf(bar.m_sliderSeek), (Rect{3, 3, 711, 23}));
    bar.MoveWindow(Rect{0, 570, 960, 650}, TRUE);
    EXPECT_EQ(PlaceOf(bar.m_btnPlaylist), (Rect{910, 40, 935, 65}));
    EXPECT_EQ(PlaceOf(bar.m_lblDuration), (Rect{858, 24, 950, 41}));
}

TEST(CtrlBarCreation, BeforeItIsWideEnoughItsControlsHaveNoSize) {
    CommandRecorder panel;
    CCtrlWind bar;
    ASSERT_TRUE(bar.Create(IDD_CTRL_WIND, &panel));
    bar.MoveWindow(Rect{0, 0, 400, 80}, TRUE);
    EXPECT_EQ(bar.m_btnPlay.width(), 0);
    EXPECT_EQ(bar.m_sliderSeek.width(), 0);
    EXPECT_EQ(bar.m_rcPlayPause, Rect{});
}

TEST_F(CtrlBar, PassesOnItsOwnIdsOnlyAndDoesNotActOnThem) {
    const WParam posted[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 17, MakeWParam(ID_STOP, 1)};
    for (WParam wParam : posted) ASSERT_TRUE(bar.PostMessage(WM_COMMAND, wParam, 0));
    ASSERT_TRUE(PumpUntil([&] { return panel.received.size() >= 11; }));
    PumpFor(30);
    EXPECT_EQ(panel.received, (std::vector<WParam>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    // 1 and 2 are also the dialogs' OK and Cancel: acting on them would have ended the bar.
    EXPECT_TRUE(bar.IsWindowVisible());
}

TEST_F(CtrlBar, AButtonPressReachesTheMainPanelOnce) {
    panes_test::Press(bar.m_btnStop, QPoint(5, 5));
    ASSERT_TRUE(PumpUntil([&] { return !panel.received.empty(); }));
    PumpFor(30);
    EXPECT_EQ(panel.received, (std::vector<WParam>{ID_STOP}));
}

TEST_F(CtrlBar, PlayStateSwitchesPictureAndTooltipOfATwoStripButtonOnly) {
    bar.SetPlayState(FALSE);
    EXPECT_EQ(bar.m_btnPlay.m_nImage, 1);
    EXPECT_EQ(bar.m_btnPlay.m_ToolTip.GetText(), PaneText(9));
    bar.SetPlayState(TRUE);
    EXPECT_EQ(bar.m_btnPlay.m_nImage, 0);
    EXPECT_EQ(bar.m_btnPlay.m_ToolTip.GetText(), PaneText(8));

    bar.m_btnPlay.m_bTwoImages = 0;
    bar.SetPlayState(FALSE);
    EXPECT_EQ(bar.m_btnPlay.m_nImage, 0);
    EXPECT_EQ(bar.m_btnPlay.m_ToolTip.GetText(), PaneText(8));
}

TEST_F(CtrlBar, VolumeStaysWithinTheSliderRange) {
    const struct {
        uint32_t max;
        uint32_t value;
        BOOL accepted;
        uint32_t after;
    } cases[] = {
        {0xFFFF, 30000, TRUE, 30000}, {0xFFFF, 0xFFFF, TRUE, 0xFFFF}, {0xFFFF, 0, TRUE, 0},
        {0xFFFF, 0x10000, FALSE, 0},  {0, 0, FALSE, 0},
    };
    for (const auto& c : cases) {
        bar.m_sliderVolume.m_nMax = 0xFFFF;
        ASSERT_TRUE(bar.SetVolume(0));
        bar.m_sliderVolume.m_nMax = c.max;
        EXPECT_EQ(bar.SetVolume(c.value), c.accepted) << c.value;
        EXPECT_EQ(bar.GetVolume(), c.after) << c.value;
    }
}

TEST_F(CtrlBar, Threads_TimeLabelsFollowThePositionSliderSetFromAnotherThread) {
    ASSERT_TRUE(PumpUntil([&] { return bar.m_lblDuration.GetWindowText() == "0 : 0"; }));
    EXPECT_EQ(bar.m_lblPosition.GetWindowText(), "0 : 0");

    Thread writer;  // the main panel's position thread writes the range and the value
    writer.Start([&] {
        bar.m_sliderSeek.m_nMax = 5400000;
        bar.m_sliderSeek.SetPos(65000);
    });
    ASSERT_TRUE(writer.Join(5000));
    ASSERT_TRUE(PumpUntil([&] { return bar.m_lblPosition.GetWindowText() == "1 : 5"; }));
    ASSERT_TRUE(PumpUntil([&] { return bar.m_lblDuration.GetWindowText() == "90 : 0"; }));
}

TEST(CtrlBarLifetime, Threads_TheBarCanGoAtAnyMomentOfItsLabelThread) {
    CommandRecorder panel;
    for (int round = 0; round < 5; ++round) {
        CCtrlWind bar;
        ASSERT_TRUE(bar.Create(IDD_CTRL_WIND, &panel));
        bar.MoveWindow(Rect{0, 0, 700, 80}, TRUE);
        bar.m_sliderSeek.m_nMax = 1000;
        PumpFor(round * 3);
        if (round % 2) bar.DestroyWindow();
    }
    PumpFor(30);  // texts posted to labels that are gone are dropped
}

}  // namespace
