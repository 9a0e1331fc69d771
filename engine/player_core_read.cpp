// The read thread: demultiplexes the input into the two packet queues, holds back while a queue is
// full, performs seeks and detects the end of the input.

#include <algorithm>

#include "engine/debug_output.h"
#include "engine/packet_disposal.h"
#include "engine/packet_queue.h"
#include "engine/player_core.h"
#include "engine/record/record_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

namespace {

constexpr uint32_t kSeekSettleMs = 400;  // lets the decoder threads reach their gates first
constexpr uint32_t kReadPauseMs = 10;
constexpr AVRational kMilliseconds{1, 1000};
constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

// A seek position never beyond the file's duration value, when the file reports one.
int64_t ClampToDuration(int64_t position, int64_t durationValue) {
    return durationValue > 0 ? std::min(position, durationValue) : position;
}

}  // namespace

void CPlayerCore::ReadThread() {
    if (m_nInputKind == INPUT_RECORDING) {
        ReadRecordingLoop();
    } else {
        ReadContainerLoop();
    }
    OutputDebugText("decode thread exit!\n");
    if (m_hNotifyWnd) platform::PostMessage(m_hNotifyWnd, UM_READER_EXIT, 0, 0);
    m_hReaderDone.Set();
}

void CPlayerCore::ReadContainerLoop() {
    while (m_bRunning) {
        if (!PassGate(m_hRunEvent)) return;
        if (m_bSeekRequest) {
            SeekContainer();
            continue;
        }
        if (m_bReadEof) {
            if (!IdleAtEndOfInput()) return;
            continue;
        }
        AVPacket* packet = av_packet_alloc();
        if (!packet) {
            platform::Sleep(kReadPauseMs);
            continue;
        }
        // End of file and read errors alike end the input. The loop stays, though: a seek back
        // from near the end must still find someone to perform it.
        if (av_read_frame(m_pFormatCtx, packet) < 0) {
            m_bReadEof = 1;
            DisposePacket(packet, INPUT_CONTAINER);
            platform::Sleep(kReadPauseMs);
            continue;
        }
        if (!QueueWithRoom(packet)) return;
    }
}

void CPlayerCore::ReadRecordingLoop() {
    while (m_bRunning) {
        if (!PassGate(m_hRunEvent)) return;
        if (m_bSeekRequest) {
            SeekRecording();
            continue;
        }
        if (m_bReadEof) {
            if (!IdleAtEndOfInput()) return;
            continue;
        }
        AVPacket* packet = m_pRecordFile->ReadFrame();
        if (!packet) {
            m_bReadEof = 1;
            continue;
        }
        if (!QueueWithRoom(packet)) return;
    }
}

// After the end of the input: the loop ends once both decoders have drained their queues; until
// then it idles, so that a seek can still bring the input back. False when the loop must end. A
// session without a sound thread never sets the audio flag, so it idles until the session stops.
bool CPlayerCore::IdleAtEndOfInput() {
    if (m_bAudioStarved && m_bVideoStarved) return false;
    platform::Sleep(kReadPauseMs);
    return true;
}

// Hands the packet to its queue, or disposes of it; false when the loop must end.
bool CPlayerCore::QueueWithRoom(AVPacket* packet) {
    const int inputKind = m_nInputKind;
    if (m_pAudioQueue->IsFull() || m_pVideoQueue->IsFull()) {
        m_hRoomEvent.Reset();
        // A decoder may have taken a packet between the test and the reset: look again first.
        const bool stillFull = m_pAudioQueue->IsFull() || m_pVideoQueue->IsFull();
        if (stillFull && platform::WaitForEither(m_hRoomEvent, m_hStopEvent, platform::kInfinite) !=
                             platform::WaitResult::First) {
            DisposePacket(packet, inputKind);
            return false;
        }
    }
    if (m_pAudioQueue->IsFull() && m_pVideoQueue->IsFull()) {
        DisposePacket(packet, inputKind);
        platform::Sleep(kReadPauseMs);
        return m_bRunning != 0;
    }
    CPacketQueue* queue = nullptr;
    platform::Event* roomEvent = nullptr;
    if (packet->stream_index == m_nAudioStream) {
        queue = m_pAudioQueue;
        roomEvent = &m_hAudioRoomEvent;
    } else if (packet->stream_index == m_nVideoStream) {
        queue = m_pVideoQueue;
        roomEvent = &m_hVideoRoomEvent;
    } else {
        DisposePacket(packet, inputKind);  // subtitles, data, streams not played
        return true;
    }
    if (!WaitForRoom(queue, *roomEvent)) {
        DisposePacket(packet, inputKind);
        return false;
    }
    if (!queue->Put(packet)) DisposePacket(packet, inputKind);
    return true;
}

