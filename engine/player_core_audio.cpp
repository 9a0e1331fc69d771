// The audio thread: decodes audio packets, brings the samples to 16-bit interleaved PCM, advances
// the audio clock, waits the audio delay and writes to the sound output.

#include <algorithm>

#include "engine/audio/sound_out.h"
#include "engine/packet_queue.h"
#include "engine/playback_session.h"
#include "engine/worker_pacing.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

void CPlaybackSession::AudioThread() {
    if (!m_pSoundOut) return;
    m_pcmConverter.SetOutput(m_waveFormat.nChannels, static_cast<int>(m_waveFormat.nSamplesPerSec));
    m_soundGatherer.Start(static_cast<int>(m_waveFormat.nAvgBytesPerSec), m_waveFormat.nBlockAlign, kSoundBlockMs,
                          CSoundOut::kSlotBytes);
    AVFrame* frame = av_frame_alloc();
    while (frame && m_bRunning) {
        DropSoundOfTheOldPlace();
        if (m_hReaderDone.Wait(0)) {
            m_hStopEvent.Wait(kReaderDonePauseMs);
            continue;
        }
        AVPacket* packet = nullptr;
        int serial = 0;
        if (!m_pAudioQueue->Get(&packet, kPacketWaitMs, &serial)) {
            m_bAudioStarved = 1;
            if (m_bReadEof && !m_bSeekRequest && !PlayOutTheEnd()) break;
            if (m_bReadEof && m_bVideoStarved && !m_bSeekRequest) {
                NotifyEndOfFile();
                break;
            }
            platform::Sleep(kStarvedPauseMs);
            continue;
        }
        m_bAudioStarved = 0;
        m_bSoundPlayedOut = 0;
        // A packet taken just before a seek flushed the queue belongs to the old place.
        const bool keepRunning = serial == m_nSeekSerial ? DecodeAudioPacket(packet, serial, frame) : true;
        av_packet_free(&packet);
        if (!keepRunning) break;
    }
    av_frame_free(&frame);
}

// Once a seek is under way, the sound still queued for the old place goes unheard, rather than
// playing on over the pictures of the new place until the new sound arrives.
void CPlaybackSession::DropSoundOfTheOldPlace() {
    const int serial = m_nSeekSerial;
    if (serial == m_nSoundOutSerial) return;
    // Forgotten first, so the heard sound is never taken for the dropped sound's end.
    m_heardClock.OnOutputReset();
    m_soundGatherer.Drop();
    m_pSoundOut->Reset();
    m_nSoundOutSerial = serial;
}

// Every frame the packet yields goes through the rules; false when the thread must end.
bool CPlaybackSession::DecodeAudioPacket(AVPacket* packet, int serial, AVFrame* frame) {
    if (serial != m_nAudioDecoderSerial) {
        avcodec_flush_buffers(m_pAudioCodecCtx);  // the first packet after a seek
        m_nAudioDecoderSerial = serial;
    }
    if (avcodec_send_packet(m_pAudioCodecCtx, packet) < 0) return true;  // undecodable: skipped
    while (avcodec_receive_frame(m_pAudioCodecCtx, frame) == 0) {
        const bool keepRunning = HandleAudioFrame(frame, packet->dts, serial);
        av_frame_unref(frame);
        if (!keepRunning) return false;
    }
    return true;
}

// packetDts: decode time stamp of the packet the frame came from (ms for a recording); serial:
// the seek serial of that packet.
bool CPlaybackSession::HandleAudioFrame(AVFrame* frame, int64_t packetDts, int serial) {
    int64_t frameTs = packetDts;  // stream units
    if (!m_bStampsByPacket) {
        frameTs = frame->pkt_dts != AV_NOPTS_VALUE ? frame->pkt_dts : frame->best_effort_timestamp;
    }
    if (AudioLandsBeforeTarget(frame, frameTs)) return true;
    const uint8_t* pcm = nullptr;
    const int byteCount = m_pcmConverter.Convert(frame, &pcm);  // silence of its length when it fails
    if (byteCount < 0) return true;  // out of memory: the frame is skipped
    int64_t frameMs = 0;
    {
        platform::CsGuard guard(m_csPosition);
        if (frameTs != AV_NOPTS_VALUE) m_nPosition = static_cast<int32_t>(AudioClockMs(frameTs));
        frameMs = static_cast<uint32_t>(m_nPosition);
    }
    if (SoundGoesUnheard()) {
        m_soundGatherer.Drop();
        if (!PassGate(m_hRunEvent)) return false;
        if (serial != m_nSeekSerial) return true;  // a seek came meanwhile: this sound is from before it
        return HoldUnheardSound(frameMs, serial);
    }
    m_soundGatherer.Add(pcm, byteCount, frameMs);
    while (m_soundGatherer.TakeBlock(&m_soundBlock)) {
        if (!WriteGatheredBlock(serial)) return false;
    }
    return true;
}

