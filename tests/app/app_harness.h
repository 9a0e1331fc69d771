#pragma once
// Runs the real player under the test display, in a private folder holding the data folders and a
// private copy of the language files, and drives it the way a person would: xdotool for the
// pointer and keys, screenshots of the whole screen.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <QImage>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct WindowGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

std::ostream& operator<<(std::ostream& out, const WindowGeometry& geometry);

// xdotool's number of the left pointer button, and the height of the player's skinned caption.
inline constexpr int kLeft = 1;
inline constexpr int kCaptionHeight = 35;

// The sanitized player runs several times slower than the plain one, more so on a busy machine:
// every deadline a test gives it is scaled by this.
int ScaledMs(int ms);
// Polls until done() holds or the scaled deadline passes; whether it held.
bool Eventually(const std::function<bool()>& done, int timeoutMs = 10000);

class AppTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The private folder the player runs in.
    const std::string& Folder() const { return m_folder; }
    std::string LangFolder() const { return m_folder + "/langconfig/"; }
    void WriteConfig(const std::string& bytes) const;
    std::string ReadConfig() const;
    void RemoveConfig() const;

    // Starts the player; language is the user's locale (LANGUAGE), "en_US" by default;
    // restartRect, when given, the window rectangle a restarting player hands on; arguments go on
    // its command line.
    pid_t Start(const std::string& language = "en_US", const char* restartRect = nullptr,
                const std::vector<std::string>& arguments = {});
    // Waits for a process started here, or restarted by one, to end; its exit status.
    std::optional<int> WaitForExit(pid_t pid, int timeoutMs = 20000);
    // The players running in the private folder, the restarted ones included.
    std::vector<pid_t> RunningPlayers() const;

    // The first visible window of pid whose name matches the regular expression; 0 when none
    // appears in time.
    unsigned long WaitForWindow(pid_t pid, const std::string& namePattern, int timeoutMs = 20000);
    bool WaitForWindowGone(unsigned long window, int timeoutMs = 10000);
    size_t VisibleWindowCount(pid_t pid) const;
    WindowGeometry Geometry(unsigned long window) const;

    void MoveWindow(unsigned long window, int x, int y) const;
    void ResizeWindow(unsigned long window, int width, int height) const;
    // Gives window the keyboard and waits until it has it.
    bool Focus(unsigned long window) const;
    // Waits until window has the keyboard, however it got it.
    bool WaitForFocus(unsigned long window, int timeoutMs = 10000) const;
    void Click(int x, int y, int button) const;
    void Keys(const std::string& keys) const;
    static void Pause(int ms);

    // A screenshot of the whole screen, saved as <name>.png among the build's screenshots.
    QImage Screenshot(const std::string& name) const;
    // Waits until something is painted inside the screen rectangle; whether it was.
    bool WaitUntilPainted(const WindowGeometry& area, int timeoutMs = 10000) const;
    // True when the two pictures differ anywhere inside the screen rectangle.
    static bool Differs(const QImage& a, const QImage& b, const WindowGeometry& area);

    // The position (ms from the file's start) of the last picture the player handed to its window,
    // from its diagnostics; -1 before the first.
    int64_t LastShownPositionMs() const;

    // What the player wrote to its standard error, the restarted instances' included.
    std::string Log() const;
    // Everything the sanitizers reported.
    std::string SanitizerReports() const;

private:
    void KillLeftovers();
    std::string DescribeMissingWindow(pid_t pid) const;

    // A connection held for the whole test: a server that resets when its last client leaves
    // would refuse the player a language switch starts while the old one is closing.
    struct _XDisplay* m_pKeepDisplay = nullptr;

    std::string m_folder;
    std::vector<pid_t> m_started;
};

// Runs a shell command and returns its standard output.
std::string RunCommand(const std::string& command);
