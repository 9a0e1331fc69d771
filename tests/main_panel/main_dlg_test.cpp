// The main panel as the panes drive it: its layouts, the command hub's actions on real sessions
// playing short clips, the position slider, snapshots and the converter's start.

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QImage>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "engine/audio/master_volume.h"
#include "panels/command_ids.h"
#include "shell/main_dlg_rules.h"
#include "tests/main_panel/main_panel_test_support.h"
#include "tests/support/fixtures.h"

using namespace main_panel_test;
using platform::Rect;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A clip of a few seconds with pictures and sound, in its own folder.
class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixtures::ClipOptions options;
        options.seconds = 3.0;
        m_clip = Q(fixtures::MakeClip(m_dir, "clip", options));
        ASSERT_FALSE(m_clip.isEmpty());
        m_folder = Q(m_dir.Path()) + QLatin1Char('/');
    }

    // Waits until the session has shown pictures for a while: the position has moved.
    bool WaitUntilPlaying(TestPanel& panel) {
        return PumpUntil([&] { return panel.m_wndCtrl.m_sliderSeek.GetPos() > 300; });
    }

    fixtures::TempDir m_dir;
    QString m_clip;
    QString m_folder;
};

// The snapshot names the clock may have given between two moments.
std::set<std::string> NamesBetween(std::time_t first, std::time_t last) {
    std::set<std::string> names;
    for (std::time_t t = first; t <= last; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        names.insert(main_panel::SnapshotFileName(local).toStdString());
    }
    return names;
}

std::vector<std::string> JpegsIn(const QString& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.toStdString())) {
        if (entry.path().extension() == ".jpg") names.push_back(entry.path().filename().string());
    }
    return names;
}

}  // namespace

TEST(MainPanelLayout, PlaylistButtonHidesAndRestoresThePlaylistColumn) {
    TestPanel panel;
    Rect client;
    panel.GetClientRect(&client);
    const Rect withList{client.right - 245, 0, client.right, client.bottom};
    EXPECT_EQ(panel.m_rcList, withList);
    EXPECT_EQ(panel.m_rcPlay, (Rect{0, 39, client.right - 245, client.bottom - 80}));

    panel.CommandVia(panel.m_wndCtrl, ID_TOGGLE_PLAYLIST);
    EXPECT_EQ(panel.m_nLayout, 2);
    EXPECT_EQ(panel.m_rcList, Rect{});
    EXPECT_EQ(panel.m_rcPlay, (Rect{0, 39, client.right, client.bottom - 80}));
    EXPECT_EQ(panel.m_wndPlay.width(), client.right);
    EXPECT_EQ(panel.m_wndCtrl.width(), client.right);
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlaylist.m_nImage, 1);
    // The pane stays shown, at zero size.
    EXPECT_TRUE(panel.m_wndList.IsWindowVisible() || panel.m_wndList.width() == 0);

    panel.CommandVia(panel.m_wndCtrl, ID_TOGGLE_PLAYLIST);
    EXPECT_EQ(panel.m_nLayout, 1);
    EXPECT_EQ(panel.m_rcList, withList);
    EXPECT_EQ(panel.m_wndList.width(), 245);
    EXPECT_EQ(panel.m_wndStatus.width(), client.right - 246);
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlaylist.m_nImage, 0);
}

TEST(MainPanelLayout, PanesFollowTheSizeOfThePanel) {
    TestPanel panel;
    panel.MoveWindow(Rect{0, 0, 1200, 700}, platform::TRUE);
    PumpFor(30);
    EXPECT_EQ(panel.m_rcList, (Rect{955, 0, 1200, 700}));
    EXPECT_EQ(panel.m_wndPlay.geometry(), QRect(0, 39, 955, 581));
}

TEST(MainPanelCommands, WithoutAFileTheTransportButtonsDoNothing) {
    TestPanel panel;
    for (platform::WParam id : {ID_PLAY_PAUSE, ID_FRAME_STEP, ID_SEEK, ID_SNAPSHOT, ID_TOGGLE_FULL_SCREEN})
        panel.Command(id);
    ASSERT_NE(panel.m_pPlayer, nullptr);
    EXPECT_FALSE(panel.m_pPlayer->IsOpened());
    EXPECT_TRUE(panel.m_strCurFile.isEmpty());
    EXPECT_EQ(panel.m_wndPlay.m_bFullScreen, 0);
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 0);
}

