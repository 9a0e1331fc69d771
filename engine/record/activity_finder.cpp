#include "engine/record/activity_finder.h"

#include <algorithm>

namespace {

// How far a level moves towards a new value after elapsedMs, for a level that takes spanMs.
double Step(int64_t elapsedMs, int64_t spanMs) {
    return std::clamp(double(elapsedMs) / double(spanMs), 0.0, 1.0);
}

}  // namespace

void ActivityFinder::Reset() {
    m_anyFrame = m_anyDelta = m_active = m_pending = false;
    m_lastKeyMs = INT64_MIN;
    m_walkedMs = -1;
    m_complete = false;
    platform::CsGuard guard(m_csPublished);
    m_published.clear();
}

void ActivityFinder::AddFrame(int64_t timeMs, bool video, bool keyFrame, uint32_t bytes, bool afterDamage) {
    NoteHole(timeMs, afterDamage);
    if (video && keyFrame) m_lastKeyMs = timeMs;
    if (video && !keyFrame) TrackLevels(timeMs, double(bytes));
    if (timeMs > m_lastFrameMs || !m_anyFrame) m_lastFrameMs = timeMs;
    m_anyFrame = true;
    m_walkedMs.store(m_lastFrameMs, std::memory_order_relaxed);
    m_complete.store(false, std::memory_order_relaxed);
}

void ActivityFinder::NoteHole(int64_t timeMs, bool afterDamage) {
    if (!m_anyFrame) return;
    if (afterDamage) {
        Publish({TimelineSpanKind::Damage, m_lastFrameMs, std::max(timeMs, m_lastFrameMs)});
    } else if (timeMs - m_lastFrameMs >= kGapMs) {
        Publish({TimelineSpanKind::Gap, m_lastFrameMs, timeMs});
    }
    // Nothing is known of what moved in a hole: a stretch open before it ends there.
    if ((afterDamage || timeMs - m_lastFrameMs >= kGapMs) && m_active) CloseStretch();
    if (timeMs - m_lastFrameMs >= kGapMs) m_anyDelta = false;  // the scene may have changed
}

void ActivityFinder::TrackLevels(int64_t timeMs, double bytes) {
    if (!m_anyDelta) {
        m_anyDelta = true;
        m_firstDeltaMs = m_lastDeltaMs = timeMs;
        m_shortLevel = m_quietLevel = bytes;
        return;
    }
    const int64_t elapsedMs = std::clamp<int64_t>(timeMs - m_lastDeltaMs, 1, 1000);
    m_lastDeltaMs = timeMs;
    // Encoders refresh the noise in the first predicted frames after a key frame, which makes them
    // larger for a moment: outside a stretch, those frames may lower the short level, not raise it.
    const bool afterKey = m_lastKeyMs != INT64_MIN && timeMs - m_lastKeyMs < kAfterKeyMs;
    if (m_active || !afterKey || bytes < m_shortLevel) {
        m_shortLevel += (bytes - m_shortLevel) * Step(elapsedMs, kShortLevelMs);
    }
    // An encoder's rate control settles in its first seconds: the quiet level follows it faster
    // then, and at its lasting pace once the scene is known.
    const int64_t riseMs = std::clamp<int64_t>(timeMs - m_firstDeltaMs, kQuietFirstRiseMs, kQuietRiseMs);
    const bool quieter = m_shortLevel < m_quietLevel;
    m_quietLevel += (m_shortLevel - m_quietLevel) * Step(elapsedMs, quieter ? kQuietFallMs : riseMs);

    const double ratio = m_active ? kLeaveRatio : kEnterRatio;
    const bool moving = m_shortLevel > m_quietLevel * ratio && m_shortLevel - m_quietLevel > kMinRiseBytes;
    if (moving && !m_active) {
        m_active = true;
        m_activeStartMs = timeMs;
        m_activeLastMs = timeMs;
    }
    // The short level lags behind the end of the movement; the last frame that was itself
    // larger than the quiet scene's marks it.
    if (m_active && bytes > m_quietLevel * kLeaveRatio && bytes - m_quietLevel > kMinRiseBytes) m_activeLastMs = timeMs;
    if (!moving && m_active) CloseStretch();
}

// A closed stretch waits for the next, which may join it; only a lasting one is published.
void ActivityFinder::CloseStretch() {
    m_active = false;
    const TimelineSpan stretch{TimelineSpanKind::Activity, m_activeStartMs, m_activeLastMs};
    if (m_pending && stretch.startMs - m_pendingSpan.endMs < kJoinWithinMs) {
        m_pendingSpan.endMs = stretch.endMs;
        return;
    }
    if (m_pending && m_pendingSpan.endMs - m_pendingSpan.startMs >= kShortestMs) Publish(m_pendingSpan);
    m_pendingSpan = stretch;
    m_pending = true;
}

void ActivityFinder::Finish() {
    if (m_active) CloseStretch();
    if (m_pending && m_pendingSpan.endMs - m_pendingSpan.startMs >= kShortestMs) Publish(m_pendingSpan);
    m_pending = false;
    m_complete = true;
}

void ActivityFinder::Publish(TimelineSpan span) {
    platform::CsGuard guard(m_csPublished);
    m_published.push_back(span);
}

ActivityTimeline ActivityFinder::Snapshot() const {
    ActivityTimeline timeline;
    timeline.complete = m_complete;
    timeline.walkedMs = m_walkedMs;
    platform::CsGuard guard(m_csPublished);
    timeline.spans = m_published;
    std::stable_sort(timeline.spans.begin(), timeline.spans.end(),
                     [](const TimelineSpan& a, const TimelineSpan& b) { return a.startMs < b.startMs; });
    return timeline;
}
