// The sync thread: compares the audio clock with the video clock and sets the waits the video and
// audio threads apply; a speed code overrides them.

#include "engine/debug_output.h"
#include "engine/player_core.h"
#include "engine/sync_delays.h"

namespace {

constexpr uint32_t kNoAudioVideoDelayMs = 55;  // unused without sound: the renderer paces
constexpr uint32_t kNoAudioPauseMs = 2;
constexpr uint32_t kNormalSpeedPauseMs = 5;
// Not part of the rule itself: keeps the thread from spinning a core while a speed is set.
constexpr uint32_t kSpeedPauseMs = 5;

}  // namespace

void CPlayerCore::SyncThread() {
    while (m_bRunning) {
        if (!m_bHasAudio) {
            if (!PassGate(m_hRunEvent)) return;
            SyncWithoutAudio();
            continue;
        }
        if (!SyncWithAudio()) return;
    }
}

void CPlayerCore::SyncWithoutAudio() {
    m_hSyncGate.Reset();
    m_nVideoDelay = kNoAudioVideoDelayMs;
    m_hSyncGate.Set();
    platform::Sleep(kNoAudioPauseMs);
}

// One cycle; false when the thread must end.
bool CPlayerCore::SyncWithAudio() {
    if (m_bReadEof && m_bAudioStarved && m_bVideoStarved) return false;
    if (!PassGate(m_hRunEvent)) return false;
    int64_t audioClockMs = 0;
    int64_t videoClockMs = 0;
    {
        platform::CsGuard guard(m_csPosition);
        audioClockMs = static_cast<uint32_t>(m_nPosition);
        videoClockMs = VideoUnitsToMs(m_nLastVideoTs.load());
    }
    bool slowOrFast = false;
    int speedCode = 0;
    {
        platform::CsGuard guard(m_csSpeed);
        slowOrFast = m_bSlow || m_bFast;
        speedCode = m_nSpeed;
    }
    if (!slowOrFast && m_bHasVideo) {
        m_hSyncGate.Reset();
        int32_t frameDelta = 0;  // stream units
        {
            platform::CsGuard guard(m_csDelta);
            frameDelta = m_nFrameDelta;
        }
        int audioFrameSamples = 0;
        {
            platform::CsGuard guard(m_csAudioFrame);
            audioFrameSamples = m_nAudioFrameSamples;
        }
        const int64_t audioFrameMs =
            m_nAudioSampleRate > 0 ? int64_t{audioFrameSamples} * 1000 / m_nAudioSampleRate : 0;
        const auto frameIntervalMs = static_cast<int32_t>(VideoUnitsToMs(frameDelta));
        const SyncDelays delays = ChooseNormalSpeedDelays(audioClockMs, videoClockMs, frameIntervalMs, audioFrameMs);
        if (delays.clockSettled) m_bClockStarted = 1;
        m_nAudioDelay = delays.audioDelayMs;
        m_nVideoDelay = delays.videoDelayMs;
        m_hSyncGate.Set();
        platform::Sleep(kNormalSpeedPauseMs);
    }
    SyncDelays delays{m_nAudioDelay, m_nVideoDelay, false};
    if (slowOrFast && ChooseSpeedDelays(speedCode, GetFrameRate(), &delays)) platform::Sleep(kSpeedPauseMs);
    if (LimitDelays(&delays)) OutputDebugText("\n\nSYNC AV EXCEPTION \n\n");
    m_nAudioDelay = delays.audioDelayMs;
    m_nVideoDelay = delays.videoDelayMs;
    return true;
}