TEST(MainPanelCommands, SpeedCodesAdvanceWithoutAFileButReachTheStatusBarOnlyWithOne) {
    TestPanel panel;
    panel.Command(ID_SLOWER);
    EXPECT_EQ(panel.m_nSpeed, 2);
    EXPECT_TRUE(panel.m_wndStatus.m_strText.isEmpty());
    EXPECT_EQ(panel.m_wndStatus.m_nSpeed, 0);
    panel.Command(ID_FASTER);
    EXPECT_EQ(panel.m_nSpeed, 3);
}

TEST_F(PanelTest, ADroppedFilePlaysAndPauseResumeStopAndReplayFollow) {
    TestPanel panel;
    panel.Drop(m_clip);
    ASSERT_NE(panel.m_pPlayer, nullptr);
    EXPECT_TRUE(panel.m_pPlayer->IsOpened());
    EXPECT_TRUE(panel.m_pPlayer->IsPlaying());
    EXPECT_EQ(panel.m_strCurFile, m_clip);
    EXPECT_EQ(panel.m_nSource, CMainDlg::kSourceDropped);
    EXPECT_EQ(panel.m_wndStatus.m_strText, m_clip);
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 1);  // pause look
    EXPECT_EQ(panel.m_wndPlay.m_bFullScreenAllowed, 1);

    panel.Command(ID_PLAY_PAUSE);
    EXPECT_FALSE(panel.m_pPlayer->IsPlaying());
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 0);
    panel.Command(ID_PLAY_PAUSE);
    EXPECT_TRUE(panel.m_pPlayer->IsPlaying());
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 1);

    panel.Command(ID_STOP);
    EXPECT_EQ(panel.m_pPlayer, nullptr);
    EXPECT_TRUE(panel.m_wndStatus.m_strText.isEmpty());
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 0);
    EXPECT_EQ(panel.m_wndPlay.m_bFullScreenAllowed, 0);
    EXPECT_EQ(panel.m_strCurFile, m_clip);

    // Play after a stop opens the same file again, from the same source.
    panel.Command(ID_PLAY_PAUSE);
    ASSERT_NE(panel.m_pPlayer, nullptr);
    EXPECT_TRUE(panel.m_pPlayer->IsPlaying());
    EXPECT_EQ(panel.m_nSource, CMainDlg::kSourceDropped);
    EXPECT_EQ(panel.m_wndStatus.m_strText, m_clip);
}

TEST_F(PanelTest, AFileDroppedOnTheVideoPaneIsPlayed) {
    TestPanel panel;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(m_clip)});
    const QPoint middle(panel.m_wndPlay.width() / 2, panel.m_wndPlay.height() / 2);
    QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&panel.m_wndPlay, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&panel.m_wndPlay, &drop);
    EXPECT_TRUE(PumpUntil([&] { return panel.m_pPlayer && panel.m_pPlayer->IsPlaying(); }));
    EXPECT_EQ(panel.m_strCurFile, m_clip);
    EXPECT_EQ(panel.m_nSource, CMainDlg::kSourceDropped);
}

// Opened while another file plays: the old file's name, length and pause look go, the user is told
// which file failed and why, and play has nothing to replay.
TEST_F(PanelTest, AFileThatDoesNotOpenSaysWhichAndWhyAndResetsTheControls) {
    const QString notAVideo = m_folder + QStringLiteral("notes.mp4");
    std::ofstream(notAVideo.toStdString()) << "not a video\n";
    const QString empty = m_folder + QStringLiteral("empty.mp4");
    std::ofstream(empty.toStdString()).flush();
    for (const QString& broken : {notAVideo, empty, m_folder + QStringLiteral("missing.mp4")}) {
        TestPanel panel;
        panel.Drop(m_clip);
        ASSERT_TRUE(WaitUntilPlaying(panel));
        ShownMessages().clear();
        panel.Drop(broken);
        ASSERT_EQ(ShownMessages().size(), 1u) << broken.toStdString();
        EXPECT_TRUE(ShownMessages()[0].contains(broken)) << ShownMessages()[0].toStdString();
        EXPECT_GT(ShownMessages()[0].size(), broken.size() + 4) << "a reason follows the name";
        EXPECT_TRUE(panel.m_wndStatus.m_strText.isEmpty());
        EXPECT_EQ(panel.m_wndPlay.m_bFullScreenAllowed, 0);
        EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 0);
        EXPECT_EQ(panel.m_wndCtrl.m_sliderSeek.m_nMax.load(), 0u) << "the old length goes";
        EXPECT_EQ(panel.m_wndCtrl.m_sliderSeek.GetPos(), 0u);
        panel.Command(ID_PLAY_PAUSE);
        EXPECT_TRUE(panel.m_pPlayer == nullptr || !panel.m_pPlayer->IsOpened());
    }
}

