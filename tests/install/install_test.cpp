// An install into a temporary prefix: the programs, data, desktop entry, file type and icons it
// lays out, and the installed player started from another folder under the test display, which
// works in its data folder and stores a language choice in the user's configuration folder and
// nowhere under the prefix.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "language/language_store.h"
#include "tests/support/fixtures.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kRecordingType = "video/x-telvane-recording";
constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool HaveCommand(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The command's standard output and error; *status receives its exit status.
std::string RunCommand(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    const int result = ::pclose(pipe);
    if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

template <typename Done>
bool PollUntil(int timeoutMs, Done done) {
    for (int waited = 0;; waited += 100) {
        if (done()) return true;
        if (waited >= timeoutMs) return false;
        SleepMs(100);
    }
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteWholeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every file under the folder with its size and time of change, to tell that nothing was written.
std::map<std::string, std::string> Listing(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::ostringstream state;
        if (entry.is_regular_file()) state << entry.file_size() << " ";
        state << entry.last_write_time().time_since_epoch().count();
        files[fs::relative(entry.path(), folder).string()] = state.str();
    }
    return files;
}

// The value of a key of a desktop entry's main group.
std::string DesktopValue(const std::string& entry, const std::string& key) {
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

class InstallTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/telvane-install-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        s_root = new fs::path(fs::canonical(pattern));
        s_installOutput = new std::string(RunCommand(std::string("'") + TELVANE_CMAKE + "' --install '" +
                                                     TELVANE_BINARY_DIR + "' --prefix '" + Prefix().string() + "'",
                                                     &s_installStatus));
    }
    static void TearDownTestSuite() {
        if (s_root) fs::remove_all(*s_root);
        delete s_root;
        delete s_installOutput;
        s_root = nullptr;
        s_installOutput = nullptr;
    }
    void SetUp() override { ASSERT_EQ(s_installStatus, 0) << *s_installOutput; }

    static fs::path Root() { return *s_root; }
    static fs::path Prefix() { return *s_root / "prefix"; }
    static fs::path Share() { return Prefix() / "share"; }

private:
    static inline fs::path* s_root = nullptr;
    static inline std::string* s_installOutput = nullptr;
    static inline int s_installStatus = -1;
};

TEST_F(InstallTest, ProgramsGoToBinAndTheirDataToShare) {
    std::vector<std::string> expected = {
        "bin/Quillon", "bin/telvane-play", "bin/telvane-record-writer",
        "share/telvane/langconfig/0409.ini", "share/telvane/langconfig/currentcfg.ini",
        "share/telvane/pictures/background.png", "share/telvane/images/play.png",
        "share/applications/telvane.desktop", "share/mime/packages/telvane.xml",
    };
#ifdef TELVANE_HAVE_CONVERTER
    expected.push_back("bin/Kadrel");
#endif
    for (const std::string& path : expected) EXPECT_TRUE(fs::is_regular_file(Prefix() / path)) << path;
    for (const char* program : {"Quillon", "telvane-play"}) {
        EXPECT_NE(fs::status(Prefix() / "bin" / program).permissions() & fs::perms::owner_exec, fs::perms::none)
            << program;
    }
}

TEST_F(InstallTest, TheIconComesInEveryStandardSize) {
    for (int size : kIconSizes) {
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        const QImage icon(QString::fromStdString((Share() / "icons/hicolor" / dir / "apps/telvane.png").string()));
        EXPECT_EQ(icon.size(), QSize(size, size)) << dir;
    }
}

TEST_F(InstallTest, DesktopEntryIsValidAndStartsTheInstalledPlayerWithItsTypes) {
    const fs::path entryPath = Share() / "applications/telvane.desktop";
    const std::string entry = ReadWholeFile(entryPath);
    const std::string exec = DesktopValue(entry, "Exec");
    EXPECT_EQ(exec, "Quillon %F");
    EXPECT_TRUE(fs::is_regular_file(Prefix() / "bin" / exec.substr(0, exec.find(' '))));
    EXPECT_EQ(DesktopValue(entry, "Icon"), "telvane");
    const std::string types = DesktopValue(entry, "MimeType");
    for (const std::string& type : {std::string(kRecordingType), std::string("video/x-msvideo"),
                                    std::string("video/mp4"), std::string("video/x-matroska")})
        EXPECT_NE(types.find(type + ";"), std::string::npos) << type;

    if (!HaveCommand("desktop-file-validate")) GTEST_SKIP() << "no desktop-file-validate";
    int status = -1;
    const std::string said = RunCommand("desktop-file-validate '" + entryPath.string() + "'", &status);
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(said, "");
}

// A recording's header followed by one frame, as the recorders write it.
std::string RecordingBytes() {
    fixtures::RawFrame frame;
    frame.payload = {0, 0, 0, 1, 0x65, 0x88};
    const std::vector<uint8_t> bytes = fixtures::EncodeRecording(fixtures::VideoOnlyHeader(), {frame});
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(InstallTest, ARecordingIsKnownByItsMagicNumberWhateverItsName) {
    if (!HaveCommand("update-mime-database") || !HaveCommand("xdg-mime"))
        GTEST_SKIP() << "no update-mime-database or xdg-mime";
    // The install brought the prefix's database up to date; the system's types stay visible.
    ASSERT_TRUE(fs::is_regular_file(Share() / "mime/mime.cache"));
    const std::string environment =
        "XDG_DATA_HOME='" + Share().string() + "' XDG_DATA_DIRS=/usr/share XDG_CURRENT_DESKTOP= ";

    std::string recording = RecordingBytes();
    std::string notARecording = recording;
    notARecording[0] ^= 0x01;
    struct Case {
        const char* name;
        const std::string* bytes;
        bool isRecording;
    };
    const Case cases[] = {
        {"camera.bin", &recording, true},
        {"camera", &recording, true},
        {"CAMERA.REC", &recording, true},
        {"other.bin", &notARecording, false},
    };
    for (const Case& c : cases) {
        const fs::path file = Root() / c.name;
        WriteWholeFile(file, *c.bytes);
        const std::string type = Trimmed(RunCommand(environment + "xdg-mime query filetype '" + file.string() + "'"));
        EXPECT_EQ(type == kRecordingType, c.isRecording) << c.name << ": " << type;
    }
    EXPECT_EQ(Trimmed(RunCommand(environment + "xdg-mime query default " + kRecordingType)), "telvane.desktop");
}

// Runs the installed player from another folder, with the user's configuration in a folder of
// the test's, and drives it under the test display.
class InstalledPlayerTest : public InstallTest {
protected:
    void SetUp() override {
        InstallTest::SetUp();
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) GTEST_SKIP() << "no DISPLAY";
        if (!HaveCommand("xdotool")) GTEST_SKIP() << "no xdotool";
        // Restarted players are started detached; as their subreaper this process reaps them.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        fs::create_directories(Elsewhere());
    }
    void TearDown() override {
        for (pid_t pid : InstalledPlayers()) ::kill(pid, SIGKILL);
        if (m_pid > 0) ::kill(m_pid, SIGKILL);
        PollUntil(5000, [] { return ::waitpid(-1, nullptr, WNOHANG) < 0; });
    }

    fs::path Elsewhere() const { return Root() / "elsewhere"; }
    fs::path ConfigHome() const { return Root() / "config"; }
    fs::path DataFolder() const { return Share() / "telvane"; }
    std::string Log() const { return ReadWholeFile(Root() / "player.log"); }

    pid_t Start() {
        const std::string program = (Prefix() / "bin/Quillon").string();
        const std::string configHome = ConfigHome().string();
        const std::string elsewhere = Elsewhere().string();
        const std::string log = (Root() / "player.log").string();
        const std::string suppressions = std::string("suppressions=") + TELVANE_SOURCE_DIR + "/tests/app/lsan.supp";
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(elsewhere.c_str()) != 0) ::_exit(126);
            if (!std::freopen(log.c_str(), "a", stderr)) ::_exit(126);
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
            ::setenv("LANGUAGE", "en_US", 1);
            ::setenv("LANG", "C.UTF-8", 1);
            ::unsetenv("LC_ALL");
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            ::unsetenv("TELVANE_WINDOW_RECT");
            ::setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    }

    // The installed players running, the ones a language switch started included.
    std::vector<pid_t> InstalledPlayers() const {
        std::vector<pid_t> players;
        const fs::path program = fs::weakly_canonical(Prefix() / "bin/Quillon");
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const pid_t pid = static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
            std::error_code error;
            if (pid > 0 && fs::read_symlink(entry.path() / "exe", error) == program) players.push_back(pid);
        }
        return players;
    }

    unsigned long WaitForWindow(pid_t pid, const std::string& name, int timeoutMs = 20000) const {
        unsigned long window = 0;
        PollUntil(timeoutMs, [&] {
            window = std::strtoul(RunCommand("xdotool search --all --onlyvisible --pid " + std::to_string(pid) +
                                             " --name '" + name + "' 2>/dev/null")
                                      .c_str(),
                                  nullptr, 10);
            return window != 0;
        });
        return window;
    }

    size_t WindowCount(pid_t pid, const std::string& name) const {
        const std::string found = RunCommand("xdotool search --all --onlyvisible --pid " + std::to_string(pid) +
                                             " --name '" + name + "' 2>/dev/null");
        return static_cast<size_t>(std::count(found.begin(), found.end(), '\n'));
    }

    // Where the caption of the window is, clear of its icon, title and buttons.
    std::pair<int, int> CaptionPoint(unsigned long window) const {
        std::istringstream shell(RunCommand("xdotool getwindowgeometry --shell " + std::to_string(window)));
        std::map<std::string, int> values;
        for (std::string line; std::getline(shell, line);) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos) values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
        }
        return {values["X"] + values["WIDTH"] / 2, values["Y"] + 17};
    }

    static void Keys(const std::string& keys) { RunCommand("xdotool key --delay 150 " + keys); }

    int MenuPosition(const std::string& id) const {
        LanguageStore store(0x409, (DataFolder() / "langconfig").string() + "/");
        store.BuildLanguageList();
        const auto& list = store.InstalledLanguages();
        return static_cast<int>(std::find(list.begin(), list.end(), id) - list.begin());
    }

    pid_t m_pid = 0;
};

