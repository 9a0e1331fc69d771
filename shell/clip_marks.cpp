#include "shell/clip_marks.h"

void ClipMarks::SetStart(int64_t positionMs) {
    startMs = positionMs;
    if (endMs && *endMs <= positionMs) endMs.reset();
}

void ClipMarks::SetEnd(int64_t positionMs) {
    endMs = positionMs;
    if (startMs && *startMs >= positionMs) startMs.reset();
}

std::optional<std::pair<int64_t, int64_t>> ClipMarks::Stretch(int64_t durationMs) const {
    if (!Any()) return std::nullopt;
    const int64_t from = startMs.value_or(0);
    const int64_t to = endMs.value_or(durationMs);
    if (to <= from) return std::nullopt;
    return std::make_pair(from, to);
}