TEST_F(PanelTest, SpeedReachesTheSessionAndStatusBarAndOutlivesTheFile) {
    TestPanel panel;
    panel.Drop(m_clip);
    panel.Command(ID_SLOWER);
    EXPECT_EQ(panel.m_wndStatus.m_nSpeed, 2);
    EXPECT_EQ(panel.m_wndStatus.m_wndText.GetWindowText(), QStringLiteral("X0.5    ") + m_clip);
    panel.Command(ID_STOP);
    panel.Command(ID_PLAY_PAUSE);
    // The new session starts at normal speed; the panel's code goes on from where it was.
    panel.Command(ID_SLOWER);
    EXPECT_EQ(panel.m_nSpeed, 1);
    EXPECT_EQ(panel.m_wndStatus.m_wndText.GetWindowText(), QStringLiteral("X0.25     ") + m_clip);
}

// A frame step returns the session to normal speed; the panel's speed code and the status bar's
// mark follow it, and the next press goes on from normal.
TEST_F(PanelTest, AFrameStepEndsTheSpeedMarkAndTheNextPressStartsFromNormal) {
    const struct {
        std::vector<platform::WParam> commands;
        int speed;
        const char* mark;
    } cases[] = {
        {{ID_FASTER, ID_FRAME_STEP}, 0, ""},
        {{ID_FASTER, ID_FRAME_STEP, ID_FASTER}, 3, "X2    "},
        {{ID_SLOWER, ID_SLOWER, ID_FRAME_STEP, ID_SLOWER}, 2, "X0.5    "},
        {{ID_FASTER, ID_FASTER, ID_FRAME_STEP, ID_PLAY_PAUSE, ID_SLOWER}, 2, "X0.5    "},
    };
    TestPanel panel;
    for (const auto& c : cases) {
        panel.Drop(m_clip);
        panel.m_nSpeed = 0;
        ASSERT_TRUE(WaitUntilPlaying(panel));
        for (platform::WParam command : c.commands) panel.Command(command);
        EXPECT_EQ(panel.m_nSpeed, c.speed) << c.commands.size() << " commands";
        EXPECT_EQ(panel.m_wndStatus.m_nSpeed, c.speed);
        EXPECT_EQ(panel.m_wndStatus.m_wndText.GetWindowText(), QString::fromLatin1(c.mark) + m_clip);
    }
}

TEST_F(PanelTest, PositionSliderFollowsThePlayingFileAndReturnsToZeroAfterStop) {
    TestPanel panel;
    panel.Drop(m_clip);
    ASSERT_TRUE(WaitUntilPlaying(panel));
    const uint32_t range = panel.m_wndCtrl.m_sliderSeek.m_nMax;
    EXPECT_GE(range, 2900u);
    EXPECT_LE(range, 3200u);
    const uint32_t before = panel.m_wndCtrl.m_sliderSeek.GetPos();
    EXPECT_TRUE(PumpUntil([&] { return panel.m_wndCtrl.m_sliderSeek.GetPos() > before; }));

    panel.Command(ID_STOP);
    EXPECT_TRUE(PumpUntil([&] { return panel.m_wndCtrl.m_sliderSeek.GetPos() == 0; }));
}

