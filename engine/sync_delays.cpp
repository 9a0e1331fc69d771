#include "engine/sync_delays.h"

namespace {

constexpr int kAssumedFramesPerSecond = 25;
constexpr uint32_t kDelayLimitMs = 1000;
constexpr uint32_t kVideoDelayFallbackMs = 35;
constexpr uint32_t kVideoDelayAtUseLimitMs = 200;
constexpr uint32_t kVideoDelayAtUseFallbackMs = 40;
constexpr uint32_t kSpeedAudioDelayMs = 10;

constexpr uint32_t kUnknownIntervalMs = 40;
// Within this of the sound the picture is on time; beyond it, in the near-synchronous bands, each
// picture is moved kAimStepMs towards the sound, a step too small to be seen as a jolt.
constexpr int64_t kAimToleranceMs = 10;
constexpr int32_t kAimStepMs = 5;

uint32_t AsDelay(int64_t ms) { return ms > 0 ? static_cast<uint32_t>(ms) : 0; }

bool IsUsualFrameInterval(int32_t frameIntervalMs) { return frameIntervalMs >= 20 && frameIntervalMs <= 80; }

uint32_t VideoBehindDelayMs(int32_t frameIntervalMs) {
    if (frameIntervalMs > 10) return AsDelay(frameIntervalMs - 10);
    if (frameIntervalMs > 0) return 10;
    return 25;
}

uint32_t SlightlyBehindDelayMs(int32_t frameIntervalMs, int64_t behindMs) {
    if (frameIntervalMs > 100) return AsDelay(frameIntervalMs - frameIntervalMs / 5);
    if (IsUsualFrameInterval(frameIntervalMs) && behindMs > kAimToleranceMs) return AsDelay(frameIntervalMs - kAimStepMs);
    if (frameIntervalMs > 0) return AsDelay(frameIntervalMs);
    return 30;
}

uint32_t LevelOrSlightlyAheadDelayMs(int32_t frameIntervalMs, int64_t aheadMs) {
    if (!IsUsualFrameInterval(frameIntervalMs)) return 40;
    return AsDelay(aheadMs > kAimToleranceMs ? frameIntervalMs + kAimStepMs : frameIntervalMs);
}

// A time line that steps back gives a negative interval; the picture still waits the plain
// fallback rather than not at all.
uint32_t VideoAheadDelayMs(int32_t frameIntervalMs) {
    if (frameIntervalMs < 0) return kVideoDelayFallbackMs;
    return AsDelay(IsUsualFrameInterval(frameIntervalMs) ? frameIntervalMs + 10 : frameIntervalMs);
}

}  // namespace

SyncDelays ChooseNormalSpeedDelays(int64_t audioClockMs, int64_t videoClockMs, int32_t frameIntervalMs,
                                   int64_t audioFrameMs) {
    const int64_t audioAheadMs = audioClockMs - videoClockMs;
    SyncDelays delays;
    if (audioAheadMs > 200) {  // video far behind: show pictures quickly, feed sound slowly
        delays.audioDelayMs = AsDelay(audioFrameMs - 10);
        delays.videoDelayMs = 10;
    } else if (audioAheadMs >= 20) {  // video behind
        delays.clockSettled = true;
        delays.audioDelayMs = AsDelay(audioFrameMs - 5);
        delays.videoDelayMs = VideoBehindDelayMs(frameIntervalMs);
    } else if (audioAheadMs > 0) {  // in step, video slightly behind
        delays.videoDelayMs = SlightlyBehindDelayMs(frameIntervalMs, audioAheadMs);
    } else if (-audioAheadMs > 150) {  // video ahead
        delays.videoDelayMs = VideoAheadDelayMs(frameIntervalMs);
    } else {  // video level or slightly ahead
        delays.clockSettled = true;
        delays.videoDelayMs = LevelOrSlightlyAheadDelayMs(frameIntervalMs, -audioAheadMs);
    }
    return delays;
}

SyncDelays ChooseOwnPaceDelays(int32_t frameIntervalMs) {
    SyncDelays delays;
    delays.videoDelayMs = frameIntervalMs > 0 ? AsDelay(frameIntervalMs) : kUnknownIntervalMs;
    return delays;
}

bool ChooseSpeedDelays(int speedCode, int framesPerSecond, SyncDelays* delays) {
    const int fps = framesPerSecond > 0 ? framesPerSecond : kAssumedFramesPerSecond;
    const uint32_t frameMs = static_cast<uint32_t>(1000 / fps);
    switch (speedCode) {
        case 1: delays->videoDelayMs = frameMs * 4; break;
        case 2: delays->videoDelayMs = frameMs * 2; break;
        case 3: delays->videoDelayMs = frameMs / 2; break;
        case 4: delays->videoDelayMs = frameMs / 4; break;
        default: return false;
    }
    delays->audioDelayMs = kSpeedAudioDelayMs;
    return true;
}

bool LimitDelays(SyncDelays* delays) {
    const bool exceeded = delays->videoDelayMs > kDelayLimitMs || delays->audioDelayMs > kDelayLimitMs;
    if (delays->audioDelayMs > kDelayLimitMs) delays->audioDelayMs = 0;
    if (delays->videoDelayMs > kDelayLimitMs) delays->videoDelayMs = kVideoDelayFallbackMs;
    return exceeded;
}

uint32_t VideoDelayAtUseMs(uint32_t videoDelayMs) {
    return videoDelayMs > kVideoDelayAtUseLimitMs ? kVideoDelayAtUseFallbackMs : videoDelayMs;
}
