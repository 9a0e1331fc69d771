// The recorded time in the window: the status bar's label follows the picture by the recorder's
// clock, the full-screen overlay shows it and its key hides it, and the go-to dialog seeks to a
// recorded time.

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "panels/command_ids.h"
#include "shell/activity_strip.h"
#include "shell/clock_view.h"
#include "shell/clock_zone_setting.h"
#include "shell/full_screen_bar.h"
#include "tests/main_panel/main_panel_test_support.h"
#include "tests/support/fixtures.h"

using namespace main_panel_test;

namespace {

class RecordedClockView : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "CET-1", 1);
        tzset();
        fixtures::ClipOptions options;
        options.seconds = 6.0;
        const std::string clip = fixtures::MakeClip(m_dir, "clip", options);
        ASSERT_FALSE(clip.empty());
        fixtures::RecordingOptions recording;
        recording.startMs = 1'765'360'800'000;  // 2025-12-10 10:00:00 UTC, 11:00:00 in that zone
        m_recording = QString::fromStdString(fixtures::MakeRecording(m_dir, clip, "camera.rec", recording));
        ASSERT_FALSE(m_recording.isEmpty());
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }

    fixtures::TempDir m_dir;
    QString m_recording;
};

QLabel* Overlay(TestPanel& panel) { return panel.m_wndPlay.findChild<QLabel*>("recordedClockOverlay"); }

TEST_F(RecordedClockView, the_label_and_the_full_screen_overlay_show_the_recorded_time) {
    TestPanel panel;
    panel.Drop(m_recording);
    ASSERT_TRUE(PumpUntil([&] { return panel.ClockView()->LabelText() >= "2025-12-10 11:00:01"; }))
        << panel.ClockView()->LabelText().toStdString();
    EXPECT_TRUE(panel.ClockView()->LabelText().startsWith("2025-12-10 11:00:0"));
    EXPECT_FALSE(Overlay(panel)->isVisible());  // only in full screen

    panel.Command(ID_TOGGLE_FULL_SCREEN);
    ASSERT_TRUE(PumpUntil([&] { return Overlay(panel)->isVisible(); }));
    EXPECT_TRUE(Overlay(panel)->text().startsWith("2025-12-10 11:00:0"));
    panel.ToggleClockOverlay();
    ASSERT_TRUE(PumpUntil([&] { return !Overlay(panel)->isVisible(); }));
    panel.ToggleClockOverlay();
    ASSERT_TRUE(PumpUntil([&] { return Overlay(panel)->isVisible(); }));
    panel.Command(ID_TOGGLE_FULL_SCREEN);
}

TEST_F(RecordedClockView, the_go_to_dialog_seeks_to_a_recorded_time_and_refuses_one_outside_the_file) {
    TestPanel panel;
    panel.Drop(m_recording);
    ASSERT_TRUE(PumpUntil([&] { return panel.m_pPlayer && panel.m_pPlayer->IsPlaying(); }));
    QStringList problems;
    // The dialog runs its own loop: it is answered from inside it, first wrongly, then rightly.
    QTimer answer;
    int step = 0;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != "goToDialog") return;
        auto* text = dialog->findChild<QLineEdit*>("goToText");
        text->setText(step == 0 ? "2025-12-10 12:00:00" : "11:00:04");
        QMetaObject::invokeMethod(dialog, "accept");
        if (step++ == 0) problems << QString::number(dialog->isVisible());
    });
    answer.start(20);
    panel.ShowGoTo();
    answer.stop();
    EXPECT_EQ(problems, QStringList{"1"});  // the text outside the file kept it open
    ASSERT_TRUE(PumpUntil([&] { return panel.m_pPlayer->GetPosition() >= 4000; }));
    EXPECT_TRUE(PumpUntil([&] { return panel.ClockView()->LabelText().startsWith("2025-12-10 11:00:0"); }));
}

