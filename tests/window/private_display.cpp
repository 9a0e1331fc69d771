#include "private_display.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

// A suite that needs another screen size defines it.
#ifndef TELVANE_PRIVATE_DISPLAY_SIZE
#define TELVANE_PRIVATE_DISPLAY_SIZE "1280x800x24"
#endif

namespace window_test {
namespace {

class PrivateDisplay : public ::testing::Environment {
public:
    // Xvfb picks a free display number itself and writes it to a pipe, so test processes that
    // start at the same moment never end up sharing one display.
    void SetUp() override {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return;
        std::string fd = std::to_string(pipeFds[1]);
        char xvfb[] = "Xvfb";
        char displayFd[] = "-displayfd";
        char screen[] = "-screen";
        char zero[] = "0";
        char size[] = TELVANE_PRIVATE_DISPLAY_SIZE;
        char noTcp[] = "-nolisten";
        char tcp[] = "tcp";
        char* argv[] = {xvfb, displayFd, fd.data(), screen, zero, size, noTcp, tcp, nullptr};
        const bool spawned = posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, argv, environ) == 0;
        close(pipeFds[1]);
        if (!spawned) m_pid = 0;
        const std::string number = spawned ? ReadDisplayNumber(pipeFds[0]) : std::string();
        close(pipeFds[0]);
        if (number.empty()) return;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        g_running = true;
    }

    // The number arrives as a line once the server accepts connections; 4 s at most.
    static std::string ReadDisplayNumber(int fd) {
        std::string number;
        pollfd readable{fd, POLLIN, 0};
        char c = 0;
        while (poll(&readable, 1, 4000) > 0 && read(fd, &c, 1) == 1 && c != '\n') number += c;
        return c == '\n' ? number : std::string();
    }

    void TearDown() override {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }

    static bool g_running;

private:
    pid_t m_pid = 0;
};

bool PrivateDisplay::g_running = false;

[[maybe_unused]] ::testing::Environment* const g_display = ::testing::AddGlobalTestEnvironment(new PrivateDisplay);

}  // namespace

bool PrivateDisplayRunning() { return PrivateDisplay::g_running; }

}  // namespace window_test
