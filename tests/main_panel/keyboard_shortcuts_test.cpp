// The player's keys drive the main panel the way its buttons do, from whichever pane gets the key
// and from the full-screen video pane, and leave it alone while a menu or another modal window has
// the keyboard.

#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "engine/audio/master_volume.h"
#include "panels/command_ids.h"
#include "shell/activity_strip.h"
#include "shell/key_shortcuts.h"
#include "shell/main_dlg_rules.h"
#include "tests/main_panel/main_panel_test_support.h"
#include "tests/support/fixtures.h"

using namespace main_panel_test;

namespace {

void Press(QWidget& receiver, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           bool autoRepeat = false) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    QCoreApplication::sendEvent(&receiver, &press);
    PumpFor(30);
}

size_t JpegCount(const std::string& folder) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) count += entry.path().extension() == ".jpg";
    return count;
}

struct VolumeCase {
    uint32_t volume;
    int steps;
    uint32_t stepped;
};

struct SeekCase {
    int64_t positionMs;
    int64_t durationMs;
    int64_t deltaMs;
    int64_t targetMs;
};

TEST(KeyRules, VolumeStepsStayWithinTheRange) {
    const VolumeCase cases[] = {
        {0, 1, 4096}, {30000, -2, 30000 - 8192}, {65000, 1, 65535}, {65535, 1, 65535}, {4000, -1, 0}, {0, -1, 0},
    };
    for (const VolumeCase& c : cases)
        EXPECT_EQ(main_panel::SteppedVolume(c.volume, c.steps), c.stepped) << c.volume << " " << c.steps;
}

TEST(KeyRules, RelativeSeekStaysWithinTheFile) {
    const SeekCase cases[] = {
        {20000, 60000, 10000, 30000},
        {20000, 60000, -10000, 10000},
        {4000, 60000, -10000, 0},
        {55000, 60000, 10000, 60000},
        // An unknown duration bounds nothing: a forward key must not jump back to the start.
        {4000, 0, 10000, 14000},
    };
    for (const SeekCase& c : cases)
        EXPECT_EQ(main_panel::RelativeSeekTarget(c.positionMs, c.durationMs, c.deltaMs), c.targetMs)
            << c.positionMs << " of " << c.durationMs << " by " << c.deltaMs;
}

struct LookupCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    bool autoRepeat;
    KeyAction action;  // meaningful when found
    int argument;
    bool found;
};

TEST(KeyRules, KeysAreFoundWithTheirModifiersAndRepeats) {
    const LookupCase cases[] = {
        {"space", Qt::Key_Space, Qt::NoModifier, false, KeyAction::Command, ID_PLAY_PAUSE, true},
        {"held space", Qt::Key_Space, Qt::NoModifier, true, KeyAction::Command, 0, false},
        {"Alt+Space is the system menu's", Qt::Key_Space, Qt::AltModifier, false, KeyAction::Command, 0, false},
        {"Right", Qt::Key_Right, Qt::NoModifier, false, KeyAction::Command, ID_FRAME_STEP, true},
        {"held Right", Qt::Key_Right, Qt::NoModifier, true, KeyAction::Command, ID_FRAME_STEP, true},
        {"Ctrl+Right", Qt::Key_Right, Qt::ControlModifier, false, KeyAction::SeekBy, 10000, true},
        {"Ctrl+Left", Qt::Key_Left, Qt::ControlModifier, true, KeyAction::SeekBy, -10000, true},
        {"Left alone", Qt::Key_Left, Qt::NoModifier, false, KeyAction::Command, 0, false},
        {"Shift+F", Qt::Key_F, Qt::ShiftModifier, false, KeyAction::Command, ID_TOGGLE_FULL_SCREEN, true},
        {"Ctrl+M", Qt::Key_M, Qt::ControlModifier, false, KeyAction::Command, 0, false},
        {"held Up", Qt::Key_Up, Qt::NoModifier, true, KeyAction::StepVolume, 1, true},
        {"keypad Down", Qt::Key_Down, Qt::KeypadModifier, false, KeyAction::StepVolume, -1, true},
        {"Esc is the video pane's", Qt::Key_Escape, Qt::NoModifier, false, KeyAction::Command, 0, false},
        {"o", Qt::Key_O, Qt::NoModifier, false, KeyAction::Command, ID_OPEN_FILE, true},
        {"a", Qt::Key_A, Qt::NoModifier, false, KeyAction::Command, 0, false},
        {"b", Qt::Key_B, Qt::NoModifier, false, KeyAction::ClipMark, 0, true},
        {"held e", Qt::Key_E, Qt::NoModifier, true, KeyAction::ClipMark, 0, false},
        {"e", Qt::Key_E, Qt::NoModifier, false, KeyAction::ClipMark, 1, true},
        {"Ctrl+E", Qt::Key_E, Qt::ControlModifier, false, KeyAction::ExportClip, 0, true},
        {"Ctrl+B", Qt::Key_B, Qt::ControlModifier, false, KeyAction::Command, 0, false},
        {"u", Qt::Key_U, Qt::NoModifier, false, KeyAction::ClockZone, 0, true},
    };
    for (const LookupCase& c : cases) {
        const KeyShortcut* shortcut = FindKeyShortcut(c.key, c.modifiers, c.autoRepeat);
        ASSERT_EQ(shortcut != nullptr, c.found) << c.name;
        if (!shortcut) continue;
        EXPECT_EQ(shortcut->action, c.action) << c.name;
        EXPECT_EQ(shortcut->argument, c.argument) << c.name;
    }
}