bool CPlaybackSession::SoundGoesUnheard() const { return m_bStepMode || m_bFast || m_bSlow; }

// Waits the audio delay and the run gate, then writes the block in m_soundBlock; false when the
// thread must end. A stop does not wait for the delay to run out.
bool CPlaybackSession::WriteGatheredBlock(int serial) {
    const uint32_t audioDelayMs = m_nAudioDelay;
    if (audioDelayMs != 0) m_hStopEvent.Wait(audioDelayMs);
    if (!PassGate(m_hRunEvent)) return false;
    // A seek or another speed came meanwhile: this sound is from before it, or goes unheard.
    if (serial != m_nSeekSerial || SoundGoesUnheard()) {
        m_soundGatherer.Drop();
        return true;
    }
    WriteSoundBlock();
    return true;
}

// The input has ended and the queue is empty: the last, shorter block is written, and the output
// plays everything out before the end may be reported, so the stop that follows the end notice
// cuts nothing off (and need not wait for a tail itself). A seek asked for meanwhile ends the
// wait. False when the thread must end.
bool CPlaybackSession::PlayOutTheEnd() {
    // Five blocks and the sound server's latency, with room to spare for a slow server.
    constexpr uint64_t kLongestWaitMs = 1000;
    constexpr uint32_t kLookMs = 5;
    if (m_bSoundPlayedOut) return true;
    if (!WriteEndOfSound()) return false;
    const uint64_t giveUpMs = platform::TickMs64() + kLongestWaitMs;
    while (!m_pSoundOut->HasPlayedEverything() && !m_bSeekRequest && platform::TickMs64() < giveUpMs) {
        if (m_hStopEvent.Wait(kLookMs)) return false;
    }
    m_bSoundPlayedOut = m_bSeekRequest ? 0 : 1;
    return true;
}

// The last, shorter block is heard too. False when the thread must end.
bool CPlaybackSession::WriteEndOfSound() {
    if (!m_soundGatherer.TakeRest(&m_soundBlock)) return true;
    if (SoundGoesUnheard()) return true;
    if (!PassGate(m_hRunEvent)) return false;
    if (m_nSoundOutSerial == m_nSeekSerial && !SoundGoesUnheard()) WriteSoundBlock();
    return true;
}

// No sound is written while stepping or at another speed, so no output paces this thread: the
// frames it drops unheard are dropped no faster than the pictures move on. Otherwise it would
// run through the file's sound in moments, and nothing would be left to hear when playback
// resumes. The hold ends with normal playback, a seek, the end of the pictures or a stop; false
// for a stop.
bool CPlaybackSession::HoldUnheardSound(int64_t frameMs, int serial) {
    constexpr int64_t kLeadMs = 200;
    constexpr uint32_t kLookMs = 5;
    auto held = [&] {
        return (m_bStepMode || m_bFast || m_bSlow) && serial == m_nSeekSerial && m_bHasVideo &&
               !(m_bReadEof && m_bVideoStarved) && frameMs > m_nVideoClockMs + kLeadMs;
    };
    while (m_bRunning && held()) {
        if (m_hStopEvent.Wait(kLookMs)) return false;
        if (!m_hRunEvent.IsSignalled() && !PassGate(m_hRunEvent)) return false;  // paused meanwhile
    }
    return m_bRunning != 0;
}

// After a seek: true for a frame whose sound is over before the target, which is not written.
bool CPlaybackSession::AudioLandsBeforeTarget(const AVFrame* frame, int64_t frameTs) {
    if (!m_bAudioLanding || frameTs == AV_NOPTS_VALUE) return false;
    const int64_t frameLengthMs = frame->sample_rate > 0 ? int64_t{frame->nb_samples} * 1000 / frame->sample_rate : 0;
    if (AudioClockMs(frameTs) + frameLengthMs <= m_nLandAudioMs) return true;
    m_bAudioLanding = 0;
    return false;
}

// The heard clock learns each run's own stamp, so it counts samples and not blocks. The sync
// thread's audio delays are per block written, so it is told the block's length.
void CPlaybackSession::WriteSoundBlock() {
    const CSoundGatherer::Block& block = m_soundBlock;
    if (block.pcm.empty() || m_pSoundOut->Write(block.pcm.data(), static_cast<int>(block.pcm.size())) < 0) return;
    for (const CSoundGatherer::Run& run : block.runs) m_heardClock.OnBlockWritten(run.streamMs, run.byteCount);
    platform::CsGuard guard(m_csAudioFrame);
    if (m_nAudioFrameSamples == 0) m_nAudioFrameSamples = m_soundGatherer.BlockBytes() / std::max<int>(1, m_waveFormat.nBlockAlign);
}
