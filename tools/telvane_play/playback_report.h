#pragma once
// What telvane-play measured during one run, and how it is summed up and printed.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class RunEnd { EndOfFile, TimeLimit, StopAction, Interrupted, SafetyLimit, NotOpened, OpenOnly };

struct PlaybackReport {
    std::string file;
    int64_t openMs = -1;            // ms that Attach and OpenFile took together
    RunEnd end = RunEnd::NotOpened;
    std::string openError;          // why the file could not be opened, naming it
    // The recorder's clock of the first picture, ISO 8601 in the local zone; empty when unknown.
    std::string recordedStart;
    int64_t durationMs = 0;         // as the session reports it
    int32_t finalPositionMs = 0;    // the session's position just before the stop
    int frameRate = 0;              // pictures per second, as the session reports it
    uint64_t picturesPushed = 0;    // pictures the session handed to the renderer
    uint64_t picturesPresented = 0; // pictures that reached the video window
    int64_t firstPictureMs = -1;    // ms from Play to the first picture in the window; -1 none
    // One per seek taken: ms from SeekTo to the first picture at its target; -1 when none came.
    std::vector<int64_t> seekToPictureMs;
    std::vector<int64_t> avOffsetsMs;  // picture time minus heard sound time, one per picture
    double wallSeconds = 0;         // from Play to the stop
    double cpuSeconds = 0;          // user + system time of the whole process over that span
    int64_t stopMs = -1;            // ms that StopPlay took at the end of the run
    long peakRssKb = 0;             // kB, the process's high-water mark
};

struct OffsetSummary {
    size_t count = 0;
    int64_t medianMs = 0;     // of the signed offsets: > 0 when pictures run ahead of the sound
    int64_t p95AbsoluteMs = 0;  // 95th percentile of the offsets' magnitudes
};

// The nearest-rank percentile (0 < percent <= 100) of a non-empty list.
int64_t NearestRankPercentile(std::vector<int64_t> values, double percent);
// count 0 when there are no offsets.
OffsetSummary SummariseOffsets(const std::vector<int64_t>& offsetsMs);

const char* RunEndName(RunEnd end);
void PrintReport(const PlaybackReport& report, std::FILE* out);
