#include "shell/grid_clock.h"

#include <algorithm>
#include <cstdlib>

namespace {

const RecordedClock* FirstKnownClock(const std::vector<GridFile>& files) {
    for (const GridFile& file : files)
        if (file.clock.IsKnown()) return &file.clock;
    return nullptr;
}

}  // namespace

GridLine LayGridLine(const std::vector<GridFile>& files) {
    GridLine line;
    const RecordedClock* first = FirstKnownClock(files);
    if (first) {
        line.start = *first;
        for (const GridFile& file : files) {
            if (file.clock.kind == first->kind) line.start.startMs = std::min(line.start.startMs, file.clock.startMs);
        }
    }
    for (const GridFile& file : files) {
        GridTileSpan span;
        if (first && file.clock.kind == first->kind) span.offsetMs = file.clock.startMs - line.start.startMs;
        span.durationMs = std::max<int64_t>(file.durationMs, 0);
        line.lengthMs = std::max(line.lengthMs, span.EndMs());
        line.tiles.push_back(span);
    }
    return line;
}

bool TileOutOfStep(const GridTileSpan& tile, int64_t filePositionMs, int64_t gridMs, int64_t pictureIntervalMs) {
    const int64_t offBy = tile.offsetMs + filePositionMs - gridMs;
    return std::llabs(offBy) > 2 * std::max<int64_t>(pictureIntervalMs, 1);
}
