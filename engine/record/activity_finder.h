#pragma once
// Finds where the picture changes from the sizes of the compressed video frames alone, without
// decoding: a fixed camera's still scene, sensor noise and all, compresses its predicted frames to
// a steady size; something moving through it makes them larger for as long as it moves. The
// finder keeps two levels of the predicted frames' sizes, a short one (the last fraction of a
// second) and the quiet level of the scene (which falls at once to a quieter scene and rises
// slowly, so night noise or a changed bit rate become the new quiet), and calls a stretch active
// while the short level stands well above the quiet one. Key frames say nothing about movement
// (their size is the whole picture's) and are left out. Ratios rather than byte counts keep the
// rule for any picture size and bit rate.
//
// It also notes the stretches the timeline has no frames for (the recorder stopped) and those it
// lost to damage.
//
// Threads: one thread feeds it (Add*, Finish); Snapshot may be called on any thread at the same
// time and takes m_csPublished briefly; Add* takes it only when a span is published.

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/sync.h"

enum class TimelineSpanKind { Activity, Gap, Damage };

struct TimelineSpan {
    TimelineSpanKind kind;
    int64_t startMs;  // on the feeder's clock
    int64_t endMs;

    friend bool operator==(const TimelineSpan&, const TimelineSpan&) = default;
};

// What is known of a file's timeline so far.
struct ActivityTimeline {
    std::vector<TimelineSpan> spans;  // in time order within each kind
    int64_t walkedMs = -1;            // how far the walk has come; -1 before its first frame
    bool complete = false;            // the walk met the end of the data
};

class ActivityFinder {
public:
    // Tuned on our fixtures and the shapes of camera streams: pictures every 40 to 1000 ms, key
    // frames every 1 to 10 s, constant and variable bit rates.
    static constexpr double kEnterRatio = 1.6;   // short level over quiet level to start a stretch
    static constexpr double kLeaveRatio = 1.25;  // and to keep it going
    static constexpr int64_t kAfterKeyMs = 700;
    static constexpr double kMinRiseBytes = 48;  // a tiny quiet level's jitter is no movement
    static constexpr int64_t kShortLevelMs = 400;
    static constexpr int64_t kQuietFallMs = 1000;
    static constexpr int64_t kQuietRiseMs = 60'000;
    static constexpr int64_t kQuietFirstRiseMs = 3000;
    static constexpr int64_t kJoinWithinMs = 1500;  // stretches closer than this are one
    static constexpr int64_t kShortestMs = 400;     // shorter ones are a frame's accident
    static constexpr int64_t kGapMs = 3000;         // no frame for this long is a gap

    // Forgets everything, for a new walk. Not while another thread calls Snapshot.
    void Reset();
    // One frame of the stream, in time order. afterDamage: the walk stepped over damaged bytes
    // just before it.
    void AddFrame(int64_t timeMs, bool video, bool keyFrame, uint32_t bytes, bool afterDamage);
    // The walk met the end of the data; an open stretch ends at the last frame. Feeding more
    // (a growing file) reopens it.
    void Finish();
    ActivityTimeline Snapshot() const;

private:
    void NoteHole(int64_t timeMs, bool afterDamage);
    void TrackLevels(int64_t timeMs, double bytes);
    void CloseStretch();
    void Publish(TimelineSpan span);

    // Feeder's thread only.
    bool m_anyFrame = false;
    int64_t m_lastFrameMs = 0;
    bool m_anyDelta = false;
    int64_t m_lastDeltaMs = 0;
    int64_t m_firstDeltaMs = 0;
    int64_t m_lastKeyMs = INT64_MIN;
    double m_shortLevel = 0;  // bytes
    double m_quietLevel = 0;  // bytes
    bool m_active = false;
    int64_t m_activeStartMs = 0;
    int64_t m_activeLastMs = 0;
    bool m_pending = false;  // a closed stretch that the next may still join
    TimelineSpan m_pendingSpan{TimelineSpanKind::Activity, 0, 0};

    // Read by Snapshot on any thread.
    std::atomic<int64_t> m_walkedMs{-1};
    std::atomic<bool> m_complete{false};
    mutable platform::CriticalSection m_csPublished;
    std::vector<TimelineSpan> m_published;  // guarded by m_csPublished
};
