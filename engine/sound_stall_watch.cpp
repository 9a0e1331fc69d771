#include "engine/sound_stall_watch.h"

#include <algorithm>

void CSoundStallWatch::Look(int64_t heardMs, int64_t nowMs) {
    const bool moved = heardMs >= 0 && heardMs != m_lastHeardMs;
    if (moved) {
        m_stillMs = 0;
    } else if (m_lastLookMs >= 0) {
        m_stillMs += std::clamp<int64_t>(nowMs - m_lastLookMs, 0, kLongestCountedGapMs);
    }
    m_lastHeardMs = heardMs;
    m_lastLookMs = nowMs;
}

void CSoundStallWatch::Restart() {
    m_stillMs = 0;
    m_lastLookMs = -1;
}