// Paused, the seek lands and the session stays paused there.
TEST_F(PanelTest, SeekIsTakenWhilePlayingAndWhilePaused) {
    TestPanel panel;
    panel.Drop(m_clip);
    ASSERT_TRUE(WaitUntilPlaying(panel));
    panel.Command(ID_PLAY_PAUSE);
    const uint32_t paused = panel.m_wndCtrl.m_sliderSeek.GetPos();
    ASSERT_LT(paused, 1500u);
    panel.m_wndCtrl.m_sliderSeek.SetPos(2000);
    panel.Command(ID_SEEK);
    EXPECT_TRUE(PumpUntil([&] { return panel.m_pPlayer->GetPosition() >= 1900; }, 5000))
        << "paused at " << paused << ", now at " << panel.m_pPlayer->GetPosition();
    EXPECT_FALSE(panel.m_pPlayer->IsPlaying());
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 0);
    // A seek is refused until the one before has shown its picture: asked again until taken.
    EXPECT_TRUE(PumpUntil([&] {
        if (panel.m_pPlayer->GetPosition() < 1000) return true;
        panel.m_wndCtrl.m_sliderSeek.SetPos(300);
        panel.Command(ID_SEEK);
        return false;
    }, 5000));
    EXPECT_FALSE(panel.m_pPlayer->IsPlaying());

    panel.Command(ID_PLAY_PAUSE);
    panel.m_wndCtrl.m_sliderSeek.SetPos(2500);
    panel.Command(ID_SEEK);
    EXPECT_TRUE(PumpUntil([&] { return panel.m_wndCtrl.m_sliderSeek.GetPos() >= 2400; }, 3000));
}

TEST_F(PanelTest, EndOfFileDiscardsTheSessionAndResetsTheControls) {
    TestPanel panel;
    panel.Drop(m_clip);
    EXPECT_TRUE(PumpUntil([&] { return panel.m_pPlayer == nullptr; }));
    EXPECT_TRUE(panel.m_wndStatus.m_strText.isEmpty());
    EXPECT_EQ(panel.m_wndCtrl.m_btnPlay.m_nImage, 0);
    EXPECT_EQ(panel.m_wndPlay.m_bFullScreenAllowed, 0);
    // Both decoder threads may report the end: the second report finds no session.
    panel.Command(ID_END_OF_FILE);
    EXPECT_EQ(panel.m_pPlayer, nullptr);
    // The file can be played again.
    panel.Command(ID_PLAY_PAUSE);
    ASSERT_NE(panel.m_pPlayer, nullptr);
    EXPECT_TRUE(panel.m_pPlayer->IsPlaying());
}

TEST_F(PanelTest, AnEndOfFileFromAReplacedSessionDoesNotEndTheOneThatReplacedIt) {
    TestPanel panel;
    panel.Drop(m_clip);
    ASSERT_NE(panel.m_pPlayer, nullptr);
    // The session reports its end just as another file is being opened.
    ASSERT_TRUE(platform::PostMessage(panel.m_pNotifier->GetSafeHwnd(), platform::WM_COMMAND, ID_END_OF_FILE, 0));
    platform::Message open{platform::WM_COMMAND, ID_PLAY_DROPPED_FILE, 0};
    panel.PreTranslateMessage(open);
    PumpFor(300);
    ASSERT_NE(panel.m_pPlayer, nullptr);
    EXPECT_TRUE(panel.m_pPlayer->IsPlaying());
    EXPECT_EQ(panel.m_wndStatus.m_strText, m_clip);

    // The new session's own end is still taken.
    ASSERT_TRUE(platform::PostMessage(panel.m_pNotifier->GetSafeHwnd(), platform::WM_COMMAND, ID_END_OF_FILE, 0));
    PumpFor(100);
    EXPECT_EQ(panel.m_pPlayer, nullptr);
}

TEST_F(PanelTest, SnapshotOfADroppedFileGoesToItsFolderUnderTheTimeOfDay) {
    TestPanel panel;
    panel.Drop(m_clip);
    ASSERT_TRUE(WaitUntilPlaying(panel));
    const std::time_t before = std::time(nullptr);
    panel.Command(ID_SNAPSHOT);
    const std::time_t after = std::time(nullptr);
    const std::vector<std::string> jpegs = JpegsIn(m_folder);
    ASSERT_EQ(jpegs.size(), 1u);
    EXPECT_TRUE(NamesBetween(before, after).count(jpegs[0])) << jpegs[0];
    const QImage picture(m_folder + Q(jpegs[0]));
    EXPECT_EQ(picture.size(), QSize(160, 120));
}