TEST_F(InstalledPlayerTest, RunsInItsDataFolderAndKeepsTheLanguageChoiceInTheUsersFolder) {
    const std::map<std::string, std::string> installed = Listing(Prefix());
    m_pid = Start();
    const unsigned long window = WaitForWindow(m_pid, "^Telvane$");
    ASSERT_NE(window, 0u) << Log();
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(m_pid) + "/cwd"), fs::canonical(DataFolder()));
    SleepMs(800);  // a window just shown activates itself a moment later
    RunCommand("xdotool windowfocus " + std::to_string(window));
    SleepMs(300);

    // The open key shows the file dialog; while it has the keyboard the key is the dialog's.
    Keys("o");
    ASSERT_NE(WaitForWindow(m_pid, "^Open$", 5000), 0u) << Log();
    SleepMs(400);
    Keys("o");
    SleepMs(600);
    EXPECT_EQ(WindowCount(m_pid, "^Open$"), 1u);
    Keys("Escape");
    ASSERT_TRUE(PollUntil(5000, [&] { return WindowCount(m_pid, "^Open$") == 0; }));

    const auto [x, y] = CaptionPoint(window);
    RunCommand("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.1 click 3");
    SleepMs(800);
    std::string keys = "Down Right";
    for (int k = 0; k < MenuPosition("0407"); ++k) keys += " Down";
    Keys(keys + " Return");

    int status = -1;
    ASSERT_TRUE(PollUntil(20000, [&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; })) << Log();
    m_pid = 0;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Log();
    EXPECT_EQ(ReadWholeFile(ConfigHome() / "telvane/currentcfg.ini"), std::string("0407\0", 5));
    EXPECT_EQ(Listing(Prefix()), installed) << "nothing under the prefix is written";

    // The new instance starts in the chosen language, in the data folder again.
    std::vector<pid_t> players;
    PollUntil(10000, [&] { return !(players = InstalledPlayers()).empty(); });
    ASSERT_EQ(players.size(), 1u) << Log();
    EXPECT_NE(WaitForWindow(players.front(), "^Telvane$"), 0u) << Log();
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(players.front()) + "/cwd"), fs::canonical(DataFolder()));
}

}  // namespace
