#pragma once
// Tells the sync thread whether sound is being heard, from successive looks at the heard-sound
// clock. The pictures follow the heard sound while it moves; once it has stood still (or stayed
// unknown) for a while of playing time, the sound has stopped (an audio track shorter than the
// pictures, sound that cannot be decoded, a sound server that went away) and the pictures keep
// their own pace. Only playing time counts: a long gap between two looks is a pause or a seek
// and adds no more than one look's worth. Sync thread only; no lock.

#include <cstdint>

class CSoundStallWatch {
public:
    // Still for this much playing time, the sound has stopped. Longer than a sound server takes
    // to report progress and than the first sound takes to be heard.
    static constexpr int64_t kStallMs = 300;
    // The most one gap between two looks counts for.
    static constexpr int64_t kLongestCountedGapMs = 50;

    // One look: heardMs is the stream time of the sound heard now, -1 when unknown; nowMs a
    // monotonic clock.
    void Look(int64_t heardMs, int64_t nowMs);
    // Playing time without sound starts again, as after a change of speed: no sound was written
    // while the speed was off normal, so its silence proves nothing.
    void Restart();
    bool SoundStopped() const { return m_stillMs >= kStallMs; }

private:
    int64_t m_lastHeardMs = -1;
    int64_t m_lastLookMs = -1;
    int64_t m_stillMs = 0;
};
