#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/sync.h"
#include "tests/audio/audio_test_support.h"

extern char** environ;

namespace {

constexpr uint32_t kStartTimeoutMs = 10000;

std::vector<std::string> ServerEnvironment(const std::string& dir) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        // Off the session bus too: a bus holds one server's name, and a second server there quits.
        if (variable.rfind("XDG_RUNTIME_DIR=", 0) != 0 && variable.rfind("PULSE_", 0) != 0 &&
            variable.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) != 0)
            env.push_back(variable);
    }
    env.push_back("XDG_RUNTIME_DIR=" + dir);
    env.push_back("PULSE_RUNTIME_PATH=" + dir);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

PrivateSoundServer::PrivateSoundServer() {
    char pattern[] = "/tmp/telvane-audio-test.XXXXXX";
    if (!mkdtemp(pattern)) return;
    m_dir = pattern;
    const std::string socket = m_dir + "/native";
    std::vector<std::string> args = {
        "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
        "--use-pid-file=no", "--disable-shm=yes",
        "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket,
        "--load=module-null-sink sink_name=private_null"};
    std::vector<std::string> env = ServerEnvironment(m_dir);
    std::vector<char*> argv = Pointers(args), envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return;
    m_pid = pid;

    struct stat info {};
    const uint64_t endMs = platform::TickMs64() + kStartTimeoutMs;
    while (stat(socket.c_str(), &info) != 0 && platform::TickMs64() < endMs) platform::Sleep(20);
    if (stat(socket.c_str(), &info) != 0) Kill();
}

PrivateSoundServer::~PrivateSoundServer() {
    Kill();
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
}

void PrivateSoundServer::Kill() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}