TEST(Keyboard, SpeedKeysWorkFromEveryPane) {
    TestPanel panel;
    QWidget* receivers[] = {&panel.m_wndCtrl.m_btnPlay, &panel.m_wndList, &panel.m_wndStatus, &panel.m_wndPlay, &panel};
    for (QWidget* receiver : receivers) {
        panel.m_nSpeed = 0;
        Press(*receiver, Qt::Key_BracketRight);
        EXPECT_EQ(panel.m_nSpeed, 3) << receiver->metaObject()->className();
        Press(*receiver, Qt::Key_BracketLeft);
        EXPECT_EQ(panel.m_nSpeed, 2) << receiver->metaObject()->className();
    }
}

TEST(Keyboard, VolumeKeysMoveTheSliderAndTheMasterVolumeAndEndAMute) {
    TestPanel panel;
    ASSERT_TRUE(panel.m_wndCtrl.SetVolume(30000));
    Press(panel.m_wndList, Qt::Key_Up);
    EXPECT_EQ(panel.m_wndCtrl.GetVolume(), 30000u + main_panel::kVolumeStep);
    Press(panel.m_wndList, Qt::Key_Down, Qt::NoModifier, true);
    Press(panel.m_wndList, Qt::Key_Down, Qt::NoModifier, true);
    EXPECT_EQ(panel.m_wndCtrl.GetVolume(), 30000u - main_panel::kVolumeStep);
    if (HaveSoundServer()) {
        EXPECT_NEAR(GetMasterVolume(), 30000u - main_panel::kVolumeStep, 2u);
    }

    Press(panel.m_wndList, Qt::Key_M);
    EXPECT_EQ(panel.m_wndCtrl.GetVolume(), 0u);
    EXPECT_EQ(panel.m_wndCtrl.m_btnVolume.m_nImage, 1);
    Press(panel.m_wndList, Qt::Key_Up);
    EXPECT_EQ(panel.m_wndCtrl.GetVolume(), main_panel::kVolumeStep);
    EXPECT_EQ(panel.m_wndCtrl.m_btnVolume.m_nImage, 0);
}

TEST(Keyboard, NoKeyActsWhileAMenuOrADialogHasTheKeyboard) {
    TestPanel panel;
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    menu.popup(QPoint(200, 200));
    ASSERT_TRUE(PumpUntil([] { return QApplication::activePopupWidget() != nullptr; }));
    Press(panel.m_wndList, Qt::Key_BracketRight);
    EXPECT_EQ(panel.m_nSpeed, 0) << "menu open";
    menu.close();

    QWidget dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    ASSERT_TRUE(PumpUntil([] { return QApplication::activeModalWidget() != nullptr; }));
    Press(dialog, Qt::Key_BracketRight);
    Press(panel.m_wndList, Qt::Key_BracketRight);
    EXPECT_EQ(panel.m_nSpeed, 0) << "dialog open";
    dialog.close();
    PumpFor(30);
    Press(panel.m_wndList, Qt::Key_BracketRight);
    EXPECT_EQ(panel.m_nSpeed, 3) << "dialog closed";
}

TEST(Keyboard, KeysOfOtherWindowsAreLeftAloneAndAGonePanelStopsListening) {
    QWidget other;
    other.show();
    {
        TestPanel panel;
        Press(other, Qt::Key_BracketRight);
        EXPECT_EQ(panel.m_nSpeed, 0);
    }
    // The filter went with the panel: a key now reaches nothing that is freed.
    Press(other, Qt::Key_Space);
}

// A clip long enough for ten-second seeks both ways, in its own folder.
class KeyboardPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixtures::ClipOptions options;
        options.seconds = 24.0;
        options.framesPerSecond = 10;
        m_clip = QString::fromStdString(fixtures::MakeClip(m_dir, "clip", options));
        ASSERT_FALSE(m_clip.isEmpty());
    }

    uint32_t Position(TestPanel& panel) { return panel.m_wndCtrl.m_sliderSeek.GetPos(); }

    fixtures::TempDir m_dir;
    QString m_clip;
};

