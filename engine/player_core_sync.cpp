// The sync thread: compares the clock of the sound being heard with the video clock and sets the
// waits the video and audio threads apply; a speed code overrides them. While no sound is heard
// the pictures keep their own pace and carry the position.

#include "engine/debug_output.h"
#include "engine/playback_session.h"
#include "engine/render/d3d_render.h"
#include "engine/sync_delays.h"

namespace {

constexpr uint32_t kNormalSpeedPauseMs = 5;
// Not part of the rule itself: keeps the thread from spinning a core while a speed is set.
constexpr uint32_t kSpeedPauseMs = 5;

}  // namespace

void CPlaybackSession::SyncThread() {
    // Without sound the renderer paces the pictures by their time stamps: there is nothing to
    // choose, and the thread waits for the stop without taking a turn on a core.
    if (!m_bHasAudio) {
        m_hStopEvent.Wait(platform::kInfinite);
        return;
    }
    while (m_bRunning) {
        if (!SyncWithAudio()) return;
    }
}

// One cycle; false when the thread must end. The delays are limited before they are stored, so
// neither decoder thread ever reads one beyond the limits.
bool CPlaybackSession::SyncWithAudio() {
    if (m_bReadEof && m_bAudioStarved && m_bVideoStarved) return false;
    if (!PassGate(m_hRunEvent)) return false;
    bool slowOrFast = false;
    int speedCode = 0;
    {
        platform::CsGuard guard(m_csSpeed);
        slowOrFast = m_bSlow || m_bFast;
        speedCode = m_nSpeed;
    }
    const bool normalSpeed = !slowOrFast && m_bHasVideo;
    SyncDelays delays{m_nAudioDelay, m_nVideoDelay, false};
    if (normalSpeed) {
        m_hSyncGate.Reset();
        delays = ChooseDelaysAtNormalSpeed();
    } else {
        m_soundWatch.Restart();  // no sound is written off normal speed
    }
    const bool speedSet = slowOrFast && ChooseSpeedDelays(speedCode, GetFrameRate(), &delays);
    if (LimitDelays(&delays)) OutputDebugText("\n\nSYNC AV EXCEPTION \n\n");
    m_nAudioDelay = delays.audioDelayMs;
    m_nVideoDelay = delays.videoDelayMs;
    if (normalSpeed) {
        m_hSyncGate.Set();
        platform::Sleep(kNormalSpeedPauseMs);
    } else if (speedSet) {
        platform::Sleep(kSpeedPauseMs);
    }
    return true;
}

// The audio clock the pictures follow is the sound being heard; until any is heard, the time of
// the last sound decoded stands in for it.
SyncDelays CPlaybackSession::ChooseDelaysAtNormalSpeed() {
    const int64_t videoClockMs = m_nVideoClockMs;
    const int64_t heardMs = GetHeardAudioMs();
    if (m_bStepMode) {
        m_soundWatch.Restart();  // stepping writes no sound
    } else {
        m_soundWatch.Look(heardMs, static_cast<int64_t>(platform::TickMs64()));
    }
    int32_t frameDelta = 0;  // stream units
    {
        platform::CsGuard guard(m_csDelta);
        frameDelta = m_nFrameDelta;
    }
    const auto frameIntervalMs = static_cast<int32_t>(VideoUnitsToMs(frameDelta));
    if (m_soundWatch.SoundStopped()) {
        m_bSoundStopped = 1;
        {
            platform::CsGuard guard(m_csPosition);
            m_nPosition = static_cast<int32_t>(videoClockMs);
        }
        m_bClockStarted = 1;
        return ChooseOwnPaceDelays(frameIntervalMs);
    }
    m_bSoundStopped = 0;
    // A picture decided on now reaches the screen the presentation delay later, when the sound
    // heard is that much further on: that is the sound it is aimed at.
    int64_t audioClockMs = heardMs >= 0 ? heardMs + PresentationDelayMs() : heardMs;
    if (audioClockMs < 0) {
        platform::CsGuard guard(m_csPosition);
        audioClockMs = m_nPosition;
    }
    int audioFrameSamples = 0;
    {
        platform::CsGuard guard(m_csAudioFrame);
        audioFrameSamples = m_nAudioFrameSamples;
    }
    const int64_t audioFrameMs = m_nAudioSampleRate > 0 ? int64_t{audioFrameSamples} * 1000 / m_nAudioSampleRate : 0;
    const SyncDelays delays = ChooseNormalSpeedDelays(audioClockMs, videoClockMs, frameIntervalMs, audioFrameMs);
    if (delays.clockSettled) m_bClockStarted = 1;
    return delays;
}

// Measured by the renderer, from the decision to show a picture to its paint; 0 without one.
int64_t CPlaybackSession::PresentationDelayMs() const { return m_pRender ? m_pRender->PresentationDelayMs() : 0; }

// Video thread. The wait before a picture counts from when the previous one was due, so the
// time spent decoding and presenting is not added to every interval (at four times speed that
// would halve the pace). A picture later than one whole interval starts the schedule afresh
// instead of racing to make up for a pause or a slow stretch.
void CPlaybackSession::SleepUntilPictureDue(uint32_t intervalMs) {
    const uint64_t nowMs = platform::TickMs64();
    uint64_t dueMs = m_nLastPictureDueMs + intervalMs;
    if (m_nLastPictureDueMs == 0 || dueMs + intervalMs < nowMs) dueMs = nowMs;
    // A stop ends the wait: the window's thread waits for this thread to end.
    if (dueMs > nowMs) m_hStopEvent.Wait(static_cast<uint32_t>(dueMs - nowMs));
    m_nLastPictureDueMs = dueMs;
}

// Video thread, the run gate just passed. The first picture, or one held at the gate by a pause,
// would be shown the moment playback starts, while its sound still has the output's latency to
// go: the pictures would lead the sound by that much for as long as they keep their pace. Such a
// picture waits until its sound is heard, a fraction of a second at most, and the pictures'
// schedule starts from when it is shown. False when the session stops.
bool CPlaybackSession::WaitForItsSound(int64_t pictureMs, bool heldAtGate) {
    constexpr uint64_t kLongestWaitMs = 300;
    constexpr uint32_t kLookMs = 2;
    if (!heldAtGate && m_bPictureShown) return true;
    const bool soundKeepsTime = m_bHasAudio && m_bHasVideo && !m_bSoundStopped && !m_bStepMode && !m_bSlow && !m_bFast;
    const uint64_t giveUpMs = platform::TickMs64() + kLongestWaitMs;
    // Strictly past: before any sound is played the clock already names the first block's time.
    // The picture is let go the presentation delay early, so that it is seen with its sound.
    const int64_t letGoMs = pictureMs - PresentationDelayMs();
    while (soundKeepsTime && GetHeardAudioMs() <= letGoMs && platform::TickMs64() < giveUpMs) {
        if (m_hStopEvent.Wait(kLookMs)) return false;
    }
    m_nLastPictureDueMs = platform::TickMs64();
    m_bPictureShown = true;
    return m_bRunning != 0;
}
