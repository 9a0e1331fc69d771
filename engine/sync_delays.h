#pragma once
// The rules by which the sync thread chooses how long the video thread waits before each picture
// and the audio thread before each write. Pure functions of the clocks, so they can be checked
// against their table of cases without threads.

#include <cstdint>

// Delays in milliseconds, unsigned like the fields they are stored in. A rule whose arithmetic
// goes below zero (an audio frame shorter than the margin it subtracts, or none decoded yet)
// gives 0: a wrapped value would be a wait of weeks for any thread that read it.
struct SyncDelays {
    uint32_t audioDelayMs = 0;
    uint32_t videoDelayMs = 0;
    // The clocks agree closely enough for seeking to be allowed from now on.
    bool clockSettled = false;
};

// Normal speed. audioClockMs / videoClockMs: the audio and video clocks; frameIntervalMs: the
// time between the last two pictures; audioFrameMs: the duration of one decoded audio frame
// (0 while none has been decoded).
SyncDelays ChooseNormalSpeedDelays(int64_t audioClockMs, int64_t videoClockMs, int32_t frameIntervalMs,
                                   int64_t audioFrameMs);

// A speed code 1..4 fixes the wait before each picture from the frame rate (pictures per second;
// 0 or less when not measured yet, then 25 is assumed). Returns false for any other code, which
// leaves the delays to the normal rule.
bool ChooseSpeedDelays(int speedCode, int framesPerSecond, SyncDelays* delays);

// Waits above one second mean the clocks are broken: the audio wait is dropped and the video
// wait falls back to a plain 35 ms. Returns true when a delay had to be replaced. Applied before
// the delays are stored, so no thread ever reads one beyond the limit.
bool LimitDelays(SyncDelays* delays);

// While no sound is heard (an audio track that ended before the pictures, sound that cannot be
// decoded, a sound server gone), the pictures keep their own pace: the wait is the time between
// the last two pictures, 40 ms while that is not known. No audio wait.
SyncDelays ChooseOwnPaceDelays(int32_t frameIntervalMs);

// The video thread's own guard at the moment of use: a wait above 200 ms becomes 40 ms.
uint32_t VideoDelayAtUseMs(uint32_t videoDelayMs);
