#include "tests/app/app_harness.h"

#include <X11/Xlib.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr int kPollMs = 100;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool HaveCommand(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Polls until done() holds or the time runs out; whether it held. The time is measured, not
// counted in polls: a poll that takes a screenshot takes longer than its pause.
template <typename Done>
bool PollUntil(int timeoutMs, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        SleepMs(kPollMs);
    }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kSlowdown = 4;
#else
constexpr int kSlowdown = 1;
#endif

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int ScaledMs(int ms) { return ms * kSlowdown; }

bool Eventually(const std::function<bool()>& done, int timeoutMs) {
    return PollUntil(ScaledMs(timeoutMs), done);
}

std::ostream& operator<<(std::ostream& out, const WindowGeometry& geometry) {
    return out << geometry.width << 'x' << geometry.height << '+' << geometry.x << '+'
               << geometry.y;
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return output;
    std::array<char, 4096> buffer;
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), got);
    ::pclose(pipe);
    return output;
}

void AppTest::SetUp() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no DISPLAY";
    if (!HaveCommand("xdotool") || !HaveCommand("import")) GTEST_SKIP() << "no xdotool or import";
    m_pKeepDisplay = ::XOpenDisplay(display);
    ASSERT_NE(m_pKeepDisplay, nullptr) << "cannot reach display " << display;

    // Restarted players are started detached; as their subreaper this process can reap them.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    char pattern[] = "/tmp/telvane-app-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_folder = fs::canonical(pattern).string();
    const fs::path bin = fs::path(TELVANE_BINARY_DIR) / "bin";
    // The build lays out only the data folders the tree has.
    for (const char* data : {"pictures", "images", "langconfig"}) {
        if (fs::is_directory(bin / data))
            fs::copy(bin / data, fs::path(m_folder) / data, fs::copy_options::recursive);
    }
    fs::create_symlink(bin / "Quillon", fs::path(m_folder) / "Quillon");
}

void AppTest::TearDown() {
    KillLeftovers();
    if (!m_folder.empty()) fs::remove_all(m_folder);
    if (m_pKeepDisplay) ::XCloseDisplay(m_pKeepDisplay);
}

void AppTest::KillLeftovers() {
    for (pid_t pid : RunningPlayers()) ::kill(pid, SIGKILL);
    for (pid_t pid : m_started) ::kill(pid, SIGKILL);
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    PollUntil(5000, [] { return ::waitpid(-1, nullptr, WNOHANG) < 0; });
}

void AppTest::WriteConfig(const std::string& bytes) const {
    std::ofstream(LangFolder() + "currentcfg.ini", std::ios::binary | std::ios::trunc) << bytes;
}

// The player reads the user's choice before the shipped one and writes only the user's.
std::string AppTest::ReadConfig() const {
    const std::string user = m_folder + "/config/telvane/currentcfg.ini";
    return ReadWholeFile(fs::exists(user) ? user : LangFolder() + "currentcfg.ini");
}

void AppTest::RemoveConfig() const { fs::remove(LangFolder() + "currentcfg.ini"); }

pid_t AppTest::Start(const std::string& language, const char* restartRect,
                     const std::vector<std::string>& arguments) {
    // Built before the fork: the child of a threaded process should only exec.
    // The user's configuration folder is private to the test, as the language choice goes there.
    const std::string configHome = m_folder + "/config";
    std::vector<char*> argv{const_cast<char*>("./Quillon")};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(m_folder.c_str()) != 0) ::_exit(126);
        const int log = ::open("player.log", O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2(log, STDOUT_FILENO);
        ::dup2(log, STDERR_FILENO);
        ::setenv("LANGUAGE", language.c_str(), 1);
        ::setenv("LANG", "C.UTF-8", 1);
        ::unsetenv("LC_ALL");
        ::unsetenv("LC_MESSAGES");
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // The engine's diagnostics name each picture's position, which the tests wait for.
        ::setenv("TELVANE_DEBUG_OUTPUT", "1", 1);
        ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        if (restartRect) {
            ::setenv("TELVANE_WINDOW_RECT", restartRect, 1);
        } else {
            ::unsetenv("TELVANE_WINDOW_RECT");
        }
        const std::string suppressions =
            std::string("suppressions=") + TELVANE_SOURCE_DIR + "/tests/app/lsan.supp";
        ::setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
        ::execv("./Quillon", argv.data());
        ::_exit(127);
    }
    m_started.push_back(pid);
    return pid;
}

std::optional<int> AppTest::WaitForExit(pid_t pid, int timeoutMs) {
    std::optional<int> result;
    PollUntil(timeoutMs, [&] {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) != pid) return false;
        result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    });
    return result;
}

std::vector<pid_t> AppTest::RunningPlayers() const {
    std::vector<pid_t> players;
    if (m_folder.empty()) return players;
    DIR* proc = ::opendir("/proc");
    if (!proc) return players;
    while (const dirent* entry = ::readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        std::error_code error;
        const fs::path cwd = fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd", error);
        if (!error && cwd == m_folder) players.push_back(pid);
    }
    ::closedir(proc);
    return players;
}

unsigned long AppTest::WaitForWindow(pid_t pid, const std::string& namePattern, int timeoutMs) {
    unsigned long window = 0;
    const std::string command = "xdotool search --all --onlyvisible --pid " + std::to_string(pid) +
                                " --name '" + namePattern + "' 2>/dev/null";
    PollUntil(timeoutMs, [&] {
        window = std::strtoul(RunCommand(command).c_str(), nullptr, 10);
        return window != 0;
    });
    if (window == 0) std::cerr << DescribeMissingWindow(pid);
    return window;
}

