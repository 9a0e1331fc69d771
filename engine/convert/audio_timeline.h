#pragma once
// Places sound frames on the MP4's sample clock. Frames follow each other without a gap while the
// recorder's clock agrees with the count of samples, so the small jitter of its millisecond stamps
// does not chop the sound. When the clock runs ahead by more than the tolerance (the sound dropped
// out for a while), the next frame starts where the clock says, so the sound after the gap stays
// with its pictures. A clock that falls behind is not followed: sound never goes back in time.

#include <cstdint>

class AudioTimeline {
public:
    explicit AudioTimeline(int64_t toleranceSamples) : m_nTolerance(toleranceSamples) {}

    // The start, in samples, of a frame of `samples` samples that the recorder stamped clockSamples.
    int64_t Place(int64_t clockSamples, int64_t samples) {
        if (!m_bStarted || clockSamples > m_nNext + m_nTolerance) m_nNext = clockSamples;
        m_bStarted = true;
        int64_t start = m_nNext;
        m_nNext += samples;
        return start;
    }

    // Where the next frame starts when the clock agrees.
    int64_t Next() const { return m_nNext; }

private:
    int64_t m_nTolerance;
    int64_t m_nNext = 0;
    bool m_bStarted = false;
};
