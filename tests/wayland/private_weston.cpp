#include "tests/wayland/private_weston.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <vector>

#include "tests/app/app_harness.h"

namespace fs = std::filesystem;
extern char** environ;

namespace {

// Rows and columns with no more differing pixels than this are background with a pointer on it.
constexpr int kPointerPixels = 24;
constexpr int kWestonStartTimeoutMs = 20000;

bool HaveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// No panel, no screen lock, no animations that would show a window half there.
void WriteWestonConfig(const std::string& path) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "0x%08x", PrivateWeston::kBackground);
    std::ofstream(path) << "[core]\nidle-time=0\n"
                        << "[shell]\nbackground-color=" << colour << "\npanel-position=none\nlocking=false\n"
                        << "animation=none\nclose-animation=none\nstartup-animation=none\nfocus-animation=none\n";
}

std::vector<char*> WestonArgumentPointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The environment with the compositor's runtime folder in place of the session's.
std::vector<std::string> WestonEnvironment(const std::string& runtimeDir) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        if (variable.rfind("XDG_RUNTIME_DIR=", 0) != 0 && variable.rfind("WAYLAND_DISPLAY=", 0) != 0)
            env.push_back(variable);
    }
    env.push_back("XDG_RUNTIME_DIR=" + runtimeDir);
    return env;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const OutputRect& rect) {
    return out << rect.width << 'x' << rect.height << '+' << rect.x << '+' << rect.y;
}

bool PrivateWeston::Installed() { return HaveProgram("weston") && HaveProgram("weston-screenshooter"); }

PrivateWeston::PrivateWeston(WestonBackend backend) {
    char pattern[] = "/tmp/telvane-weston-XXXXXX";
    if (!::mkdtemp(pattern)) return;
    m_runtimeDir = pattern;
    ::chmod(m_runtimeDir.c_str(), 0700);
    const std::string config = m_runtimeDir + "/weston.ini";
    WriteWestonConfig(config);
    // The screenshooter protocol is offered only with --debug, and the headless back end reads
    // pixels back only with a renderer that draws.
    std::vector<std::string> args = {
        "weston",
        backend == WestonBackend::Headless ? "--backend=headless-backend.so" : "--backend=x11-backend.so",
        "--socket=" + m_socketName, "--config=" + config, "--use-pixman", "--debug", "--idle-time=0",
        "--width=" + std::to_string(kOutputWidth), "--height=" + std::to_string(kOutputHeight),
        "--log=" + m_runtimeDir + "/weston.log"};
    std::vector<std::string> env = WestonEnvironment(m_runtimeDir);
    std::vector<char*> argv = WestonArgumentPointers(args), envp = WestonArgumentPointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, (m_runtimeDir + "/weston.err").c_str(),
                                     O_WRONLY | O_CREAT, 0644);
    pid_t pid = 0;
    const bool spawned = ::posix_spawnp(&pid, "weston", &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) return;
    m_pid = pid;
    if (!WaitForSocket()) {
        Kill();
        return;
    }
    if (backend == WestonBackend::NestedInX11) {
        m_outputWindow = FindOutputWindow();
        if (m_outputWindow == 0) Kill();
    }
}

PrivateWeston::~PrivateWeston() {
    Kill();
    if (!m_runtimeDir.empty()) {
        std::error_code ignored;
        fs::remove_all(m_runtimeDir, ignored);
    }
}

// The socket is there once weston listens; it ending first is a failed start.
bool PrivateWeston::WaitForSocket() const {
    const std::string socket = m_runtimeDir + "/" + m_socketName;
    return Eventually([&] {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) return true;
        return fs::exists(socket);
    }, kWestonStartTimeoutMs) && ::kill(m_pid, 0) == 0 && fs::exists(socket);
}

// Weston names its output's X window in its log.
unsigned long PrivateWeston::FindOutputWindow() const {
    static const std::string kMark = "window id ";
    unsigned long window = 0;
    Eventually([&] {
        const std::string log = Log();
        const size_t at = log.find(kMark);
        if (at != std::string::npos) window = std::strtoul(log.c_str() + at + kMark.size(), nullptr, 10);
        return window != 0;
    }, kWestonStartTimeoutMs);
    if (window == 0) return 0;
    const WindowGeometry geometry = [&] {
        std::istringstream shell(RunCommand("xdotool getwindowgeometry --shell " + std::to_string(window)));
        WindowGeometry g;
        for (std::string line; std::getline(shell, line);) {
            if (line.rfind("X=", 0) == 0) g.x = std::atoi(line.c_str() + 2);
            if (line.rfind("Y=", 0) == 0) g.y = std::atoi(line.c_str() + 2);
        }
        return g;
    }();
    const_cast<PrivateWeston*>(this)->m_windowX = geometry.x;
    const_cast<PrivateWeston*>(this)->m_windowY = geometry.y;
    return window;
}

void PrivateWeston::Kill() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    if (!Eventually([&] { return ::waitpid(m_pid, nullptr, WNOHANG) == m_pid; }, 5000)) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = 0;
}

std::string PrivateWeston::Log() const {
    return ReadAll(m_runtimeDir + "/weston.log") + ReadAll(m_runtimeDir + "/weston.err");
}

// The screenshooter writes a file named for the second it was taken into its working folder: each
// shot is taken in an empty folder of its own and moved where the screenshots go.
QImage PrivateWeston::Screenshot(const std::string& name) const {
    const fs::path shotDir = fs::path(m_runtimeDir) / "shot";
    fs::remove_all(shotDir);
    fs::create_directories(shotDir);
    RunCommand("cd '" + shotDir.string() + "' && XDG_RUNTIME_DIR='" + m_runtimeDir + "' WAYLAND_DISPLAY='" +
               m_socketName + "' weston-screenshooter >/dev/null 2>&1");
    for (const auto& entry : fs::directory_iterator(shotDir)) {
        const fs::path folder = fs::path(TELVANE_BINARY_DIR) / "screenshots";
        fs::create_directories(folder);
        const fs::path target = folder / ("wayland_" + name + ".png");
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
        return QImage(QString::fromStdString(target.string())).convertToFormat(QImage::Format_RGB32);
    }
    return QImage();
}

void PrivateWeston::MovePointer(int outputX, int outputY) const {
    RunCommand("xdotool mousemove " + std::to_string(m_windowX + outputX) + " " +
               std::to_string(m_windowY + outputY));
}

void PrivateWeston::PressPointer() const { RunCommand("xdotool mousedown 1"); }
void PrivateWeston::ReleasePointer() const { RunCommand("xdotool mouseup 1"); }

void PrivateWeston::Keys(const std::string& keys) const { RunCommand("xdotool key --delay 150 " + keys); }

OutputRect CoveredRect(const QImage& output, unsigned background) {
    std::vector<int> rows(output.height()), columns(output.width());
    for (int y = 0; y < output.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(output.constScanLine(y));
        for (int x = 0; x < output.width(); ++x) {
            if ((line[x] | 0xff000000) == background) continue;
            ++rows[y];
            ++columns[x];
        }
    }
    auto span = [](const std::vector<int>& counts, int& first, int& size) {
        int last = -1;
        first = -1;
        for (int i = 0; i < static_cast<int>(counts.size()); ++i) {
            if (counts[i] <= kPointerPixels) continue;
            if (first < 0) first = i;
            last = i;
        }
        size = first < 0 ? 0 : last - first + 1;
        if (first < 0) first = 0;
    };
    OutputRect rect;
    span(columns, rect.x, rect.width);
    span(rows, rect.y, rect.height);
    return rect;
}