// What a failed wait saw: whether the process lives and what it waits in, and every window it
// has, shown or not, with the search's own complaints.
std::string AppTest::DescribeMissingWindow(pid_t pid) const {
    const std::string id = std::to_string(pid);
    std::string text = "no visible window of " + id + "\n";
    std::istringstream status(ReadWholeFile("/proc/" + id + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("State:", 0) == 0 || line.rfind("Threads:", 0) == 0) text += line + '\n';
    }
    text += "wchan: " + ReadWholeFile("/proc/" + id + "/wchan") + '\n';
    text += RunCommand("for w in $(xdotool search --all --pid " + id +
                       " 2>&1); do echo \"$w\"; xwininfo -id \"$w\" 2>&1 | "
                       "grep -E 'xwininfo:|Map State|Absolute|Width|Height'; done");
    // A process it started and waits for, and where each of its threads stands: names and kernel
    // waits need no debugger, the stacks need one.
    text += RunCommand("ps -o pid,stat,wchan:20,args --ppid " + id + " 2>&1");
    text += RunCommand("for t in /proc/" + id + "/task/*; do echo \"$(cat $t/comm): "
                       "$(grep State: $t/status) $(cat $t/wchan)\"; done 2>&1");
    if (HaveCommand("gdb")) {
        text += RunCommand("gdb -p " + id + " -batch -ex 'thread apply all bt 12' 2>/dev/null | "
                           "grep -E '^(Thread|#)'");
    }
    return text;
}

bool AppTest::WaitForWindowGone(unsigned long window, int timeoutMs) {
    const std::string command =
        "xwininfo -id " + std::to_string(window) + " 2>/dev/null | grep -c IsViewable";
    return PollUntil(timeoutMs, [&] { return std::atoi(RunCommand(command).c_str()) == 0; });
}

size_t AppTest::VisibleWindowCount(pid_t pid) const {
    const std::string output =
        RunCommand("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null");
    return static_cast<size_t>(std::count(output.begin(), output.end(), '\n'));
}

WindowGeometry AppTest::Geometry(unsigned long window) const {
    std::istringstream shell(
        RunCommand("xdotool getwindowgeometry --shell " + std::to_string(window)));
    WindowGeometry geometry;
    for (std::string line; std::getline(shell, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const int value = std::atoi(line.c_str() + equals + 1);
        if (key == "X") geometry.x = value;
        if (key == "Y") geometry.y = value;
        if (key == "WIDTH") geometry.width = value;
        if (key == "HEIGHT") geometry.height = value;
    }
    return geometry;
}

void AppTest::MoveWindow(unsigned long window, int x, int y) const {
    RunCommand("xdotool windowmove --sync " + std::to_string(window) + " " + std::to_string(x) +
               " " + std::to_string(y));
}

void AppTest::ResizeWindow(unsigned long window, int width, int height) const {
    RunCommand("xdotool windowsize --sync " + std::to_string(window) + " " +
               std::to_string(width) + " " + std::to_string(height));
}

// A window just shown activates itself a moment later, which can undo a focus given before: the
// focus is given again until the window keeps it.
bool AppTest::Focus(unsigned long window) const {
    return Eventually([&] {
        if (WaitForFocus(window, 300)) return true;
        RunCommand("xdotool windowfocus " + std::to_string(window));
        return false;
    });
}

bool AppTest::WaitForFocus(unsigned long window, int timeoutMs) const {
    return Eventually([&] {
        const unsigned long focused = std::strtoul(RunCommand("xdotool getwindowfocus 2>/dev/null").c_str(), nullptr, 10);
        return focused == window;
    }, timeoutMs);
}

void AppTest::Click(int x, int y, int button) const {
    // No --sync: it waits for a motion that never comes when the pointer is already there.
    RunCommand("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
               " sleep 0.1 click " + std::to_string(button));
}

void AppTest::Keys(const std::string& keys) const {
    RunCommand("xdotool key --delay 150 " + keys);
}

void AppTest::Pause(int ms) { SleepMs(ms); }

QImage AppTest::Screenshot(const std::string& name) const {
    const fs::path folder = fs::path(TELVANE_BINARY_DIR) / "screenshots";
    fs::create_directories(folder);
    const std::string path = (folder / (name + ".png")).string();
    RunCommand("import -window root '" + path + "' 2>/dev/null");
    return QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
}

bool AppTest::WaitUntilPainted(const WindowGeometry& area, int timeoutMs) const {
    return PollUntil(timeoutMs, [&] {
        const QImage shot = Screenshot("last_wait_for_paint");
        QImage black(shot.size(), shot.format());
        black.fill(Qt::black);
        return Differs(shot, black, area);
    });
}

bool AppTest::Differs(const QImage& a, const QImage& b, const WindowGeometry& area) {
    if (a.size() != b.size()) return true;
    const int right = std::min(area.x + area.width, a.width());
    const int bottom = std::min(area.y + area.height, a.height());
    for (int y = std::max(area.y, 0); y < bottom; ++y) {
        for (int x = std::max(area.x, 0); x < right; ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) return true;
        }
    }
    return false;
}

int64_t AppTest::LastShownPositionMs() const {
    static const std::string kMark = "position: ";
    const std::string log = Log();
    const size_t at = log.rfind(kMark);
    if (at == std::string::npos) return -1;
    return std::strtoll(log.c_str() + at + kMark.size(), nullptr, 10);
}

std::string AppTest::Log() const { return ReadWholeFile(m_folder + "/player.log"); }

std::string AppTest::SanitizerReports() const {
    std::istringstream log(Log());
    std::string reports;
    for (std::string line; std::getline(log, line);) {
        if (line.find("Sanitizer") != std::string::npos ||
            line.find("runtime error:") != std::string::npos) {
            reports += line + '\n';
        }
    }
    return reports;
}
