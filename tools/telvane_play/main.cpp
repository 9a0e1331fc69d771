// telvane-play: plays one file headless through the playback engine and prints what happened:
// pictures presented, duration and position, time to the first picture, how far pictures and
// sound were apart, CPU time and memory. Sound goes to the sound server's default output.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tools/telvane_play/headless_player.h"
#include "tools/telvane_play/play_options.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

int ExitStatus(RunEnd end) {
    switch (end) {
        case RunEnd::NotOpened: return 1;
        case RunEnd::SafetyLimit: return 2;
        default: return 0;
    }
}

}  // namespace

int main(int argc, char** argv) {
    PlayOptions options;
    std::string error;
    if (!ParsePlayOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::fprintf(stderr, "telvane-play: %s\n%s", error.c_str(), PlayUsage());
        return 1;
    }
    if (options.help) {
        std::printf("%s", PlayUsage());
        return 0;
    }
    av_log_set_level(AV_LOG_ERROR);
    // A first Ctrl-C ends the run with a report; the session is stopped as at the end of a file.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    PlaybackReport report;
    {
        HeadlessPlayer player(options, g_interrupted);
        report = player.Run();
    }
    PrintReport(report, stdout);
    if (report.end == RunEnd::NotOpened) {
        const std::string reason = report.openError.empty() ? options.file + ": cannot be opened" : report.openError;
        std::fprintf(stderr, "telvane-play: %s\n", reason.c_str());
    }
    return ExitStatus(report.end);
}