TEST_F(PanelTest, SnapshotOfAFileFromTheOpenButtonGoesToThatFilesFolder) {
    fixtures::TempDir other;
    const QString otherFolder = Q(other.Path()) + QLatin1Char('/');
    const QString clip = otherFolder + QStringLiteral("b.mp4");
    ASSERT_TRUE(QFile::copy(m_clip, clip));
    TestPanel panel;
    AnswerOpenDialogWith(clip);
    panel.CommandVia(panel.m_wndCtrl, ID_OPEN_FILE);
    AnswerOpenDialogWith(QString());
    EXPECT_EQ(panel.m_nSource, CMainDlg::kSourceOpenButton);
    EXPECT_EQ(panel.m_strCurFile, clip);
    ASSERT_TRUE(WaitUntilPlaying(panel));
    panel.Command(ID_SNAPSHOT);
    EXPECT_EQ(JpegsIn(otherFolder).size(), 1u);
    EXPECT_TRUE(JpegsIn(m_folder).empty());
}

// Paused, the picture shown is taken; snapshots within one second keep their own files, and the
// status bar names the last one for a moment.
TEST_F(PanelTest, SnapshotsWhilePausedInOneSecondEachKeepAFileAndTheStatusBarNamesIt) {
    TestPanel panel;
    panel.Drop(m_clip);
    ASSERT_TRUE(WaitUntilPlaying(panel));
    panel.Command(ID_PLAY_PAUSE);
    // Three presses within one second of the clock, however slow the machine.
    std::time_t second = 0;
    do {
        for (const std::string& jpeg : JpegsIn(m_folder)) std::filesystem::remove(m_folder.toStdString() + jpeg);
        second = std::time(nullptr);
        for (int press = 0; press < 3; ++press) panel.Command(ID_SNAPSHOT);
    } while (std::time(nullptr) != second);
    std::tm local{};
    localtime_r(&second, &local);
    const std::string first = main_panel::SnapshotFileName(local).toStdString();
    const std::string stem = first.substr(0, first.size() - 4);
    const std::vector<std::string> jpegs = JpegsIn(m_folder);
    EXPECT_EQ(std::set<std::string>(jpegs.begin(), jpegs.end()),
              (std::set<std::string>{first, stem + "_2.jpg", stem + "_3.jpg"}));
    const QString shown = panel.m_wndStatus.m_wndText.GetWindowText();
    EXPECT_TRUE(shown.endsWith(m_folder + Q(stem) + QStringLiteral("_3.jpg"))) << shown.toStdString();
    // The notice gives way to the file's path again.
    EXPECT_TRUE(PumpUntil([&] { return panel.m_wndStatus.m_wndText.GetWindowText() == m_clip; }, 10000));
}

TEST_F(PanelTest, NoSnapshotForAPlaylistWithoutAFolder) {
    TestPanel panel;

    // A file played from the playlist takes the scanned folder, and there is none.
    panel.m_wndList.m_strFolder = m_folder;
    panel.m_wndList.m_strName = QStringLiteral("clip.mp4");
    panel.Command(ID_PLAYLIST_PLAY);
    EXPECT_EQ(panel.m_nSource, CMainDlg::kSourcePlaylist);
    ASSERT_TRUE(WaitUntilPlaying(panel));
    panel.m_wndList.m_strFolder.clear();
    panel.Command(ID_SNAPSHOT);
    EXPECT_TRUE(JpegsIn(m_folder).empty());
}

TEST(MainPanelVolume, MuteSavesTheVolumeAndRestoresIt) {
    TestPanel panel;
    ASSERT_TRUE(panel.m_wndCtrl.SetVolume(30000));
    panel.CommandVia(panel.m_wndCtrl, ID_MUTE);
    EXPECT_EQ(panel.m_wndCtrl.GetVolume(), 0u);
    EXPECT_EQ(panel.m_nSavedVolume, 30000);
    EXPECT_EQ(panel.m_wndCtrl.m_btnVolume.m_nImage, 1);
    if (HaveSoundServer()) {
        EXPECT_EQ(GetMasterVolume(), 0u);
    }

    panel.CommandVia(panel.m_wndCtrl, ID_MUTE);
    EXPECT_EQ(panel.m_wndCtrl.GetVolume(), 30000u);
    EXPECT_EQ(panel.m_wndCtrl.m_btnVolume.m_nImage, 0);
    if (HaveSoundServer()) {
        EXPECT_NEAR(GetMasterVolume(), 30000u, 2u);
    }
}

