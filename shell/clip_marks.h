#pragma once
// The stretch of the playing file marked for export: a start and an end, each set at the playing
// position. A start set at or after the end, or an end at or before the start, drops the other
// mark, so the two never cross. User-interface thread only.

#include <cstdint>
#include <optional>
#include <utility>

struct ClipMarks {
    std::optional<int64_t> startMs;
    std::optional<int64_t> endMs;

    void SetStart(int64_t positionMs);
    void SetEnd(int64_t positionMs);
    void Clear() { startMs = endMs = std::nullopt; }
    bool Any() const { return startMs || endMs; }

    // The stretch to export, from and to in ms, of a file durationMs long: a missing start is the
    // file's start and a missing end its end. None without marks, or when a lone start lies at the
    // end of a file whose length is not known.
    std::optional<std::pair<int64_t, int64_t>> Stretch(int64_t durationMs) const;
};
