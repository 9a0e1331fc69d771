#pragma once
// The grid's one clock: the recorders' clocks of its files laid on one line. The grid's position
// counts ms from the earliest start; each tile's footage begins at its offset on that line and
// lasts its file's duration. Pure functions of their inputs: any thread.

#include <cstdint>
#include <vector>

#include "engine/recorded_clock.h"

struct GridTileSpan {
    int64_t offsetMs = 0;    // where the file's position 0 lies on the grid's line
    int64_t durationMs = 0;  // the file's length

    int64_t EndMs() const { return offsetMs + durationMs; }
    bool HasFootageAt(int64_t gridMs) const { return gridMs >= offsetMs && gridMs < EndMs(); }
    // The file's position at the grid's moment (below 0 before its start, beyond its end after).
    int64_t FilePositionAt(int64_t gridMs) const { return gridMs - offsetMs; }
};

struct GridLine {
    RecordedClock start;  // the clock at grid position 0: the earliest start; unknown when no file has a clock
    int64_t lengthMs = 0;  // from the earliest start to the latest end
    std::vector<GridTileSpan> tiles;
};

struct GridFile {
    RecordedClock clock;
    int64_t durationMs = 0;
};

// Files whose clock is unknown, or of another kind than the first known one (a time of day beside a
// full date cannot be placed), start at the grid's start.
GridLine LayGridLine(const std::vector<GridFile>& files);

// Whether a tile that plays at filePositionMs while the grid stands at gridMs has left its place:
// more than two picture intervals off. Closer than that is the jitter of reading the positions.
bool TileOutOfStep(const GridTileSpan& tile, int64_t filePositionMs, int64_t gridMs, int64_t pictureIntervalMs);