// A volume set while muted ends the mute: the button shows sound on, and the next mute saves the
// new volume rather than bringing back the one from before.
TEST(MainPanelVolume, AVolumeSetWhileMutedEndsTheMuteAndIsTheOneTheNextMuteSaves) {
    enum Step { kMute, kSlider20000, kVolumeUp };
    const struct {
        std::vector<Step> steps;
        int image;
        uint32_t volume;
    } cases[] = {
        {{kMute, kSlider20000}, 0, 20000},
        {{kMute, kSlider20000, kMute}, 1, 0},
        {{kMute, kSlider20000, kMute, kMute}, 0, 20000},
        {{kMute, kVolumeUp, kMute, kMute}, 0, main_panel::kVolumeStep},
    };
    for (const auto& c : cases) {
        TestPanel panel;
        ASSERT_TRUE(panel.m_wndCtrl.SetVolume(30000));
        for (Step step : c.steps) {
            if (step == kMute) panel.CommandVia(panel.m_wndCtrl, ID_MUTE);
            if (step == kVolumeUp) panel.StepVolume(1);
            if (step != kSlider20000) continue;
            ASSERT_TRUE(panel.m_wndCtrl.SetVolume(20000));
            panel.CommandVia(panel.m_wndCtrl, ID_VOLUME);
        }
        EXPECT_EQ(panel.m_wndCtrl.m_btnVolume.m_nImage, c.image) << c.steps.size() << " steps";
        EXPECT_EQ(panel.m_wndCtrl.GetVolume(), c.volume) << c.steps.size() << " steps";
        if (HaveSoundServer()) {
            EXPECT_NEAR(GetMasterVolume(), c.volume, 2u);
        }
    }
}

TEST(MainPanelVolume, VolumeSliderSetsTheMasterVolume) {
    if (!HaveSoundServer()) GTEST_SKIP() << "no sound server";
    TestPanel panel;
    ASSERT_TRUE(panel.m_wndCtrl.SetVolume(20000));
    panel.CommandVia(panel.m_wndCtrl, ID_VOLUME);
    EXPECT_NEAR(GetMasterVolume(), 20000u, 2u);
}

TEST(MainPanelConverter, StartsTheConverterFromTheCurrentFolderWithThePlayersPathAndLanguage) {
    fixtures::TempDir dir;
    const std::string recorder = std::string(TELVANE_BINARY_DIR) + "/bin/argv_recorder";
    std::filesystem::copy_file(recorder, dir.File("Kadrel"));
    const QString previous = QDir::currentPath();
    TestPanel panel;
    ASSERT_TRUE(QDir::setCurrent(Q(dir.Path())));
    panel.CommandVia(panel.m_wndCtrl, ID_CONVERT);
    const bool started = PumpUntil([&] { return std::filesystem::exists(dir.File("argv.txt")); }, 10000);
    QDir::setCurrent(previous);
    ASSERT_TRUE(started);

    std::ifstream in(dir.File("argv.txt"));
    std::vector<std::string> argv;
    for (std::string line; std::getline(in, line);) argv.push_back(line);
    // This test program's own name holds no "Quillon", so the path stays as it is.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(argv, (std::vector<std::string>{self, "1033"}));
}

// Whether this process has a child, ended or not. Run as a subreaper, a program started detached
// through an intermediate child becomes our child too.
bool HasAnyChild() {
    siginfo_t info{};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

TEST(MainPanelConverter, AMissingConverterIsNotReportedAndThePlayerNeverStartsItself) {
    fixtures::TempDir dir;
    const QString previous = QDir::currentPath();
    TestPanel panel;
    const size_t messages = ShownMessages().size();
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    ASSERT_FALSE(HasAnyChild());
    ASSERT_TRUE(QDir::setCurrent(Q(dir.Path())));
    // This program's name holds no "Quillon": the converter's path would be its own.
    panel.CommandVia(panel.m_wndCtrl, ID_CONVERT);
    QDir::setCurrent(previous);
    EXPECT_EQ(ShownMessages().size(), messages);
    // Nothing was started: no process at all, so neither a copy of this program.
    EXPECT_FALSE(HasAnyChild());
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}