// True when the queue has room; false when the session stops meanwhile.
bool CPlayerCore::WaitForRoom(CPacketQueue* queue, platform::Event& roomEvent) {
    if (!queue->IsFull()) return true;
    roomEvent.Reset();
    if (!queue->IsFull()) return true;  // room came between the test and the reset
    return platform::WaitForEither(roomEvent, m_hStopEvent, platform::kInfinite) == platform::WaitResult::First &&
           !m_hStopEvent.IsSignalled();
}

void CPlayerCore::SeekContainer() {
    m_hRunEvent.Reset();
    // While a seek is under way the input has not ended: decoders that run dry during the settling
    // pause must not take that for the end of the file. A failed seek finds the end again.
    m_bReadEof = 0;
    platform::Sleep(kSeekSettleMs);
    const int64_t targetMs = m_nSeekTarget;
    const int64_t durationValue = m_pFormatCtx->duration;  // AV_TIME_BASE units
    int result = 0;
    if (targetMs != 0) {
        const int64_t audioTs = av_rescale_q(targetMs, kMilliseconds, m_audioClockBase);  // audio stream units
        result = audioTs < 0 ? av_seek_frame(m_pFormatCtx, m_nAudioStream, 0, AVSEEK_FLAG_ANY)
                             : av_seek_frame(m_pFormatCtx, m_nAudioStream, ClampToDuration(audioTs, durationValue),
                                             m_nSeekFlags);
        if (result < 0) {
            const int64_t targetUs = av_rescale_q(targetMs, kMilliseconds, kMicroseconds);
            result = targetUs < 0 ? av_seek_frame(m_pFormatCtx, -1, 0, AVSEEK_FLAG_ANY)
                                  : av_seek_frame(m_pFormatCtx, -1, ClampToDuration(targetUs, durationValue),
                                                  m_nSeekFlags);
        }
    } else {
        result = av_seek_frame(m_pFormatCtx, m_nAudioStream, 0, AVSEEK_FLAG_ANY);
        if (result < 0) result = av_seek_frame(m_pFormatCtx, -1, 0, AVSEEK_FLAG_ANY);
    }
    if (result < 0) {
        // The stream stays where it was; the pictures up to the next key frame are still dropped.
        m_bSeekRequest = 0;
        m_bAwaitKeyFrame = 1;
        ReopenGateAfterSeek();
        return;
    }
    {
        platform::CsGuard guard(m_csPosition);
        m_nPosition = static_cast<int32_t>(targetMs);
    }
    m_bVideoFlushPending = 1;
    m_bAudioFlushPending = 1;
    m_pVideoQueue->FlushQueue();
    m_pAudioQueue->FlushQueue();
    m_bSeekRequest = 0;
    m_bAwaitKeyFrame = 1;
    ReopenGateAfterSeek();
    m_bReadEof = 0;
}

void CPlayerCore::SeekRecording() {
    m_hRunEvent.Reset();
    m_bReadEof = 0;  // as for a container
    platform::Sleep(kSeekSettleMs);
    const int64_t targetMs = m_nSeekTarget;
    m_pRecordFile->SeekTo(static_cast<uint64_t>(targetMs));
    {
        platform::CsGuard guard(m_csPosition);
        m_nPosition = static_cast<int32_t>(targetMs);
    }
    if (m_bHasAudio) m_bAudioFlushPending = 1;
    if (m_bHasVideo) m_bVideoFlushPending = 1;
    m_pVideoQueue->FlushQueue();
    m_pAudioQueue->FlushQueue();
    m_bSeekRequest = 0;
    m_bAwaitKeyFrame = 1;
    m_bRecordSeekReset = 1;
    ReopenGateAfterSeek();
    m_bReadEof = 0;
}

// A Pause that came while the seek was under way stands: the gate opens again only for a session
// that is playing or stepping.
void CPlayerCore::ReopenGateAfterSeek() {
    if (m_bPlaying || m_bStepMode) m_hRunEvent.Set();
}