// In full screen the pointer at the picture's bottom edge brings up the position and the strip;
// away from it they go.
TEST_F(RecordedClockView, in_full_screen_the_bottom_edge_shows_the_position_and_the_strip) {
    TestPanel panel;
    panel.Drop(m_recording);
    ASSERT_TRUE(PumpUntil([&] { return panel.m_pPlayer && panel.m_pPlayer->IsPlaying(); }));
    const QWidget* bar = panel.FullScreenBar();
    QWidget& picture = panel.m_wndPlay;
    panel.Command(ID_TOGGLE_FULL_SCREEN);
    ASSERT_TRUE(PumpUntil([&] { return picture.isWindow() && picture.height() > 100; }));
    QCursor::setPos(picture.mapToGlobal(QPoint(picture.width() / 2, picture.height() / 2)));
    QCursor::setPos(picture.mapToGlobal(QPoint(picture.width() / 2, picture.height() - 2)));
    ASSERT_TRUE(PumpUntil([&] { return bar->isVisible(); }));
    EXPECT_EQ(bar->geometry().bottom(), picture.height() - 1);
    EXPECT_TRUE(panel.FullScreenBar()->Text().startsWith("0:00:0")) << panel.FullScreenBar()->Text().toStdString();
    EXPECT_TRUE(panel.FullScreenBar()->Text().contains("2025-12-10 11:00:0"));
    QCursor::setPos(picture.mapToGlobal(QPoint(picture.width() / 2, picture.height() / 2)));
    EXPECT_TRUE(PumpUntil([&] { return !bar->isVisible(); }));
    panel.Command(ID_TOGGLE_FULL_SCREEN);
}

// The zone choice is remembered in the user's configuration folder; anything but "utc" is local.
TEST(ClockZoneSetting, is_read_back_as_written_and_local_unless_it_says_utc) {
    fixtures::TempDir dir;
    const std::string folder = dir.File("config/telvane/");
    EXPECT_EQ(ReadClockZoneSetting(folder), ClockZone::Local);  // no file yet
    ASSERT_TRUE(WriteClockZoneSetting(folder, ClockZone::Utc));
    EXPECT_EQ(ReadClockZoneSetting(folder), ClockZone::Utc);
    ASSERT_TRUE(WriteClockZoneSetting(folder, ClockZone::Local));
    EXPECT_EQ(ReadClockZoneSetting(folder), ClockZone::Local);
    for (const char* text : {"UTC-ish", "", "\xff\xfe"}) {
        ASSERT_TRUE(fixtures::WriteBytes(folder + "clockzone.ini", std::vector<uint8_t>(text, text + strlen(text))));
        EXPECT_EQ(ReadClockZoneSetting(folder), ClockZone::Local) << text;
    }
}

// The setting turns the label to UTC at once, and is kept for the next run.
TEST_F(RecordedClockView, the_utc_setting_shows_the_recorded_time_as_utc_and_is_remembered) {
    fixtures::TempDir config;
    const char* before = std::getenv("XDG_CONFIG_HOME");
    const std::string previous = before ? before : "";
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    TestPanel panel;
    panel.Drop(m_recording);
    ASSERT_TRUE(PumpUntil([&] { return panel.ClockView()->LabelText().startsWith("2025-12-10 11:00:0"); }))
        << panel.ClockView()->LabelText().toStdString();
    panel.ToggleClockZone();
    EXPECT_TRUE(panel.ClockView()->LabelText().startsWith("2025-12-10 10:00:0"))
        << panel.ClockView()->LabelText().toStdString();
    EXPECT_TRUE(panel.ClockView()->LabelText().endsWith(" UTC"));
    EXPECT_EQ(ReadClockZoneSetting(config.Path() + "/telvane/"), ClockZone::Utc);
    panel.ToggleClockZone();
    EXPECT_TRUE(panel.ClockView()->LabelText().startsWith("2025-12-10 11:00:0"));
    EXPECT_EQ(ReadClockZoneSetting(config.Path() + "/telvane/"), ClockZone::Local);
    if (before) setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
}

TEST(ActivityStrip, keys_jump_to_the_start_of_the_next_and_previous_activity) {
    ActivityTimeline timeline;
    timeline.spans = {{TimelineSpanKind::Activity, 5'000, 8'000},
                      {TimelineSpanKind::Gap, 10'000, 12'000},
                      {TimelineSpanKind::Activity, 15'000, 17'000}};
    struct Case {
        int64_t positionMs;
        std::optional<int64_t> next, previous;
    } cases[] = {
        {0, 5'000, std::nullopt},
        {5'200, 15'000, std::nullopt},  // just after a jump to 5 s: on to the next, back to none
        {9'000, 15'000, 5'000},
        {15'200, std::nullopt, 5'000},
        {20'000, std::nullopt, 15'000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextActivityStart(timeline, c.positionMs), c.next) << c.positionMs;
        EXPECT_EQ(PreviousActivityStart(timeline, c.positionMs), c.previous) << c.positionMs;
    }
    EXPECT_EQ(StripXForMs(15'000, 30'000, 600), 300);
    EXPECT_EQ(StripXForMs(40'000, 30'000, 600), 600);
    EXPECT_EQ(StripMsForX(150, 30'000, 600), 7'500);
    EXPECT_EQ(StripXForMs(1'000, 0, 600), 0);
}

}  // namespace
