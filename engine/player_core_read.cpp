// The read thread: demultiplexes the input into the two packet queues, holds back while a queue is
// full, performs seeks and detects the end of the input.

#include "engine/debug_output.h"
#include "engine/media_input.h"
#include "engine/packet_queue.h"
#include "engine/playback_session.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace {

constexpr uint32_t kReadPauseMs = 10;
// How often the end of a recording that is still being written is looked at again.
constexpr uint32_t kGrowingPollMs = 40;

}  // namespace

// The loop stays after the end of the input: a seek back from near the end must still find
// someone to perform it.
void CPlaybackSession::ReadThread() {
    while (m_bRunning) {
        if (!PassGate(m_hRunEvent)) break;
        if (m_bSeekRequest) {
            SeekInput();
            continue;
        }
        if (m_bReadEof) {
            if (!IdleAtEndOfInput()) break;
            continue;
        }
        AVPacket* packet = nullptr;
        const ReadResult result = m_pInput->Read(&packet);
        // Learnt from a recording's end at first, then exact once indexed, and growing with the file.
        m_nDurationMs = m_pInput->DurationMs();
        if (result == ReadResult::kLater) {
            m_hStopEvent.Wait(kGrowingPollMs);  // a stop does not wait for the poll
        } else if (result == ReadResult::kEnd) {
            m_bReadEof = 1;
            platform::Sleep(kReadPauseMs);
        } else if (!QueueWithRoom(packet)) {
            break;
        }
    }
    OutputDebugText("decode thread exit!\n");
    m_hReaderDone.Set();
}

// After the end of the input: the loop ends once both decoders have drained their queues; until
// then it idles, so that a seek can still bring the input back. False when the loop must end. A
// session without a sound thread never sets the audio flag, so it idles until the session stops.
bool CPlaybackSession::IdleAtEndOfInput() {
    if (m_bAudioStarved && m_bVideoStarved) return false;
    platform::Sleep(kReadPauseMs);
    return true;
}

// Hands the packet to its queue, or frees it; false when the loop must end.
bool CPlaybackSession::QueueWithRoom(AVPacket* packet) {
    CPacketQueue* queue = packet->stream_index == m_nAudioStream   ? m_pAudioQueue.get()
                          : packet->stream_index == m_nVideoStream ? m_pVideoQueue.get()
                                                                   : nullptr;
    if (!queue) {
        av_packet_free(&packet);  // subtitles, data, streams not played
        return true;
    }
    if (!WaitForRoom(queue)) {
        av_packet_free(&packet);
        return false;
    }
    if (SeekInsteadOfQueueing(packet)) return true;
    // After a seek that could not be made the queue may still be full.
    if (!WaitForRoom(queue)) {
        av_packet_free(&packet);
        return false;
    }
    // Seeks happen on this thread between reads, so the serial now is the packet's own.
    if (!queue->Put(packet, m_nSeekSerial)) av_packet_free(&packet);
    return true;
}

// True when the queue has room or a seek is asked for; false when the session stops meanwhile.
// The wait is cut into short looks so that a seek asked for is taken at once.
bool CPlaybackSession::WaitForRoom(CPacketQueue* queue) {
    constexpr uint32_t kRoomLookMs = 20;
    while (!queue->WaitForRoom(kRoomLookMs)) {
        if (!m_bRunning) return false;
        if (m_bSeekRequest) return true;
    }
    return m_bRunning != 0;
}

// A seek asked for while the queues are full is made at once, not after the decoders have made
// room at the pace of playback. True when the input moved: the packet in hand, from the old place,
// has been disposed of. A seek that could not be made leaves the packet to be queued.
bool CPlaybackSession::SeekInsteadOfQueueing(AVPacket* packet) {
    if (!m_bSeekRequest) return false;
    const int serialBefore = m_nSeekSerial;
    SeekInput();
    if (m_nSeekSerial == serialBefore) return false;
    av_packet_free(&packet);
    return true;
}

// Back to the key frame at or before the target, from which the video thread decodes up to it.
// Nothing is flushed when no seek can be made: playback goes on where it was.
void CPlaybackSession::SeekInput() {
    const int64_t targetMs = m_nSeekTarget;
    if (!m_pInput->SeekToKeyFrameFor(targetMs)) {
        m_bSeekRequest = 0;
        return;
    }
    // A picture timed by its own packet has no predecessor at the new place.
    if (m_bStampsByPacket) m_bSeekResetsFrameDelta = 1;
    BeginLanding(targetMs, m_pInput->AudioMsFor(targetMs));
}

// After the input moved: what was queued belongs to the old place. Packets read from now on carry
// the new serial; the decoder threads flush their decoders when they meet it, drop whatever
// they still hold from before, and discard what lies before the target.
void CPlaybackSession::BeginLanding(int64_t videoTargetMs, int64_t audioTargetMs) {
    {
        platform::CsGuard guard(m_csPosition);
        m_nPosition = static_cast<int32_t>(videoTargetMs);
    }
    // Before the queues run dry: a decoder finding them empty must not take that for the end.
    m_bReadEof = 0;
    // The serial first: from now on the decoders drop what they hold, before it is judged
    // against the new target.
    ++m_nSeekSerial;
    m_nLandVideoMs = videoTargetMs;
    m_nLandAudioMs = audioTargetMs;
    m_bAudioLanding = m_bHasAudio.load();
    m_bAwaitKeyFrame = 1;
    m_pVideoQueue->FlushQueue();
    m_pAudioQueue->FlushQueue();
    // Cleared last: a SeekTo is refused until this one is under way.
    m_bSeekRequest = 0;
}
