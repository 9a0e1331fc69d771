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
    AVFrame* frame = av_frame_alloc();
    while (frame && m_bRunning) {
        DropSoundOfTheOldPlace();
        if (m_hReaderDone.Wait(0)) {
            platform::Sleep(kReaderDonePauseMs);
            continue;
        }
        AVPacket* packet = nullptr;
        int serial = 0;
        if (!m_pAudioQueue->Get(&packet, kPacketWaitMs, &serial)) {
            m_bAudioStarved = 1;
            if (m_bReadEof && m_bVideoStarved && !m_bSeekRequest) {
                NotifyEndOfFile();
                break;
            }
            platform::Sleep(kStarvedPauseMs);
            continue;
        }
        m_bAudioStarved = 0;
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
    {
        // Counted at the output's rate, which the sync thread divides by.
        platform::CsGuard guard(m_csAudioFrame);
        if (m_nAudioFrameSamples == 0) m_nAudioFrameSamples = m_pcmConverter.SamplesAtOutputRate(frame);
    }
    const uint8_t* pcm = nullptr;
    const int byteCount = m_pcmConverter.Convert(frame, &pcm);  // silence of its length when it fails
    if (byteCount < 0) return true;  // out of memory: the frame is skipped
    int64_t frameMs = 0;
    {
        platform::CsGuard guard(m_csPosition);
        if (frameTs != AV_NOPTS_VALUE) m_nPosition = static_cast<int32_t>(AudioClockMs(frameTs));
        frameMs = static_cast<uint32_t>(m_nPosition);
    }
    const uint32_t audioDelayMs = m_nAudioDelay;
    // A stop does not wait for the delay to run out. Sound that is not written is paced by the
    // pictures instead (HoldUnheardSound).
    const bool unheard = m_bStepMode || m_bFast || m_bSlow;
    if (audioDelayMs != 0 && !unheard) m_hStopEvent.Wait(audioDelayMs);
    if (!PassGate(m_hRunEvent)) return false;
    if (serial != m_nSeekSerial) return true;  // a seek came meanwhile: this sound is from before it
    if (!m_bStepMode && !m_bFast && !m_bSlow) {
        WritePcm(pcm, byteCount, frameMs);
        return true;
    }
    return HoldUnheardSound(frameMs, serial);
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

// Writes in pieces the sound output's blocks can hold, each a whole number of sample frames.
void CPlaybackSession::WritePcm(const uint8_t* pcm, int byteCount, int64_t streamMs) {
    const int blockAlign = std::max<int>(1, m_waveFormat.nBlockAlign);
    const int pieceLimit = kMaxWriteBytes - kMaxWriteBytes % blockAlign;
    const int64_t bytesPerSecond = std::max<int64_t>(1, m_waveFormat.nAvgBytesPerSec);
    for (int offset = 0; offset < byteCount;) {
        const int piece = std::min(pieceLimit, byteCount - offset);
        if (m_pSoundOut->Write(pcm + offset, piece) >= 0) {
            m_heardClock.OnBlockWritten(streamMs + offset * int64_t{1000} / bytesPerSecond, piece);
        }
        offset += piece;
    }
}
