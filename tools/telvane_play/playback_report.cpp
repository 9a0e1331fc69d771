#include "tools/telvane_play/playback_report.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdlib>

int64_t NearestRankPercentile(std::vector<int64_t> values, double percent) {
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(values.size()));
    const size_t index = static_cast<size_t>(std::clamp(rank, 1.0, static_cast<double>(values.size()))) - 1;
    return values[index];
}

OffsetSummary SummariseOffsets(const std::vector<int64_t>& offsetsMs) {
    OffsetSummary summary;
    summary.count = offsetsMs.size();
    if (offsetsMs.empty()) return summary;
    std::vector<int64_t> magnitudes;
    magnitudes.reserve(offsetsMs.size());
    for (int64_t offset : offsetsMs) magnitudes.push_back(std::llabs(offset));
    summary.medianMs = NearestRankPercentile(offsetsMs, 50);
    summary.p95AbsoluteMs = NearestRankPercentile(std::move(magnitudes), 95);
    return summary;
}

const char* RunEndName(RunEnd end) {
    switch (end) {
        case RunEnd::EndOfFile: return "end_of_file";
        case RunEnd::TimeLimit: return "time_limit";
        case RunEnd::StopAction: return "stop_action";
        case RunEnd::Interrupted: return "interrupted";
        case RunEnd::SafetyLimit: return "safety_limit";
        case RunEnd::NotOpened: return "not_opened";
        case RunEnd::OpenOnly: return "open_only";
    }
    return "unknown";
}

void PrintReport(const PlaybackReport& report, std::FILE* out) {
    std::fprintf(out, "file: %s\n", report.file.c_str());
    std::fprintf(out, "ended_by: %s\n", RunEndName(report.end));
    std::fprintf(out, "open_ms: %" PRId64 "\n", report.openMs);
    if (report.end == RunEnd::NotOpened) return;
    std::fprintf(out, "recorded_start: %s\n", report.recordedStart.empty() ? "n/a" : report.recordedStart.c_str());
    if (report.end == RunEnd::OpenOnly) return;
    std::fprintf(out, "duration_ms: %" PRId64 "\n", report.durationMs);
    std::fprintf(out, "final_position_ms: %" PRId32 "\n", report.finalPositionMs);
    std::fprintf(out, "frame_rate: %d\n", report.frameRate);
    std::fprintf(out, "pictures_pushed: %" PRIu64 "\n", report.picturesPushed);
    std::fprintf(out, "pictures_presented: %" PRIu64 "\n", report.picturesPresented);
    std::fprintf(out, "first_picture_ms: %" PRId64 "\n", report.firstPictureMs);
    std::fprintf(out, "seek_to_picture_ms:");
    for (int64_t ms : report.seekToPictureMs) std::fprintf(out, " %" PRId64, ms);
    std::fprintf(out, "%s\n", report.seekToPictureMs.empty() ? " n/a" : "");
    const OffsetSummary offsets = SummariseOffsets(report.avOffsetsMs);
    std::fprintf(out, "av_offset_samples: %zu\n", offsets.count);
    if (offsets.count > 0) {
        std::fprintf(out, "av_offset_median_ms: %" PRId64 "\n", offsets.medianMs);
        std::fprintf(out, "av_offset_p95_abs_ms: %" PRId64 "\n", offsets.p95AbsoluteMs);
    } else {
        std::fprintf(out, "av_offset_median_ms: n/a\nav_offset_p95_abs_ms: n/a\n");
    }
    std::fprintf(out, "wall_seconds: %.3f\n", report.wallSeconds);
    std::fprintf(out, "cpu_seconds: %.3f\n", report.cpuSeconds);
    std::fprintf(out, "cpu_per_second: %.3f\n",
                 report.wallSeconds > 0 ? report.cpuSeconds / report.wallSeconds : 0.0);
    std::fprintf(out, "stop_ms: %" PRId64 "\n", report.stopMs);
    std::fprintf(out, "peak_rss_mib: %.1f\n", static_cast<double>(report.peakRssKb) / 1024.0);
}
