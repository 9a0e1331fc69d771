// The player as a native client of a Wayland compositor: it starts, plays with sound, takes its keys,
// goes full screen and back, and moves and resizes by its own caption and edges through the
// compositor. Weston's headless back end has no seat, so what needs a pointer or a keyboard runs on
// weston nested in the test's X display, whose window hands xdotool's input on to its seat.

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <QImage>
#include <QRect>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/app_harness.h"
#include "tests/audio/audio_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/wayland/private_weston.h"

namespace fs = std::filesystem;

namespace {

constexpr int kClipSeconds = 30;
constexpr int kCaptionGrabY = 12;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The raw volume of the default sink; -1 when unknown.
long DefaultSinkVolume() {
    const std::string output = RunCommand("pactl get-sink-volume @DEFAULT_SINK@ 2>/dev/null");
    std::smatch match;
    if (!std::regex_search(output, match, std::regex(R"(front-left:\s*(\d+))"))) return -1;
    return std::stol(match[1]);
}

size_t SinkInputCount() {
    const std::string output = RunCommand("pactl list short sink-inputs 2>/dev/null");
    return static_cast<size_t>(std::count(output.begin(), output.end(), '\n'));
}

bool MakeClip(const std::string& path) {
    const std::string seconds = std::to_string(kClipSeconds);
    return fixtures::RunProgram({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i",
                                 "testsrc2=size=320x240:rate=25:duration=" + seconds, "-f", "lavfi", "-i",
                                 "sine=frequency=440:sample_rate=8000:duration=" + seconds, "-c:v", "libx264",
                                 "-preset", "veryfast", "-g", "25", "-bf", "0", "-pix_fmt", "yuv420p", "-c:a",
                                 "aac", "-ac", "1", "-shortest", path}) == 0;
}

class WaylandPlayerTest : public testing::Test {
protected:
    void StartCompositor(WestonBackend backend) {
        if (!PrivateWeston::Installed()) GTEST_SKIP() << "weston or weston-screenshooter is not installed";
        if (backend == WestonBackend::NestedInX11 &&
            (!std::getenv("DISPLAY") || std::system("command -v xdotool >/dev/null 2>&1") != 0))
            GTEST_SKIP() << "no X display or no xdotool to drive the nested compositor's seat";
        m_weston = std::make_unique<PrivateWeston>(backend);
        ASSERT_TRUE(m_weston->Running()) << m_weston->Log();
        m_sound = std::make_unique<PrivateSoundServer>();
        ASSERT_TRUE(m_sound->Started());
        m_useSound = std::make_unique<UseSoundServer>(m_sound->Address());
        MakeFolder();
    }

    void TearDown() override {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_useSound.reset();
        m_sound.reset();
        m_weston.reset();
        if (!m_folder.empty()) fs::remove_all(m_folder);
    }

    // A private folder with the data folders the build lays out, the player and a clip.
    void MakeFolder() {
        char pattern[] = "/tmp/telvane-wayland-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_folder = fs::canonical(pattern).string();
        const fs::path bin = fs::path(TELVANE_BINARY_DIR) / "bin";
        for (const char* data : {"pictures", "images", "langconfig"}) {
            if (fs::is_directory(bin / data))
                fs::copy(bin / data, fs::path(m_folder) / data, fs::copy_options::recursive);
        }
        m_clip = m_folder + "/clip.mp4";
        ASSERT_TRUE(MakeClip(m_clip));
    }