TEST_F(KeyboardPlaybackTest, SpaceSeeksAndSnapshotKeysActOnThePlayingFile) {
    TestPanel panel;
    panel.Drop(m_clip);
    ASSERT_TRUE(PumpUntil([&] { return Position(panel) > 300; }));

    Press(panel.m_wndStatus, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_TRUE(PumpUntil([&] { return Position(panel) >= 10000; }, 5000)) << Position(panel);
    Press(panel.m_wndStatus, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_TRUE(PumpUntil([&] { return Position(panel) < 8000; }, 5000)) << Position(panel);

    Press(panel.m_wndStatus, Qt::Key_S);
    EXPECT_EQ(JpegCount(m_dir.Path()), 1u);

    Press(panel.m_wndCtrl.m_btnStop, Qt::Key_Space);
    ASSERT_FALSE(panel.m_pPlayer->IsPlaying());
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 0);
    // Paused: the seek lands and the session stays paused; the snapshot takes the paused picture.
    const uint32_t paused = Position(panel);
    Press(panel.m_wndStatus, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_TRUE(PumpUntil([&] { return Position(panel) >= paused + 9000; }, 5000)) << Position(panel);
    EXPECT_FALSE(panel.m_pPlayer->IsPlaying());
    Press(panel.m_wndStatus, Qt::Key_S);
    EXPECT_EQ(JpegCount(m_dir.Path()), 2u);

    Press(panel.m_wndCtrl.m_btnStop, Qt::Key_Space);
    EXPECT_TRUE(panel.m_pPlayer->IsPlaying());
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 1);
}

TEST_F(KeyboardPlaybackTest, FullScreenKeysWorkInsideTheFullScreenVideoPane) {
    TestPanel panel;
    panel.Drop(m_clip);
    ASSERT_TRUE(PumpUntil([&] { return Position(panel) > 300; }));

    Press(panel.m_wndList, Qt::Key_F);
    ASSERT_TRUE(PumpUntil([&] { return panel.m_wndPlay.m_bFullScreen == 1; }));
    ASSERT_EQ(panel.m_wndPlay.window(), &panel.m_wndPlay);
    Press(panel.m_wndPlay, Qt::Key_BracketRight);
    EXPECT_EQ(panel.m_nSpeed, 3);
    Press(panel.m_wndPlay, Qt::Key_F);
    EXPECT_TRUE(PumpUntil([&] { return panel.m_wndPlay.m_bFullScreen == 0; }));

    Press(panel.m_wndList, Qt::Key_F);
    ASSERT_TRUE(PumpUntil([&] { return panel.m_wndPlay.m_bFullScreen == 1; }));
    Press(panel.m_wndPlay, Qt::Key_Escape);
    EXPECT_TRUE(PumpUntil([&] { return panel.m_wndPlay.m_bFullScreen == 0; }));
}

// B and E mark a clip where the picture is, the strip shows it, and Ctrl+E hands the playing file
// and the clip to the converter after the language.
TEST_F(KeyboardPlaybackTest, ClipKeysMarkAClipAndHandItToTheConverter) {
    fixtures::TempDir tools;
    std::filesystem::copy_file(std::string(TELVANE_BINARY_DIR) + "/bin/argv_recorder", tools.File("Kadrel"));
    TestPanel panel;
    panel.Drop(m_clip);
    ASSERT_TRUE(PumpUntil([&] { return Position(panel) > 300; }));
    Press(panel.m_wndList, Qt::Key_B);
    ASSERT_TRUE(panel.Marks().startMs.has_value());
    const int64_t startMs = *panel.Marks().startMs;
    Press(panel.m_wndStatus, Qt::Key_Right, Qt::ControlModifier);
    ASSERT_TRUE(PumpUntil([&] { return Position(panel) >= startMs + 9000; }, 5000)) << Position(panel);
    Press(panel.m_wndStatus, Qt::Key_E);
    ASSERT_TRUE(panel.Marks().endMs.has_value());
    const int64_t endMs = *panel.Marks().endMs;
    EXPECT_GE(endMs, startMs + 9000);
    EXPECT_EQ(panel.m_pActivityStrip->Marks().startMs, startMs);
    EXPECT_EQ(panel.m_pActivityStrip->Marks().endMs, endMs);

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(tools.Path())));
    Press(panel.m_wndStatus, Qt::Key_E, Qt::ControlModifier);
    const bool started = PumpUntil([&] { return std::filesystem::exists(tools.File("argv.txt")); }, 10000);
    QDir::setCurrent(previous);
    ASSERT_TRUE(started);
    std::ifstream in(tools.File("argv.txt"));
    std::vector<std::string> argv;
    for (std::string line; std::getline(in, line);) argv.push_back(line);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(argv, (std::vector<std::string>{self, "1033", m_clip.toStdString(), "--from", std::to_string(startMs),
                                              "--to", std::to_string(endMs)}));
}

TEST_F(KeyboardPlaybackTest, OpenKeyPlaysTheChosenFile) {
    TestPanel panel;
    AnswerOpenDialogWith(m_clip);
    Press(panel.m_wndPlay, Qt::Key_O);
    AnswerOpenDialogWith(QString());
    EXPECT_EQ(panel.m_strCurFile, m_clip);
    EXPECT_EQ(panel.m_nSource, CMainDlg::kSourceOpenButton);
    ASSERT_NE(panel.m_pPlayer, nullptr);
    EXPECT_TRUE(panel.m_pPlayer->IsPlaying());
}

}  // namespace
