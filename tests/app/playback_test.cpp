// The player playing files as a person drives it: a file named on the command line, the open
// dialog, a scanned folder, the transport buttons, the speed marks, seeking on the slider, volume
// and mute on the sound server, full screen, snapshots, the end of a file, the converter button and
// the keys; the recorders' own files, paused review, a file that cannot be played and a recording
// of six hours.
// The clip's upper half is one solid colour per third of its length (red, green, blue) over a moving test
// picture, so the screen tells which part of the file is shown and whether pictures still change.

#include <signal.h>
#include <stdlib.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "panels/ctrl_wind.h"
#include "panels/grid_layout.h"
#include "panels/list_wind.h"
#include "panels/m_status_bar.h"
#include "tests/app/app_harness.h"
#include "tests/audio/audio_test_support.h"
#include "language/language_store.h"
#include "tests/support/fixtures.h"

namespace fs = std::filesystem;
using platform::Rect;

namespace {

// The main window's frame around the main panel.
constexpr int kBorder = 3;
constexpr int kPlaylistWidth = 245;
constexpr int kStatusHeight = 38;
constexpr int kCtrlHeight = 80;
// Long enough for every step of a test to happen before the end, short enough to wait for the end.
constexpr int kLongClipSeconds = 30;
constexpr int kShortClipSeconds = 9;

enum class Colour { Red, Green, Blue, Black, Other };

const char* Name(Colour colour) {
    switch (colour) {
        case Colour::Red: return "red";
        case Colour::Green: return "green";
        case Colour::Blue: return "blue";
        case Colour::Black: return "black";
        case Colour::Other: return "other";
    }
    return "?";
}

Colour Classify(const QColor& c) {
    if (c.red() < 30 && c.green() < 30 && c.blue() < 30) return Colour::Black;
    if (c.red() > 150 && c.green() < 90 && c.blue() < 90) return Colour::Red;
    if (c.green() > 150 && c.red() < 90 && c.blue() < 90) return Colour::Green;
    if (c.blue() > 150 && c.red() < 90 && c.green() < 90) return Colour::Blue;
    return Colour::Other;
}

QColor Average(const QImage& image, const WindowGeometry& area) {
    long r = 0, g = 0, b = 0, n = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            const QColor c(image.pixel(x, y));
            r += c.red();
            g += c.green();
            b += c.blue();
            ++n;
        }
    }
    if (n == 0) return QColor();
    return QColor(static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n));
}

// The raw volume of the default sink ("Volume: front-left: 32768 /  50% / ..."); -1 when unknown.
long SinkVolume() {
    const std::string output = RunCommand("pactl get-sink-volume @DEFAULT_SINK@ 2>/dev/null");
    std::smatch match;
    if (!std::regex_search(output, match, std::regex(R"(front-left:\s*(\d+))"))) return -1;
    return std::stol(match[1]);
}

class PlaybackTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // A server of the test's own: the volume it changes is nobody else's.
        m_server = std::make_unique<PrivateSoundServer>();
        ASSERT_TRUE(m_server->Started());
        m_useServer = std::make_unique<UseSoundServer>(m_server->Address());
        m_media = Folder() + "/media";
        fs::create_directories(m_media);
        m_clip = m_media + "/clip.mp4";
        ASSERT_TRUE(MakeColourClip(m_clip, kShortClipSeconds));
    }

    void TearDown() override {
        AppTest::TearDown();
        m_useServer.reset();
        m_server.reset();
    }

    static bool MakeColourClip(const std::string& path, int seconds) {
        const std::string band = "drawbox=x=0:y=0:w=iw:h=ih/2:t=fill:color=";
        const std::string first = std::to_string(seconds / 3);
        const std::string second = std::to_string(2 * seconds / 3);
        const std::string filter = "testsrc2=size=320x240:rate=25:duration=" + std::to_string(seconds) +
                                   "," + band + "red:enable='lt(t," + first + ")'," + band +
                                   "lime:enable='between(t," + first + "," + second + ")'," + band +
                                   "blue:enable='gte(t," + second + ")'";
        return fixtures::RunProgram({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i", filter,
                                     "-f", "lavfi", "-i",
                                     "sine=frequency=440:sample_rate=8000:duration=" + std::to_string(seconds),
                                     "-c:v", "libx264", "-preset", "veryfast", "-g", "25", "-bf", "0",
                                     "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "1", "-shortest", path}) == 0;
    }

    void StartShown(const std::vector<std::string>& arguments = {}) {
        m_pid = Start("en_US", nullptr, arguments);
        m_window = WaitForWindow(m_pid, "^Telvane$");
        ASSERT_NE(m_window, 0u) << Log();
        m_geometry = Geometry(m_window);
        ASSERT_TRUE(WaitUntilPainted(m_geometry));
        ASSERT_TRUE(Focus(m_window));
    }

    // The main panel's client rectangle on the screen.
    WindowGeometry Panel() const {
        return {m_geometry.x + kBorder, m_geometry.y + kCaptionHeight, m_geometry.width - 2 * kBorder,
                m_geometry.height - kCaptionHeight - kBorder};
    }
    WindowGeometry VideoPane() const {
        const WindowGeometry p = Panel();
        return {p.x, p.y + kStatusHeight + 1, p.width - kPlaylistWidth, p.height - kStatusHeight - 1 - kCtrlHeight};
    }
    // The solid band of the picture and the moving test picture below it.
    WindowGeometry Band() const {
        const WindowGeometry v = VideoPane();
        return {v.x + v.width / 2 - 40, v.y + v.height / 8, 80, v.height / 4};
    }
    WindowGeometry Moving() const {
        const WindowGeometry v = VideoPane();
        return {v.x + v.width / 4, v.y + v.height * 5 / 8, v.width / 2, v.height / 4};
    }
    WindowGeometry StatusText() const {
        const WindowGeometry p = Panel();
        const Rect text = ComputeStatusBarLayout(p.width - kPlaylistWidth - 1, kStatusHeight)->text;
        return {p.x + text.left, p.y + text.top, text.Width(), text.Height()};
    }
    CtrlBarLayout CtrlBar() const {
        const WindowGeometry p = Panel();
        return *ComputeCtrlBarLayout(Rect{0, 0, p.width - kPlaylistWidth - 1, kCtrlHeight});
    }
    WindowGeometry InCtrlBar(const Rect& rect) const {
        const WindowGeometry p = Panel();
        return {p.x + rect.left, p.y + p.height - kCtrlHeight + rect.top, rect.Width(), rect.Height()};
    }
    // Off the window, so that no control shows its hover look in a screenshot.
    void ParkPointer() const { RunCommand("xdotool mousemove 0 0"); }
    void ClickAt(const WindowGeometry& area) const {
        Click(area.x + area.width / 2, area.y + area.height / 2, kLeft);
    }
    void ClickCtrl(const Rect& rect) const { ClickAt(InCtrlBar(rect)); }
    void ClickStatusButton(bool snapshot) const {
        const WindowGeometry p = Panel();
        const StatusBarLayout layout = *ComputeStatusBarLayout(p.width - kPlaylistWidth - 1, kStatusHeight);
        const Rect& rect = snapshot ? layout.snapshot : layout.fullScreen;
        ClickAt({p.x + rect.left, p.y + rect.top, rect.Width(), rect.Height()});
    }

    Colour BandColour(const std::string& shotName) { return Classify(Average(Screenshot(shotName), Band())); }
    ::testing::AssertionResult WaitForBand(Colour wanted, const std::string& shotName, int timeoutMs = 8000) {
        Colour seen = Colour::Other;
        if (Eventually([&] { return (seen = BandColour(shotName)) == wanted; }, timeoutMs))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the picture's band stayed " << Name(seen) << ", not "
                                             << Name(wanted);
    }

    // Waits until the pictures in area stand still: two screenshots a moment apart show the same.
    bool WaitForStill(const WindowGeometry& area, const std::string& shotName, QImage* still = nullptr) {
        return Eventually([&] {
            const QImage first = Screenshot(shotName);
            Pause(400);  // the interval the two samples are apart, longer than a picture's
            const QImage second = Screenshot(shotName + "_again");
            if (Differs(first, second, area)) return false;
            if (still) *still = second;
            return true;
        });
    }
    // Waits until area shows something else than it does in reference.
    bool WaitForChange(const QImage& reference, const WindowGeometry& area, const std::string& shotName) {
        return Eventually([&] { return Differs(reference, Screenshot(shotName), area); });
    }
    bool WaitForSame(const QImage& reference, const WindowGeometry& area, const std::string& shotName) {
        return Eventually([&] { return !Differs(reference, Screenshot(shotName), area); });
    }
    // Waits until the pictures in area move on from what the screen shows now.
    bool WaitForMoving(const WindowGeometry& area, const std::string& shotName) {
        return WaitForChange(Screenshot(shotName), area, shotName + "_later");
    }
    ::testing::AssertionResult WaitForColourAt(const WindowGeometry& area, const std::function<bool(Colour)>& wanted,
                                               const std::string& shotName) {
        Colour seen = Colour::Other;
        if (Eventually([&] { return wanted(seen = Classify(Average(Screenshot(shotName), area))); }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the area stayed " << Name(seen);
    }
    ::testing::AssertionResult WaitForColourAt(const WindowGeometry& area, Colour wanted, const std::string& shotName) {
        return WaitForColourAt(area, [wanted](Colour seen) { return seen == wanted; }, shotName);
    }
    ::testing::AssertionResult WaitForSinkVolume(const std::function<bool(long)>& wanted) {
        long seen = -1;
        if (Eventually([&] { return wanted(seen = SinkVolume()); })) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the sink's volume stayed " << seen;
    }
    ::testing::AssertionResult WaitForSinkVolume(long wanted, long tolerance = 2) {
        return WaitForSinkVolume([=](long seen) { return std::abs(seen - wanted) <= tolerance; });
    }
    ::testing::AssertionResult WaitForJpegs(size_t count) {
        size_t seen = 0;
        if (Eventually([&] { return (seen = Jpegs().size()) == count; })) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << seen << " snapshots, not " << count;
    }

    // Presses a seeking key and waits until the pictures jump by at least jumpMs that way (a
    // negative jump: back) from where they were when it was pressed.
    ::testing::AssertionResult SeekByKey(const std::string& key, int64_t jumpMs) {
        const size_t logStart = Log().size();
        int64_t previous = LastShownPositionMs();
        Keys(key);
        const auto jumped = [&] {
            const std::string log = Log();
            static const std::string kMark = "position: ";
            for (size_t at = log.find(kMark, logStart); at != std::string::npos; at = log.find(kMark, at + 1)) {
                const int64_t position = std::strtoll(log.c_str() + at + kMark.size(), nullptr, 10);
                if (jumpMs > 0 ? position - previous >= jumpMs : previous - position >= -jumpMs) return true;
                previous = position;
            }
            return false;
        };
        if (Eventually(jumped)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << key << " did not move the pictures by " << jumpMs
                                             << " ms; the last shown position is " << LastShownPositionMs();
    }

    // The visible windows of the player.
    std::set<unsigned long> Windows() const {
        std::set<unsigned long> windows;
        std::istringstream ids(RunCommand("xdotool search --onlyvisible --pid " + std::to_string(m_pid) + " 2>/dev/null"));
        for (unsigned long id = 0; ids >> id;) windows.insert(id);
        return windows;
    }
    // Waits for a visible window of the player's that is not among before, and for it to have the
    // keyboard; 0 when none comes.
    unsigned long WaitForDialog(const std::set<unsigned long>& before) {
        unsigned long dialog = 0;
        Eventually([&] {
            for (unsigned long window : Windows())
                if (!before.count(window)) dialog = window;
            return dialog != 0;
        });
        if (dialog != 0 && !WaitForFocus(dialog)) return 0;
        return dialog;
    }

    // Fills the playlist from folder through its add button and plays the first entry by a double
    // click on it.
    void ScanFolderAndPlayFirstEntry(const std::string& folder, const std::string& shotName) {
        const WindowGeometry p = Panel();
        const ListWindLayout list = ComputeListWindLayout(kPlaylistWidth, p.height);
        const int listLeft = p.x + p.width - kPlaylistWidth;
        const int rowX = listLeft + list.files.left + 40;
        const int rowY = p.y + list.files.top + 17;
        const QImage emptyList = Screenshot(shotName + "_empty_list");
        const std::set<unsigned long> mainOnly = Windows();
        Click(listLeft + (list.add.left + list.add.right) / 2, p.y + (list.add.top + list.add.bottom) / 2, kLeft);
        const unsigned long folderDialog = WaitForDialog(mainOnly);
        ASSERT_NE(folderDialog, 0u);
        Screenshot(shotName + "_dialog");
        RunCommand("xdotool type --delay 20 '" + folder + "'");
        Keys("Return");
        ASSERT_TRUE(WaitForWindowGone(folderDialog));
        ASSERT_TRUE(WaitForChange(emptyList, WindowGeometry{rowX - 30, rowY - 8, 150, 16}, shotName + "_scanned"))
            << "the folder's file is listed";
        RunCommand("xdotool mousemove " + std::to_string(rowX) + " " + std::to_string(rowY) +
                   " sleep 0.2 click --repeat 2 --delay 80 1");
    }

    std::vector<std::string> Jpegs() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_media)) {
            if (entry.path().extension() == ".jpg") names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::unique_ptr<PrivateSoundServer> m_server;
    std::unique_ptr<UseSoundServer> m_useServer;
    std::string m_media;
    std::string m_clip;
    pid_t m_pid = 0;
    unsigned long m_window = 0;
    WindowGeometry m_geometry;
};

std::set<std::string> SnapshotNamesBetween(std::time_t first, std::time_t last) {
    std::set<std::string> names;
    for (std::time_t t = first; t <= last; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        char name[64];
        std::snprintf(name, sizeof name, "%d_%d_%d-%d_%d_%d.jpg", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
        names.insert(name);
    }
    return names;
}

}  // namespace

TEST_F(PlaybackTest, AFileOnTheCommandLinePlaysAtOnceAndTheTransportButtonsDriveIt) {
    const std::string clip = m_media + "/long.mp4";
    ASSERT_TRUE(MakeColourClip(clip, kLongClipSeconds));
    StartShown({clip});
    ASSERT_TRUE(WaitForBand(Colour::Red, "cmdline_playing")) << Log();
    const CtrlBarLayout bar = CtrlBar();

    // The time label and the position slider move on.
    const WindowGeometry timeArea = InCtrlBar(Rect{bar.seek.left, bar.seek.top, bar.position.right, bar.position.bottom});
    EXPECT_TRUE(WaitForMoving(timeArea, "cmdline_time"));

    // Pause: the pictures stand still; play resumes them.
    ClickCtrl(bar.playPause);
    EXPECT_TRUE(WaitForStill(Moving(), "cmdline_paused"));
    ClickCtrl(bar.playPause);
    EXPECT_TRUE(WaitForMoving(Moving(), "cmdline_resumed"));

    // Frame step while playing stops the pictures; each further step shows one more.
    ClickCtrl(bar.frame);
    QImage stopped;
    EXPECT_TRUE(WaitForStill(Moving(), "cmdline_step_stopped", &stopped));
    ClickCtrl(bar.frame);
    EXPECT_TRUE(WaitForChange(stopped, Moving(), "cmdline_stepped"));
    EXPECT_TRUE(WaitForStill(Moving(), "cmdline_still_stepped"));
    ClickCtrl(bar.playPause);
    EXPECT_TRUE(WaitForMoving(Moving(), "cmdline_playing_again"));

    // The speed marks appear before the path in the status bar, and go again at normal speed.
    const QImage normal = Screenshot("cmdline_speed_normal");
    ClickCtrl(bar.slow);
    EXPECT_TRUE(WaitForChange(normal, StatusText(), "cmdline_speed_half"));
    const QImage slow = Screenshot("cmdline_speed_half");
    ClickCtrl(bar.fast);
    EXPECT_TRUE(WaitForChange(slow, StatusText(), "cmdline_speed_double"));
    for (int press = 0; press < 2; ++press) {
        Pause(500);  // apart from the last press, so that two presses are no double click
        ClickCtrl(bar.fast);
    }
    EXPECT_TRUE(WaitForSame(normal, StatusText(), "cmdline_speed_normal_again"));

    // A click at five sixths of the position slider shows the blue third of the file.
    const WindowGeometry seek = InCtrlBar(bar.seek);
    Click(seek.x + 8 + (seek.width - 16) * 5 / 6, seek.y + seek.height / 2, kLeft);
    EXPECT_TRUE(WaitForBand(Colour::Blue, "cmdline_after_seek", 3000));

    // The snapshot lands in the file's folder, named by the time of day, showing what the screen shows.
    const std::time_t before = std::time(nullptr);
    ClickStatusButton(true);
    const QImage onScreen = Screenshot("cmdline_snapshot");
    ASSERT_TRUE(WaitForJpegs(1));
    const std::time_t after = std::time(nullptr);
    const std::vector<std::string> jpegs = Jpegs();
    EXPECT_TRUE(SnapshotNamesBetween(before, after).count(jpegs[0])) << jpegs[0];
    const QImage snapshot(QString::fromStdString(m_media + "/" + jpegs[0]));
    ASSERT_EQ(snapshot.size(), QSize(320, 240));
    const QColor snapBand = Average(snapshot.convertToFormat(QImage::Format_RGB32), {120, 30, 80, 60});
    EXPECT_EQ(Classify(snapBand), Colour::Blue);
    EXPECT_EQ(Classify(snapBand), Classify(Average(onScreen, Band())));

    EXPECT_EQ(SanitizerReports(), "");
}

TEST_F(PlaybackTest, StopThenPlayReplaysAndTheEndOfTheFileResetsTheControls) {
    StartShown({m_clip});
    ASSERT_TRUE(WaitForBand(Colour::Red, "stop_playing")) << Log();
    const CtrlBarLayout bar = CtrlBar();
    const WindowGeometry playButton = InCtrlBar(bar.playPause);
    ParkPointer();
    const QImage playing = Screenshot("stop_before");

    ClickCtrl(bar.stop);
    ParkPointer();
    EXPECT_TRUE(WaitForBand(Colour::Black, "stop_stopped", 3000));
    const QImage stopped = Screenshot("stop_stopped_controls");
    EXPECT_TRUE(Differs(playing, stopped, playButton)) << "the play look comes back";
    EXPECT_TRUE(Differs(playing, stopped, StatusText())) << "the path goes";

    // Play after a stop opens the same file again, from its start.
    ClickCtrl(bar.playPause);
    ParkPointer();
    EXPECT_TRUE(WaitForBand(Colour::Red, "stop_replayed", 3000));

    // Played out: the picture goes, the play look comes back, nothing else starts.
    EXPECT_TRUE(WaitForBand(Colour::Black, "stop_played_out", (kShortClipSeconds + 6) * 1000));
    const QImage ended = Screenshot("stop_ended_controls");
    EXPECT_FALSE(Differs(stopped, ended, playButton));
    // Nothing starts on its own after the end: a second looks for it.
    Pause(1000);
    EXPECT_EQ(BandColour("stop_still_ended"), Colour::Black);
    EXPECT_EQ(SanitizerReports(), "");
}

TEST_F(PlaybackTest, OpenDialogAndScannedFolderPlayTheirFiles) {
    StartShown();
    const CtrlBarLayout bar = CtrlBar();
    const std::set<unsigned long> mainOnly = Windows();
    ClickCtrl(bar.open);
    // The dialog comes up with the file name field focused.
    const unsigned long openDialog = WaitForDialog(mainOnly);
    ASSERT_NE(openDialog, 0u);
    Screenshot("open_dialog");
    RunCommand("xdotool type --delay 20 '" + m_clip + "'");
    Keys("Return");
    EXPECT_TRUE(WaitForBand(Colour::Red, "open_playing")) << Log();
    ClickCtrl(bar.stop);
    ASSERT_TRUE(WaitForBand(Colour::Black, "open_stopped", 3000));

    // The playlist's add button asks for a folder; a double click on its entry plays it.
    ASSERT_NO_FATAL_FAILURE(ScanFolderAndPlayFirstEntry(m_media, "folder"));
    EXPECT_TRUE(WaitForBand(Colour::Red, "folder_playing")) << Log();
    EXPECT_EQ(SanitizerReports(), "");
}

TEST_F(PlaybackTest, AFileDraggedFromAnotherProgramPlaysWhereItIsDroppedAndSnapshotsGoBesideIt) {
    StartShown();
    const std::string source = (fs::path(TELVANE_BINARY_DIR) / "bin" / "drag_source").string();
    RunCommand("cd '" + Folder() + "' && QT_QPA_PLATFORM=xcb '" + source + "' '" + m_clip +
               "' >drag_source.log 2>&1 &");
    const unsigned long sourceWindow = [&] {
        unsigned long window = 0;
        for (int waited = 0; waited < 10000 && window == 0; waited += 200) {
            window = std::strtoul(RunCommand("xdotool search --onlyvisible --name '^drag source$' 2>/dev/null").c_str(),
                                  nullptr, 10);
            if (window == 0) Pause(200);
        }
        return window;
    }();
    ASSERT_NE(sourceWindow, 0u);
    const WindowGeometry from = Geometry(sourceWindow);
    const WindowGeometry to = VideoPane();
    const int toX = to.x + to.width / 2;
    const int toY = to.y + to.height / 2;
    // Pressed on the source, carried over in steps, released on the picture.
    RunCommand("xdotool mousemove " + std::to_string(from.x + from.width / 2) + " " +
               std::to_string(from.y + from.height / 2) + " sleep 0.3 mousedown 1 sleep 0.3 mousemove " +
               std::to_string(from.x + from.width) + " " + std::to_string(from.y + from.height) +
               " sleep 0.2 mousemove " + std::to_string(toX - 10) + " " + std::to_string(toY - 10) +
               " sleep 0.2 mousemove " + std::to_string(toX) + " " + std::to_string(toY) + " sleep 0.5 mouseup 1");
    EXPECT_TRUE(WaitForBand(Colour::Red, "dropped_playing")) << Log();

    ClickStatusButton(true);
    EXPECT_TRUE(WaitForJpegs(1)) << "in the dropped file's folder";
    EXPECT_EQ(SanitizerReports(), "");
}

TEST_F(PlaybackTest, MuteAndVolumeSliderChangeTheSinkVolume) {
    ASSERT_NE(SinkVolume(), -1);
    RunCommand("pactl set-sink-volume @DEFAULT_SINK@ 40000");
    StartShown();
    const CtrlBarLayout bar = CtrlBar();
    const long start = SinkVolume();
    ASSERT_NEAR(start, 40000, 2);

    ClickCtrl(bar.volume);
    EXPECT_TRUE(WaitForSinkVolume(0));
    Screenshot("volume_muted");
    Pause(500);  // apart from the last press, so that two presses are no double click
    ClickCtrl(bar.volume);
    EXPECT_TRUE(WaitForSinkVolume(start));

    // A click at a quarter of the volume slider's track sets about a quarter of the full volume.
    const WindowGeometry slider = InCtrlBar(bar.volumeSlider);
    const int margin = 6;
    Click(slider.x + margin + (slider.width - 2 * margin) / 4, slider.y + slider.height / 2, kLeft);
    const long quarter = 65536 / 4;
    EXPECT_TRUE(WaitForSinkVolume(quarter, 1500));
    Screenshot("volume_quarter");
    EXPECT_EQ(SanitizerReports(), "");
}

TEST_F(PlaybackTest, DoubleClickOnThePictureGoesFullScreenAndEscReturns) {
    StartShown({m_clip});
    ASSERT_TRUE(WaitForBand(Colour::Red, "full_playing")) << Log();
    const WindowGeometry v = VideoPane();
    // Left of the window, where only the full-screen picture can reach.
    const WindowGeometry outside{std::max(0, m_geometry.x - 150), 250, 40, 40};
    ASSERT_GT(m_geometry.x, 200);
    RunCommand("xdotool mousemove " + std::to_string(v.x + v.width / 2) + " " + std::to_string(v.y + v.height / 2) +
               " sleep 0.2 click --repeat 2 --delay 80 1");
    EXPECT_TRUE(WaitForColourAt(outside, Colour::Red, "full_screen"));

    Keys("Escape");
    EXPECT_TRUE(WaitForColourAt(outside, Colour::Black, "full_screen_left"));
    EXPECT_TRUE(WaitForColourAt(Band(), [](Colour seen) { return seen != Colour::Black; }, "full_back_in_window"));
    EXPECT_EQ(SanitizerReports(), "");
}

// The keys as a person presses them on the real window, and in full screen, where the picture is a
// window of its own. The clip is a minute long, so each third lasts 20 s and every relative seek
// lands well inside the third it aims at.
TEST_F(PlaybackTest, KeysDriveThePlayerInTheWindowAndInFullScreen) {
    const std::string clip = m_media + "/minute.mp4";
    ASSERT_TRUE(MakeColourClip(clip, 60));
    RunCommand("pactl set-sink-volume @DEFAULT_SINK@ 40000");
    StartShown({clip});
    ASSERT_TRUE(WaitForBand(Colour::Red, "keys_playing")) << Log();
    ParkPointer();

    Keys("space");
    EXPECT_TRUE(WaitForStill(Moving(), "keys_paused")) << "space pauses";
    Keys("space");
    EXPECT_TRUE(WaitForMoving(Moving(), "keys_resumed")) << "space plays again";

    // Faster shows its mark; twice more comes back round to normal speed.
    const QImage normal = Screenshot("keys_speed_normal");
    Keys("bracketright");
    EXPECT_TRUE(WaitForChange(normal, StatusText(), "keys_faster"));
    Keys("bracketright bracketright");
    EXPECT_TRUE(WaitForSame(normal, StatusText(), "keys_speed_normal_again"));
    Keys("bracketleft");
    EXPECT_TRUE(WaitForChange(normal, StatusText(), "keys_slower"));
    Keys("bracketleft bracketleft");
    EXPECT_TRUE(WaitForSame(normal, StatusText(), "keys_speed_normal_at_last"));

    // 10 s a press, forward and back; a seek is pressed once the previous one has landed.
    for (const char* key : {"ctrl+Right", "ctrl+Right"}) ASSERT_TRUE(SeekByKey(key, 9000));
    EXPECT_TRUE(WaitForBand(Colour::Green, "keys_forward_20s", 3000));
    for (const char* key : {"ctrl+Right", "ctrl+Right"}) ASSERT_TRUE(SeekByKey(key, 9000));
    EXPECT_TRUE(WaitForBand(Colour::Blue, "keys_forward_40s", 3000));
    for (const char* key : {"ctrl+Left", "ctrl+Left"}) ASSERT_TRUE(SeekByKey(key, -5000));
    EXPECT_TRUE(WaitForBand(Colour::Green, "keys_back_20s", 3000));

    Keys("s");
    EXPECT_TRUE(WaitForJpegs(1)) << "s takes a snapshot";

    const long start = SinkVolume();
    ASSERT_NEAR(start, 40000, 2);
    Keys("m");
    EXPECT_TRUE(WaitForSinkVolume(0));
    Keys("m");
    EXPECT_TRUE(WaitForSinkVolume(start));
    Keys("Up");
    EXPECT_TRUE(WaitForSinkVolume([&](long seen) { return seen > start + 2; }));
    Keys("Down");
    EXPECT_TRUE(WaitForSinkVolume(start, 700));

    // Right while playing stops at the next picture.
    Keys("Right");
    EXPECT_TRUE(WaitForStill(Moving(), "keys_stepped"));
    Keys("space");

    // Full screen and back, with the keys still the player's in between.
    const WindowGeometry outside{std::max(0, m_geometry.x - 150), 250, 40, 40};
    ASSERT_GT(m_geometry.x, 200);
    Keys("f");
    EXPECT_TRUE(WaitForColourAt(outside, [](Colour seen) { return seen == Colour::Green || seen == Colour::Blue; },
                                "keys_full_screen"));
    Keys("m");
    EXPECT_TRUE(WaitForSinkVolume(0)) << "m in full screen";
    Keys("m Escape");
    EXPECT_TRUE(WaitForColourAt(outside, Colour::Black, "keys_full_screen_left"));
    EXPECT_TRUE(WaitForSinkVolume(start, 700));
    // Esc once too often, or Enter, leaves the player open; the mute after them shows they were taken.
    Keys("Escape Return m");
    EXPECT_TRUE(WaitForSinkVolume(0));
    ASSERT_EQ(VisibleWindowCount(m_pid), 1u);
    Keys("m");
    ASSERT_TRUE(WaitForSinkVolume(start, 700));

    // The open dialog has the keyboard: what is typed there is its own, until it closes.
    const std::set<unsigned long> mainOnly = Windows();
    Keys("o");
    const unsigned long dialog = WaitForDialog(mainOnly);
    ASSERT_NE(dialog, 0u);
    Keys("m Escape");
    ASSERT_TRUE(WaitForWindowGone(dialog));
    EXPECT_NEAR(SinkVolume(), start, 700) << "m typed into the open dialog";
    // Closed, it hands the keyboard back to the main window.
    EXPECT_TRUE(WaitForFocus(m_window));
    Keys("m");
    EXPECT_TRUE(WaitForSinkVolume(0)) << "the keys are the player's again";
    EXPECT_EQ(SanitizerReports(), "");
}

TEST_F(PlaybackTest, ConvertButtonStartsTheConverterBesideThePlayerWithItsLanguage) {
    fs::copy_file(fs::path(TELVANE_BINARY_DIR) / "bin" / "argv_recorder", fs::path(Folder()) / "Kadrel");
    StartShown();
    ClickCtrl(CtrlBar().convert);
    const std::string record = Folder() + "/argv.txt";
    ASSERT_TRUE(Eventually([&] { return fs::exists(record); }));
    std::ifstream in(record);
    std::vector<std::string> argv;
    for (std::string line; std::getline(in, line);) argv.push_back(line);
    // The player's own path with its name changed, and the language in decimal.
    const std::string converter = (fs::path(TELVANE_BINARY_DIR) / "bin" / "Kadrel").string();
    EXPECT_EQ(argv, (std::vector<std::string>{converter, "1033"}));
}

// What a new user meets with the recorders' own files, paused pictures, failed opens and
// recordings of many hours.
namespace {

constexpr int kCounterBits = 10;

class ReviewTest : public PlaybackTest {
protected:
    // A recording written by the recorder's writer from a clip.
    static bool MakeRecording(const std::string& clip, const std::string& recording,
                              const std::vector<std::string>& options = {}) {
        std::vector<std::string> command{(fs::path(TELVANE_BINARY_DIR) / "bin" / "telvane-record-writer").string()};
        command.insert(command.end(), options.begin(), options.end());
        command.push_back(clip);
        command.push_back(recording);
        return fixtures::RunProgram(command) == 0;
    }

    // The picture's upper half shows its own frame number as ten stripes, least significant bit
    // at the left: light for 1, dark grey for 0.
    static bool MakeCounterClip(const std::string& path, int seconds) {
        const std::string filter =
            "color=c=black:s=320x240:r=25:d=" + std::to_string(seconds) +
            ",format=yuv420p,geq=lum='if(gte(Y,120),128,if(mod(trunc(N/pow(2,trunc(X/32))),2),235,64))':cb=128:cr=128";
        return fixtures::RunProgram({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i", filter, "-f",
                                     "lavfi", "-i", "sine=frequency=440:sample_rate=8000:duration=" + std::to_string(seconds),
                                     "-c:v", "libx264", "-preset", "veryfast", "-qp", "10", "-g", "25", "-bf", "0",
                                     "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "1", "-shortest", path}) == 0;
    }

    // The frame number the screen shows; -1 when no picture is found.
    int ShownFrameNumber(const std::string& shotName) {
        const QImage shot = Screenshot(shotName);
        const WindowGeometry v = VideoPane();
        const int y = v.y + v.height / 2 - 12;
        int left = -1, right = -1;
        for (int x = v.x; x < v.x + v.width; ++x) {
            if (QColor(shot.pixel(x, y)).lightness() <= 40) continue;
            if (left < 0) left = x;
            right = x;
        }
        if (left < 0 || right - left < 2 * kCounterBits) return -1;
        int number = 0;
        const double stripe = double(right - left + 1) / kCounterBits;
        for (int bit = 0; bit < kCounterBits; ++bit) {
            const int x = left + static_cast<int>((bit + 0.5) * stripe);
            if (QColor(shot.pixel(x, y)).lightness() > 150) number |= 1 << bit;
        }
        return number;
    }

    // The frame number once it has stood still for a moment; -1 when it keeps changing.
    int SteadyFrameNumber(const std::string& shotName, int timeoutMs = 8000) {
        int last = -2, steady = -1;
        Eventually([&] {
            const int now = ShownFrameNumber(shotName);
            if (now >= 0 && now == last) steady = now;
            last = now;
            Pause(300);  // the interval the two samples are apart, longer than a picture's
            return steady >= 0;
        }, timeoutMs);
        return steady;
    }

    bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
        return Eventually(condition, timeoutMs);
    }

    void OpenThroughTheDialog(const std::string& path) {
        const std::set<unsigned long> before = Windows();
        ClickCtrl(CtrlBar().open);
        // The dialog comes up with the file name field focused.
        const unsigned long dialog = WaitForDialog(before);
        ASSERT_NE(dialog, 0u);
        RunCommand("xdotool type --delay 20 '" + path + "'");
        Keys("Return");
        ASSERT_TRUE(WaitForWindowGone(dialog));
    }

    void DragOntoThePicture(const std::string& path) {
        const std::string source = (fs::path(TELVANE_BINARY_DIR) / "bin" / "drag_source").string();
        RunCommand("cd '" + Folder() + "' && QT_QPA_PLATFORM=xcb '" + source + "' '" + path +
                   "' >drag_source.log 2>&1 &");
        unsigned long sourceWindow = 0;
        WaitUntil([&] {
            sourceWindow = std::strtoul(
                RunCommand("xdotool search --onlyvisible --name '^drag source$' 2>/dev/null").c_str(), nullptr, 10);
            return sourceWindow != 0;
        });
        ASSERT_NE(sourceWindow, 0u);
        const WindowGeometry from = Geometry(sourceWindow);
        const WindowGeometry to = VideoPane();
        const int toX = to.x + to.width / 2, toY = to.y + to.height / 2;
        RunCommand("xdotool mousemove " + std::to_string(from.x + from.width / 2) + " " +
                   std::to_string(from.y + from.height / 2) + " sleep 0.3 mousedown 1 sleep 0.3 mousemove " +
                   std::to_string(from.x + from.width) + " " + std::to_string(from.y + from.height) +
                   " sleep 0.2 mousemove " + std::to_string(toX - 10) + " " + std::to_string(toY - 10) +
                   " sleep 0.2 mousemove " + std::to_string(toX) + " " + std::to_string(toY) + " sleep 0.5 mouseup 1");
    }
};

}  // namespace

// A recording named .rec opens through the dialog, and a second window plays it while the first
// does; one without any known ending is taken from a drop and listed by the folder scan.
TEST_F(ReviewTest, RecordingsOfAnyNameOpenFromTheDialogTheDropAndTheScanAndInTwoWindows) {
    const std::string recordings = m_media + "/recordings";
    fs::create_directories(recordings);
    const std::string rec = recordings + "/cam1.rec";
    ASSERT_TRUE(MakeRecording(m_clip, rec));
    StartShown();
    OpenThroughTheDialog(rec);
    ASSERT_TRUE(WaitForBand(Colour::Red, "rec_from_dialog")) << Log();

    const pid_t first = m_pid;
    const WindowGeometry firstGeometry = m_geometry;
    m_pid = Start("en_US", nullptr, {rec});
    const unsigned long second = WaitForWindow(m_pid, "^Telvane$");
    ASSERT_NE(second, 0u) << Log();
    MoveWindow(second, 0, 0);
    m_geometry = Geometry(second);
    EXPECT_TRUE(WaitForBand(Colour::Red, "rec_second_window")) << "the first window holds it too";
    ::kill(m_pid, SIGKILL);
    m_pid = first;
    m_geometry = firstGeometry;
    Focus(m_window);

    ClickCtrl(CtrlBar().stop);
    ASSERT_TRUE(WaitForBand(Colour::Black, "rec_stopped", 3000));
    const std::string nameless = recordings + "/0001";
    fs::rename(rec, nameless);
    DragOntoThePicture(nameless);
    EXPECT_TRUE(WaitForBand(Colour::Red, "rec_dropped")) << Log();
    ClickCtrl(CtrlBar().stop);
    ASSERT_TRUE(WaitForBand(Colour::Black, "rec_stopped_again", 3000));

    ASSERT_NO_FATAL_FAILURE(ScanFolderAndPlayFirstEntry(recordings, "rec"));
    EXPECT_TRUE(WaitForBand(Colour::Red, "rec_from_scan")) << Log();
    EXPECT_EQ(SanitizerReports(), "");
}

// Paused, the way footage is reviewed: each step shows the next picture, a snapshot takes the one
// shown and says where it went, and a seek shows its target without playing on.
TEST_F(ReviewTest, PausedStepsSnapshotsAndSeeksShowWhatTheyAreAskedFor) {
    const std::string clip = m_media + "/counter.mp4";
    ASSERT_TRUE(MakeCounterClip(clip, 40));
    StartShown({clip});
    ASSERT_TRUE(WaitUntil([&] { return ShownFrameNumber("counter_playing") > 25; })) << Log();
    ParkPointer();

    Keys("space");
    const int paused = SteadyFrameNumber("counter_paused");
    ASSERT_GE(paused, 0);
    for (int step = 1; step <= 3; ++step) {
        Keys("Right");
        int shown = -1;
        WaitUntil([&] { return (shown = ShownFrameNumber("counter_step")) != paused + step - 1; }, 5000);
        EXPECT_EQ(shown, paused + step) << "step " << step;
        EXPECT_EQ(SteadyFrameNumber("counter_stepped"), paused + step) << "step " << step;
    }

    const QImage before = Screenshot("counter_before_snapshots");
    Keys("s s");
    EXPECT_TRUE(WaitUntil([&] { return Jpegs().size() == 2; })) << "two snapshots, paused";
    EXPECT_TRUE(Differs(before, Screenshot("counter_snapshot_notice"), StatusText())) << "the bar names the file";

    const int held = paused + 3;
    Keys("ctrl+Right");
    int landed = -1;
    EXPECT_TRUE(WaitUntil([&] { return (landed = ShownFrameNumber("counter_seek")) >= held + 240; }, 8000))
        << "still at " << landed;
    EXPECT_NEAR(SteadyFrameNumber("counter_seek_steady"), held + 250, 13) << "stays paused at the target";
    EXPECT_EQ(SanitizerReports(), "");
}

// A file that cannot be played, opened while another plays: a message names it and says why, and
// the controls look as they do with no file.
TEST_F(ReviewTest, AFileThatCannotBePlayedSaysWhichAndWhyAndResetsTheControls) {
    const std::string broken = m_media + "/notes.mp4";
    std::ofstream(broken) << "meeting notes, not a video\n";
    StartShown();
    ParkPointer();
    const QImage empty = Screenshot("broken_no_file");
    OpenThroughTheDialog(m_clip);
    ASSERT_TRUE(WaitForBand(Colour::Red, "broken_playing")) << Log();

    OpenThroughTheDialog(broken);
    unsigned long box = 0;
    ASSERT_TRUE(WaitUntil([&] {
        const std::string ids = RunCommand("xdotool search --onlyvisible --pid " + std::to_string(m_pid) + " 2>/dev/null");
        std::istringstream lines(ids);
        for (std::string id; std::getline(lines, id);) {
            if (std::strtoul(id.c_str(), nullptr, 10) != m_window) box = std::strtoul(id.c_str(), nullptr, 10);
        }
        return box != 0;
    })) << "a message box";
    Screenshot("broken_message");
    Focus(box);
    Keys("Return");
    ASSERT_TRUE(WaitForWindowGone(box));
    ParkPointer();
    const CtrlBarLayout bar = CtrlBar();
    const WindowGeometry labels = InCtrlBar(Rect{bar.seek.left, bar.seek.top, bar.duration.right, bar.duration.bottom});
    EXPECT_TRUE(WaitUntil([&] {
        const QImage now = Screenshot("broken_controls");
        return !Differs(empty, now, StatusText()) && !Differs(empty, now, InCtrlBar(bar.playPause)) &&
               !Differs(empty, now, labels);
    })) << "no name, the play look, no length";
    EXPECT_EQ(SanitizerReports(), "");
}

// Six hours of recording, a picture every five seconds: the slider takes its length, and a click
// lands where it was made.
// Taken out until a seek in this recording lands in time in the plain build under the allocator's
// checks, where it took over 30 s.
TEST_F(ReviewTest, DISABLED_ASixHourRecordingsSliderLandsWhereClicked) {
    const std::string clip = m_media + "/six_hours.mp4";
    const int seconds = 6 * 3600;
    const std::string band = "drawbox=x=0:y=0:w=iw:h=ih/2:t=fill:color=";
    const std::string filter = "color=c=gray:s=160x120:r=1/5:d=" + std::to_string(seconds) + "," + band +
                               "red:enable='lt(t,7200)'," + band + "lime:enable='between(t,7200,14400)'," + band +
                               "blue:enable='gt(t,14400)'";
    ASSERT_EQ(fixtures::RunProgram({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i", filter, "-c:v",
                                    "libx264", "-preset", "ultrafast", "-g", "1", "-pix_fmt", "yuv420p", clip}),
              0);
    const std::string rec = m_media + "/six_hours.rec";
    ASSERT_TRUE(MakeRecording(clip, rec, {"--audio", "none"}));
    StartShown({rec});
    ASSERT_TRUE(WaitForBand(Colour::Red, "six_hours_playing")) << Log();
    const CtrlBarLayout bar = CtrlBar();

    const WindowGeometry seek = InCtrlBar(bar.seek);
    const int margin = 8;
    const auto clickAt = [&](double fraction) {
        Click(seek.x + margin + static_cast<int>((seek.width - 2 * margin) * fraction), seek.y + seek.height / 2, kLeft);
    };
    clickAt(5.0 / 6);
    EXPECT_TRUE(WaitForBand(Colour::Blue, "six_hours_at_five", 30000));
    // Just past the end of the first third: a click off by more than a few minutes shows red.
    clickAt(1.0 / 3 + 0.01);
    EXPECT_TRUE(WaitForBand(Colour::Green, "six_hours_past_two", 30000));
    EXPECT_EQ(SanitizerReports(), "");
}

// A language switch while a recording plays: the new instance opens the same recording, which the
// old one still held a moment before, where it was.
TEST_F(ReviewTest, ALanguageSwitchReopensThePlayingRecordingWhereItWas) {
    const std::string clip = m_media + "/minute.mp4";
    ASSERT_TRUE(MakeColourClip(clip, 60));
    const std::string rec = m_media + "/minute.rec";
    ASSERT_TRUE(MakeRecording(clip, rec));
    StartShown({m_clip});
    OpenThroughTheDialog(rec);
    ASSERT_TRUE(WaitForBand(Colour::Red, "switch_playing")) << Log();
    // The test display has no window manager to hand the keyboard back after the dialog.
    Focus(m_window);
    ParkPointer();
    // A seek is pressed once the previous one has landed.
    for (int press = 0; press < 3; ++press) ASSERT_TRUE(SeekByKey("ctrl+Right", 9000));
    ASSERT_TRUE(WaitForBand(Colour::Green, "switch_at_thirty_seconds", 3000));

    LanguageStore store(0x409, LangFolder());
    store.BuildLanguageList();
    const auto& languages = store.InstalledLanguages();
    const auto german = std::find(languages.begin(), languages.end(), "0407") - languages.begin();
    Click(m_geometry.x + m_geometry.width / 2, m_geometry.y + 17, 3);
    Pause(800);  // until the menu has the keyboard
    std::string keys = "Down Right";
    for (int k = 0; k < german; ++k) keys += " Down";
    Keys(keys + " Return");
    EXPECT_EQ(WaitForExit(m_pid), 0) << Log();

    std::vector<pid_t> players;
    WaitUntil([&] { return !(players = RunningPlayers()).empty(); });
    ASSERT_EQ(players.size(), 1u) << Log();
    m_pid = players.front();
    m_window = WaitForWindow(m_pid, "^Telvane$");
    ASSERT_NE(m_window, 0u) << Log();
    m_geometry = Geometry(m_window);
    EXPECT_TRUE(WaitForBand(Colour::Green, "switch_reopened", 10000)) << "the recording, not the clip from 0";
    EXPECT_EQ(SanitizerReports(), "");
}

namespace {

// Four cameras whose pictures are coloured by the recorders' clock: red, green, blue for the
// seconds 0, 1 and 2 of every three of the clock. Started at different clock times, the tiles
// with footage show one colour when in step, and a tile one second off never does.
class GridTest : public ReviewTest {
protected:
    struct Camera {
        const char* name;
        int startSecond;  // on the clock, from the earliest start
    };
    static constexpr Camera kCameras[] = {{"a.rec", 0}, {"b.rec", 2}, {"c.rec", 1}, {"late.rec", 5}};
    static constexpr int kCameraSeconds = 20;
    static constexpr int64_t kFirstStartMs = 1'765'360'800'000;  // a whole multiple of three seconds

    void SetUp() override {
        ReviewTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        for (const Camera& camera : kCameras) {
            const std::string clip = m_media + "/" + camera.name + ".mp4";
            ASSERT_TRUE(MakeClockColouredClip(clip, camera.startSecond, 440 + 110 * camera.startSecond));
            ASSERT_TRUE(MakeRecording(clip, PathOf(camera), {"--start-ms", std::to_string(kFirstStartMs + camera.startSecond * 1000)}));
            fs::remove(clip);
        }
    }

    std::string PathOf(const Camera& camera) const { return m_media + "/" + camera.name; }

    static bool MakeClockColouredClip(const std::string& path, int startSecond, int toneHz) {
        static const char* const kColours[] = {"red", "lime", "blue"};
        std::string graph, inputs;
        for (int second = 0; second < kCameraSeconds; ++second) {
            graph += "color=c=" + std::string(kColours[(startSecond + second) % 3]) + ":s=160x120:r=25:d=1[v" +
                     std::to_string(second) + "];";
            inputs += "[v" + std::to_string(second) + "]";
        }
        graph += inputs + "concat=n=" + std::to_string(kCameraSeconds) + ":v=1:a=0[video];sine=frequency=" +
                 std::to_string(toneHz) + ":sample_rate=8000:duration=" + std::to_string(kCameraSeconds) + "[sound]";
        return fixtures::RunProgram({"ffmpeg", "-nostdin", "-y", "-v", "error", "-filter_complex", graph, "-map",
                                     "[video]", "-map", "[sound]", "-c:v", "libx264", "-preset", "veryfast", "-g",
                                     "25", "-bf", "0", "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "1", path}) == 0;
    }

    // The middle of each tile's cell on the screen, clear of the label and the frame.
    WindowGeometry TileMiddle(int tile) const {
        const WindowGeometry v = VideoPane();
        const Rect cell = GridCellRects(4, Rect{0, 0, v.width, v.height})[static_cast<size_t>(tile)];
        return {v.x + (cell.left + cell.right) / 2 - 10, v.y + (cell.top + cell.bottom) / 2 - 10, 20, 20};
    }
    std::vector<Colour> TileColours(const std::string& shotName) {
        const QImage shot = Screenshot(shotName);
        std::vector<Colour> colours;
        for (int tile = 0; tile < 4; ++tile) colours.push_back(Classify(Average(shot, TileMiddle(tile))));
        return colours;
    }
    // Every tile listed shows the same colour, one of the clock's.
    static bool InStep(const std::vector<Colour>& colours, std::initializer_list<int> tiles) {
        const Colour first = colours[static_cast<size_t>(*tiles.begin())];
        if (first != Colour::Red && first != Colour::Green && first != Colour::Blue) return false;
        return std::all_of(tiles.begin(), tiles.end(), [&](int tile) { return colours[static_cast<size_t>(tile)] == first; });
    }
    // The tiles that show a picture show the same colour, the first camera's among them.
    static bool FootageInStep(const std::vector<Colour>& colours) {
        return colours[0] != Colour::Black &&
               std::all_of(colours.begin(), colours.end(), [&](Colour c) { return c == Colour::Black || c == colours[0]; }) &&
               InStep(colours, {0});
    }
    // Every tile shows footage, of at most two colours: the seconds either side of one change.
    static bool PausedTogether(const std::vector<Colour>& colours) {
        std::vector<Colour> seen;
        for (Colour c : colours) {
            if (c != Colour::Red && c != Colour::Green && c != Colour::Blue) return false;
            if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
        }
        return seen.size() <= 2;
    }
    // Most looks, a picture apart or more, find the tiles in step: a tile a second off would never
    // be, one half a second off only every other time.
    ::testing::AssertionResult MostlyInStep(const std::string& shotName) {
        int inStep = 0;
        constexpr int kLooks = 8;
        for (int look = 0; look < kLooks; ++look) inStep += InStep(TileColours(shotName), {0, 1, 2, 3}) ? 1 : 0;
        if (inStep >= kLooks - 2) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "in step at " << inStep << " of " << kLooks << " looks";
    }

    // The file whose sound is heard: the one stream of the player's four the server has not
    // muted; empty unless exactly one is heard.
    static std::string HeardFile() {
        std::istringstream listing(RunCommand("pactl list sink-inputs 2>/dev/null"));
        std::vector<std::string> heard;
        int streams = 0;
        bool muted = false;
        std::smatch match;
        for (std::string line; std::getline(listing, line);) {
            if (line.find("Mute: ") != std::string::npos) muted = line.find("yes") != std::string::npos;
            if (!std::regex_search(line, match, std::regex(R"re(media\.name = "Telvane: (.*)")re"))) continue;
            ++streams;
            if (!muted) heard.push_back(match[1]);
        }
        return streams == 4 && heard.size() == 1 ? heard.front() : std::string();
    }
};

}  // namespace

// The command line's four recordings play as a 2x2 grid by their clocks: the late camera is dark
// until its footage starts, then all four show the same moment; selecting a tile moves the sound
// to it; pause and a seek keep them together; snapshots take the selected tile or every tile; a
// double click shows the selected tile alone, and another brings the grid back.
TEST_F(GridTest, FourRecordingsPlayInStepByTheirClocksAndTheSelectedOneIsHeard) {
    std::vector<std::string> files;
    for (const Camera& camera : kCameras) files.push_back(PathOf(camera));
    StartShown(files);
    ParkPointer();
    EXPECT_TRUE(WaitUntil([&] {
        const std::vector<Colour> colours = TileColours("grid_before_late");
        return InStep(colours, {0, 1, 2}) && colours[3] == Colour::Black;
    })) << "the three first cameras in step, the late one dark";
    ASSERT_TRUE(WaitUntil([&] { return InStep(TileColours("grid_all_four"), {0, 1, 2, 3}); }, 15000)) << Log();
    EXPECT_TRUE(MostlyInStep("grid_playing"));

    ASSERT_TRUE(WaitUntil([] { return HeardFile() == kCameras[0].name; })) << "the first tile is heard";
    ClickAt(TileMiddle(3));
    EXPECT_TRUE(WaitUntil([] { return HeardFile() == kCameras[3].name; })) << "the sound follows the selection";
    ParkPointer();

    Keys("space");
    QImage paused;
    ASSERT_TRUE(WaitForStill(VideoPane(), "grid_paused", &paused));
    // Each tile stops within a picture of the others: across a second's change of colour, two
    // neighbouring tiles may show the two seconds, but never a third or a dark tile.
    EXPECT_TRUE(PausedTogether(TileColours("grid_paused_colours")));
    // A tenth of the slider is a tenth of the grid's 25 s from the earliest start: before the late
    // camera's footage.
    const WindowGeometry seek = InCtrlBar(CtrlBar().seek);
    Click(seek.x + 8 + (seek.width - 16) / 10, seek.y + seek.height / 2, kLeft);
    ParkPointer();
    EXPECT_TRUE(WaitForChange(paused, VideoPane(), "grid_sought")) << "the seek back shows another moment";
    EXPECT_TRUE(WaitUntil([&] {
        const std::vector<Colour> colours = TileColours("grid_sought_colours");
        return FootageInStep(colours) && colours[3] == Colour::Black;
    })) << "at 2.5 s the late camera has no footage yet";
    Keys("space");
    EXPECT_TRUE(WaitUntil([&] { return InStep(TileColours("grid_resumed"), {0, 1, 2, 3}); }, 15000));
    EXPECT_TRUE(MostlyInStep("grid_resumed_playing"));
    // Beside the files: the selected tile's picture, then one of every tile's.
    Keys("s");
    EXPECT_TRUE(WaitForJpegs(1));
    Keys("ctrl+s");
    EXPECT_TRUE(WaitForJpegs(5));

    // Just left of the pane's middle lies the black beside the first tiles' pictures, clear of the
    // frame around a selected one: no picture reaches it in the grid.
    const WindowGeometry v = VideoPane();
    const WindowGeometry middle{v.x + v.width / 2 - 11, v.y + v.height / 2 - 5, 6, 10};
    const auto doubleClickTile = [&] {
        RunCommand("xdotool mousemove " + std::to_string(TileMiddle(3).x + 10) + " " +
                   std::to_string(TileMiddle(3).y + 10) + " click --repeat 2 --delay 80 1");
        ParkPointer();
    };
    EXPECT_EQ(Classify(Average(Screenshot("grid_middle"), middle)), Colour::Black);
    doubleClickTile();
    EXPECT_TRUE(WaitForColourAt(middle, [](Colour seen) { return seen != Colour::Black; }, "grid_alone"))
        << "the selected tile alone over the pane";
    doubleClickTile();
    EXPECT_TRUE(WaitForColourAt(middle, Colour::Black, "grid_again")) << "the grid again";
    EXPECT_EQ(SanitizerReports(), "");
}
