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

#include "engine/activity_scan.h"
#include "engine/recorded_clock_source.h"
#include "tools/telvane_play/headless_player.h"
#include "tools/telvane_play/play_options.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

const char* SpanName(TimelineSpanKind kind) {
    switch (kind) {
        case TimelineSpanKind::Activity: return "activity";
        case TimelineSpanKind::Gap: return "gap";
        case TimelineSpanKind::Damage: return "damage";
    }
    return "";
}

// One line per stretch, "activity: START_MS-END_MS" in ms from the start, then its clock times.
int ListActivity(const std::string& file) {
    constexpr uint32_t kIndexWaitMs = 10 * 60 * 1000;
    const ActivityTimeline timeline = FindActivity(file.c_str(), kIndexWaitMs);
    if (timeline.walkedMs < 0) {
        std::fprintf(stderr, "telvane-play: cannot read %s\n", file.c_str());
        return 1;
    }
    const RecordedClock clock = ReadRecordedClock(file.c_str());
    for (const TimelineSpan& span : timeline.spans) {
        std::printf("%s: %lld-%lld", SpanName(span.kind), static_cast<long long>(span.startMs),
                    static_cast<long long>(span.endMs));
        if (clock.IsKnown()) {
            std::printf(" %s - %s", FormatClockIso8601(clock, span.startMs, ClockZone::Local).c_str(),
                        FormatClockIso8601(clock, span.endMs, ClockZone::Local).c_str());
        }
        std::printf("\n");
    }
    std::printf("walked_ms: %lld%s\n", static_cast<long long>(timeline.walkedMs),
                timeline.complete ? "" : " (incomplete)");
    return 0;
}

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
    if (options.activity) return ListActivity(options.file);
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
