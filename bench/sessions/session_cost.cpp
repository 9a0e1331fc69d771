// Prints what one more playback session costs, as a grid of cameras adds them: N sessions are
// opened on copies of one recording (a recording is held by the session that opens it), left idle,
// played together and stopped, and the process's memory, threads and CPU time are read at each
// step. Every figure is given per session: the difference from before, divided by N.
//
//   telvane-bench-sessions RECORDING [SESSIONS] [PLAY_SECONDS]

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/player_core.h"
#include "platform/offscreen_video_target.h"
#include "platform/recording_window.h"
#include "platform/sync.h"

namespace {

// A grid tile: the renderer scales each picture down to it.
constexpr int kTileWidth = 320;
constexpr int kTileHeight = 180;
constexpr uint32_t kWarmUpMs = 1000;

struct Tile {
    platform::OffscreenVideoTarget target{kTileWidth, kTileHeight};
    platform::RecordingWindow notify;
    CPlayerCore core;  // last, so it ends before what it draws into and reports to
};

// A "Name:   value kB" line of /proc/self/status.
long StatusValue(const std::string& name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
    }
    return 0;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct Sample {
    long rssKb = StatusValue("VmRSS");
    long threads = StatusValue("Threads");
};

void PrintPerSession(const char* what, const Sample& before, const Sample& after, int sessions) {
    std::printf("%s_memory_kb_per_session: %ld\n", what, (after.rssKb - before.rssKb) / sessions);
    std::printf("%s_threads_per_session: %.1f\n", what, double(after.threads - before.threads) / sessions);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RECORDING [SESSIONS] [PLAY_SECONDS]\n", argv[0]);
        return 2;
    }
    const std::string recording = argv[1];
    const int sessions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
    const int playSeconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const std::filesystem::path copies =
        std::filesystem::temp_directory_path() / ("telvane-bench-sessions-" + std::to_string(getpid()));
    std::filesystem::create_directories(copies);
    std::vector<std::string> files;
    for (int i = 0; i < sessions; ++i) {
        files.push_back((copies / ("camera" + std::to_string(i) + ".rec")).string());
        std::filesystem::copy_file(recording, files.back(), std::filesystem::copy_options::overwrite_existing);
    }

    std::printf("file: %s\nsessions: %d\n", recording.c_str(), sessions);
    const Sample empty;
    std::vector<std::unique_ptr<Tile>> tiles;
    double openMs = 0;
    for (const std::string& file : files) {
        tiles.push_back(std::make_unique<Tile>());
        Tile& tile = *tiles.back();
        const auto start = std::chrono::steady_clock::now();
        if (!tile.core.Attach(tile.target.Handle(), tile.notify.Handle()) || !tile.core.OpenFile(file.c_str())) {
            std::fprintf(stderr, "cannot open %s\n", tile.core.GetOpenError().c_str());
            return 1;
        }
        openMs += MsSince(start);
    }
    std::printf("open_ms_per_session: %.1f\n", openMs / sessions);
    platform::Sleep(kWarmUpMs);
    const Sample idle;
    PrintPerSession("idle", empty, idle, sessions);

    for (auto& tile : tiles) tile->core.Play();
    platform::Sleep(kWarmUpMs);
    const double cpuBefore = CpuSeconds();
    const auto playStart = std::chrono::steady_clock::now();
    platform::Sleep(static_cast<uint32_t>(playSeconds) * 1000);
    const double cpuShare = (CpuSeconds() - cpuBefore) / (MsSince(playStart) / 1000.0);
    const Sample playing;
    PrintPerSession("playing", empty, playing, sessions);
    std::printf("playing_cpu_percent_of_one_core_per_session: %.1f\n", 100.0 * cpuShare / sessions);

    double stopMs = 0;
    for (auto& tile : tiles) {
        const auto start = std::chrono::steady_clock::now();
        tile->core.StopPlay();
        stopMs += MsSince(start);
    }
    std::printf("stop_ms_per_session: %.1f\n", stopMs / sessions);
    // A file change also destroys the stopped session on the window's thread (timed here with its
    // off-screen target, which costs next to nothing).
    const auto destroyStart = std::chrono::steady_clock::now();
    tiles.clear();
    std::printf("destroy_ms_per_session: %.1f\n", MsSince(destroyStart) / sessions);
    std::filesystem::remove_all(copies);
    return 0;
}
