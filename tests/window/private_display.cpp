#include "private_display.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace window_test {
namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class PrivateDisplay : public ::testing::Environment {
public:
    void SetUp() override {
        int number = 150;
        while (number < 250 && (Exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
                                Exists("/tmp/.X" + std::to_string(number) + "-lock")))
            ++number;
        const std::string name = ":" + std::to_string(number);
        char xvfb[] = "Xvfb";
        char screen[] = "-screen";
        char zero[] = "0";
        char size[] = "1280x800x24";
        char noTcp[] = "-nolisten";
        char tcp[] = "tcp";
        std::string display = name;
        char* argv[] = {xvfb, display.data(), screen, zero, size, noTcp, tcp, nullptr};
        if (posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, argv, environ) != 0) {
            m_pid = 0;
            return;
        }
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        for (int i = 0; i < 200 && !Exists(socket); ++i) usleep(20000);
        if (!Exists(socket)) return;
        setenv("DISPLAY", name.c_str(), 1);
        g_running = true;
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