    // Starts the player on the compositor only: no X display to fall back on.
    void StartPlayer() {
        const std::string player = (fs::path(TELVANE_BINARY_DIR) / "bin" / "Quillon").string();
        const std::string configHome = m_folder + "/config";
        const std::string suppressions = std::string("suppressions=") + TELVANE_SOURCE_DIR + "/tests/app/lsan.supp";
        std::vector<char*> argv{const_cast<char*>(player.c_str()), m_clip.data(), nullptr};
        m_pid = ::fork();
        if (m_pid == 0) {
            if (::chdir(m_folder.c_str()) != 0) ::_exit(126);
            const int log = ::open("player.log", O_WRONLY | O_CREAT | O_APPEND, 0644);
            ::dup2(log, STDOUT_FILENO);
            ::dup2(log, STDERR_FILENO);
            ::unsetenv("DISPLAY");
            ::setenv("QT_QPA_PLATFORM", "wayland", 1);
            ::setenv("WAYLAND_DISPLAY", m_weston->SocketName().c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", m_weston->RuntimeDir().c_str(), 1);
            ::setenv("LANGUAGE", "en_US", 1);
            ::setenv("LANG", "C.UTF-8", 1);
            ::unsetenv("LC_ALL");
            ::setenv("TELVANE_DEBUG_OUTPUT", "1", 1);
            ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
            ::unsetenv("TELVANE_WINDOW_RECT");
            ::setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
            ::execv(player.c_str(), argv.data());
            ::_exit(127);
        }
    }

    std::string Log() const { return ReadText(m_folder + "/player.log"); }

    // The position of the last picture the player handed to its window; -1 before the first.
    int64_t LastShownPositionMs() const {
        static const std::string kMark = "position: ";
        const std::string log = Log();
        const size_t at = log.rfind(kMark);
        return at == std::string::npos ? -1 : std::strtoll(log.c_str() + at + kMark.size(), nullptr, 10);
    }

    std::string SanitizerReports() const {
        std::istringstream log(Log());
        std::string reports;
        for (std::string line; std::getline(log, line);) {
            if (line.find("Sanitizer") != std::string::npos || line.find("runtime error:") != std::string::npos)
                reports += line + '\n';
        }
        return reports;
    }

    // The output's covered rectangle once it satisfies wanted; the last one seen otherwise.
    OutputRect WaitForCovered(const std::function<bool(const OutputRect&)>& wanted, const std::string& shotName) {
        OutputRect seen;
        Eventually([&] {
            const QImage shot = m_weston->Screenshot(shotName);
            if (shot.isNull()) return false;
            seen = CoveredRect(shot);
            return wanted(seen);
        }, 20000);
        return seen;
    }

    // Starts the player and waits until its pictures run and its window stands on the output:
    // two screenshots in a row find it in the same place.
    void StartShownAndPlaying(const std::string& shotName) {
        StartPlayer();
        ASSERT_TRUE(Eventually([&] { return LastShownPositionMs() > 1000; }, 20000)) << Log() << m_weston->Log();
        OutputRect previous;
        m_window = WaitForCovered([&](const OutputRect& seen) {
            const bool settled = seen == previous && seen.width > 300 && seen.height > 200;
            previous = seen;
            return settled;
        }, shotName);
        ASSERT_GT(m_window.width, 300) << Log() << m_weston->Log();
    }

    // A press at from, a drag in steps by (dx, dy) and a release.
    void Drag(int fromX, int fromY, int dx, int dy) const {
        m_weston->MovePointer(fromX, fromY);
        m_weston->PressPointer();
        constexpr int kSteps = 8;
        for (int step = 1; step <= kSteps; ++step) {
            m_weston->MovePointer(fromX + dx * step / kSteps, fromY + dy * step / kSteps);
            // Spaces the motions the way a hand does; nothing is checked after it.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        m_weston->ReleasePointer();
    }

    // The pointer where its picture cannot touch the window or be counted as one.
    void ParkPointer() const {
        m_weston->MovePointer(PrivateWeston::kOutputWidth - 1, PrivateWeston::kOutputHeight - 1);
    }

    std::unique_ptr<PrivateWeston> m_weston;
    std::unique_ptr<PrivateSoundServer> m_sound;
    std::unique_ptr<UseSoundServer> m_useSound;
    std::string m_folder;
    std::string m_clip;
    pid_t m_pid = 0;
    OutputRect m_window;
};

// Whether both screenshots were taken and show the same inside area; a missing one is neither.
std::optional<bool> SameIn(const QImage& a, const QImage& b, const OutputRect& area) {
    if (a.isNull() || b.isNull()) return std::nullopt;
    const QRect rect(area.x, area.y, area.width, area.height);
    return a.copy(rect) == b.copy(rect);
}

bool WholeOutput(const OutputRect& rect) {
    return rect == OutputRect{0, 0, PrivateWeston::kOutputWidth, PrivateWeston::kOutputHeight};
}

TEST_F(WaylandPlayerTest, StartsAsANativeClientOnAHeadlessCompositorAndPlaysWithSound) {
    StartCompositor(WestonBackend::Headless);
    if (IsSkipped() || HasFatalFailure()) return;
    StartShownAndPlaying("headless_playing");
    EXPECT_NE(ReadText("/proc/" + std::to_string(m_pid) + "/maps").find("libQt6WaylandClient"), std::string::npos)
        << "the toolkit's Wayland client is loaded";
    EXPECT_TRUE(Eventually([] { return SinkInputCount() == 1; })) << "its sound plays on the private sink";
    const int64_t shown = LastShownPositionMs();
    EXPECT_TRUE(Eventually([&] { return LastShownPositionMs() >= shown + 2000; })) << "the pictures run on";
    EXPECT_EQ(SanitizerReports(), "");
}

TEST_F(WaylandPlayerTest, KeysMuteAndGoFullScreenAndBack) {
    StartCompositor(WestonBackend::NestedInX11);
    if (IsSkipped() || HasFatalFailure()) return;
    RunCommand("pactl set-sink-volume @DEFAULT_SINK@ 40000");
    StartShownAndPlaying("keys_playing");
    // Weston gives the keyboard to the window the pointer clicks.
    m_weston->MovePointer(m_window.x + m_window.width / 2, m_window.y + m_window.height / 2);
    RunCommand("xdotool click 1");
    ParkPointer();

    m_weston->Keys("m");
    EXPECT_TRUE(Eventually([] { return DefaultSinkVolume() == 0; })) << "m mutes";
    m_weston->Keys("m");
    EXPECT_TRUE(Eventually([] { return std::abs(DefaultSinkVolume() - 40000) <= 2; })) << "m sounds again";
    m_weston->Keys("Up");
    EXPECT_TRUE(Eventually([] { return DefaultSinkVolume() > 40002; })) << "Up is louder";

    // Paused, so the picture full screen shows is the one already decoded, drawn anew at the
    // output's size.
    m_weston->Keys("space f");
    EXPECT_TRUE(WholeOutput(WaitForCovered(WholeOutput, "keys_full_screen"))) << "f fills the output";
    // The picture is drawn at the output's size, not the pane's it came from: the 4:3 clip fills
    // the output's height.
    OutputRect picture;
    EXPECT_TRUE(Eventually([&] {
        picture = CoveredRect(m_weston->Screenshot("keys_full_screen_picture"), 0xff000000);
        return picture.height > PrivateWeston::kOutputHeight * 9 / 10;
    }, 20000)) << picture;
    m_weston->Keys("m");
    EXPECT_TRUE(Eventually([] { return DefaultSinkVolume() == 0; })) << "m in full screen";
    m_weston->Keys("Escape");
    const OutputRect back =
        WaitForCovered([&](const OutputRect& r) { return r == m_window; }, "keys_full_screen_left");
    EXPECT_EQ(back, m_window) << "Esc gives the window back where it was";
    EXPECT_EQ(SanitizerReports(), "");
}

TEST_F(WaylandPlayerTest, CaptionMenuMoveAndEdgeResizeGoThroughTheCompositor) {
    StartCompositor(WestonBackend::NestedInX11);
    if (IsSkipped() || HasFatalFailure()) return;
    StartShownAndPlaying("move_start");
    const OutputRect start = m_window;

    // The caption's menu opens at the pointer, over the playlist, whose look stands still.
    const int menuX = start.Right() - 200, menuY = start.y + kCaptionGrabY;
    const OutputRect underMenu{menuX + 10, menuY + 8, 100, 30};
    ParkPointer();
    const QImage before = m_weston->Screenshot("menu_before");
    m_weston->MovePointer(menuX, menuY);
    RunCommand("xdotool click 3");
    EXPECT_TRUE(Eventually([&] { return SameIn(before, m_weston->Screenshot("menu_open"), underMenu) == false; }))
        << "the menu shows below the pointer";
    m_weston->Keys("Escape");
    ParkPointer();
    EXPECT_TRUE(Eventually([&] { return SameIn(before, m_weston->Screenshot("menu_closed"), underMenu) == true; }))
        << "Esc closes it";

    // Right and down, where the whole window stays on the output and can be measured.
    Drag(start.x + start.width / 3, start.y + kCaptionGrabY, 150, 50);
    ParkPointer();
    const OutputRect moved = WaitForCovered(
        [&](const OutputRect& r) { return r.x > start.x + 75 && r.y > start.y + 25; }, "moved_by_caption");
    EXPECT_GT(moved.x, start.x + 75) << moved;
    EXPECT_GT(moved.y, start.y + 25) << moved;
    EXPECT_EQ(moved.width, start.width);
    EXPECT_EQ(moved.height, start.height);

    ASSERT_LT(moved.Right() + 150, PrivateWeston::kOutputWidth);
    Drag(moved.Right() - 2, moved.y + moved.height / 2, 150, 0);
    ParkPointer();
    const OutputRect resized =
        WaitForCovered([&](const OutputRect& r) { return r.width > moved.width + 75; }, "resized_by_edge");
    EXPECT_GT(resized.width, moved.width + 75) << resized;
    EXPECT_EQ(resized.x, moved.x);
    EXPECT_EQ(resized.height, moved.height);
    EXPECT_EQ(SanitizerReports(), "");
}

}  // namespace
