// The read thread: demultiplexes the input into the two packet queues, holds back while a queue is
// full, performs seeks and detects the end of the input.

#include <algorithm>

#include "engine/debug_output.h"
#include "engine/packet_queue.h"
#include "engine/player_core.h"
#include "engine/record/record_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

namespace {

constexpr uint32_t kReadPauseMs = 10;
// How often the end of a recording that is still being written is looked at again.
constexpr uint32_t kGrowingPollMs = 40;
// How long a recording that has not grown since it was opened is watched for a first write: longer
// than recorders leave between two, and short enough that the pictures already read are still
// playing when a file that is complete meets its end.
constexpr uint64_t kFirstGrowthWaitMs = 300;
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
            av_packet_free(&packet);
            platform::Sleep(kReadPauseMs);
            continue;
        }
        if (!QueueWithRoom(packet)) return;
    }
}

void CPlayerCore::ReadRecordingLoop() {
    uint64_t endMetAtMs = 0;  // when the reader met the end of the data it now waits at
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
        if (packet) endMetAtMs = 0;
        // Learnt from the file's end at first, then exact once indexed, and growing with the file.
        m_nDurationMs = static_cast<int64_t>(m_pRecordFile->GetDuration());
        if (!packet) {
            // A recording the recorder is still writing: what it adds is read once it is there.
            // Opened just after a write, it may not have grown yet when the reader, far quicker
            // than the recorder, first meets its end: a file written to moments ago is given a
            // recorder's write interval to grow. One written long ago ends at once.
            if (!endMetAtMs) endMetAtMs = platform::TickMs64();
            const bool firstWriteDue =
                m_pRecordFile->WrittenRecently() && platform::TickMs64() - endMetAtMs < kFirstGrowthWaitMs;
            const bool mayGrow = m_pRecordFile->MayGrow() || firstWriteDue;
            if (mayGrow) platform::Sleep(kGrowingPollMs);
            else m_bReadEof = 1;
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

// Hands the packet to its queue, or frees it; false when the loop must end.
bool CPlayerCore::QueueWithRoom(AVPacket* packet) {
    CPacketQueue* queue = packet->stream_index == m_nAudioStream   ? m_pAudioQueue
                          : packet->stream_index == m_nVideoStream ? m_pVideoQueue
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
bool CPlayerCore::WaitForRoom(CPacketQueue* queue) {
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
bool CPlayerCore::SeekInsteadOfQueueing(AVPacket* packet) {
    if (!m_bSeekRequest) return false;
    const int serialBefore = m_nSeekSerial;
    if (m_nInputKind == INPUT_RECORDING) {
        SeekRecording();
    } else {
        SeekContainer();
    }
    if (m_nSeekSerial == serialBefore) return false;
    av_packet_free(&packet);
    return true;
}

// The key frame at or before the target, so that the video thread can decode from it up to the
// target picture. Nothing is flushed when no seek can be made: playback goes on where it was.
void CPlayerCore::SeekContainer() {
    const int64_t targetMs = m_nSeekTarget;
    if (!SeekContainerToKeyFrameFor(targetMs)) {
        m_bSeekRequest = 0;
        return;
    }
    BeginLanding(targetMs, targetMs);
}

// An input with an index lands on the key frame at or before the target. One without (transport
// and program streams, bare elementary streams) is searched by its time stamps, which can stop
// after that key frame, so that the first key frame read lies after the target. Such a landing
// is found by reading ahead, and the seek is made again from further back, twice as far each
// time; the look-ahead read the packets, so the last seek is made once more. Back at the file's
// start, the input is sought to its beginning, which a search on time stamps can miss.
bool CPlayerCore::SeekContainerToKeyFrameFor(int64_t targetMs) {
    constexpr int kLandingAttempts = 7;  // back as far as a minute: the longest groups of pictures
    constexpr int64_t kFirstStepBackMs = 1000;
    int64_t fromMs = targetMs;
    for (int attempt = 1; attempt < kLandingAttempts && fromMs > 0; ++attempt) {
        if (!SeekContainerNear(fromMs)) return false;
        if (m_nVideoStream < 0 || KeyFrameComesBy(targetMs)) break;
        fromMs = std::max<int64_t>(0, targetMs - std::max(kFirstStepBackMs, 2 * (targetMs - fromMs)));
    }
    return fromMs > 0 ? SeekContainerNear(fromMs) : SeekContainerToStart();
}

// Program and transport streams, whose stamps may jump, begin at their first byte; elsewhere the
// index takes a seek to the origin there.
bool CPlayerCore::SeekContainerToStart() {
    const bool streamOfPackets = (m_pFormatCtx->iformat->flags & AVFMT_TS_DISCONT) != 0;
    if (streamOfPackets && av_seek_frame(m_pFormatCtx, -1, 0, AVSEEK_FLAG_BYTE) >= 0) return true;
    return SeekContainerNear(0);
}

// The target counts from the file's start; the streams' stamps from their own origin.
bool CPlayerCore::SeekContainerNear(int64_t targetMs) {
    const int64_t videoTs = av_rescale_q(targetMs + m_nOriginMs, kMilliseconds, m_videoClockBase);  // video stream units
    int result = m_nVideoStream >= 0 ? av_seek_frame(m_pFormatCtx, m_nVideoStream, videoTs, m_nSeekFlags) : -1;
    if (result < 0) {
        const int64_t targetUs = ClampToDuration(av_rescale_q(targetMs, kMilliseconds, kMicroseconds),
                                                 m_pFormatCtx->duration);
        result = av_seek_frame(m_pFormatCtx, -1, targetUs + m_nOriginMs * 1000, m_nSeekFlags);
    }
    // A target before the first key frame the index knows: the start is the nearest place.
    if (result < 0) result = av_seek_frame(m_pFormatCtx, m_nVideoStream, INT64_MIN, AVSEEK_FLAG_BACKWARD);
    return result >= 0;
}

// Reads ahead from where a seek left the input: whether a video key frame comes before the
// pictures pass limitMs (one picture's leeway). Bounded by the pictures' time, not the file's end.
// A packet without a time stamp (program streams leave many without) is taken to lie where the
// last one with a stamp did. Stamps that never pass the limit (a damaged stretch, a wrapped
// clock) end the look-ahead after minutes' worth of packets, and the landing is taken as it is.
bool CPlayerCore::KeyFrameComesBy(int64_t limitMs) {
    constexpr int64_t kLeewayMs = 40;
    constexpr int kMostPackets = 20000;
    AVPacket* packet = av_packet_alloc();
    int64_t lastKnownMs = INT64_MIN;
    bool found = false;
    int read = 0;
    for (; read < kMostPackets && packet && m_bRunning && av_read_frame(m_pFormatCtx, packet) >= 0; ++read) {
        const bool video = packet->stream_index == m_nVideoStream;
        const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
        av_packet_unref(packet);
        if (!video) continue;
        if (stamp != AV_NOPTS_VALUE) lastKnownMs = VideoClockMs(stamp);
        if (lastKnownMs > limitMs + kLeewayMs) break;
        if (key) {
            found = true;
            break;
        }
    }
    av_packet_free(&packet);
    return found || read == kMostPackets;
}

void CPlayerCore::SeekRecording() {
    const int64_t targetMs = m_nSeekTarget;  // on the video packets' clock
    if (!m_pRecordFile->SeekToKeyFrameAtOrBefore(targetMs)) {
        m_bSeekRequest = 0;
        return;
    }
    m_bRecordSeekReset = 1;
    BeginLanding(targetMs, m_pRecordFile->VideoToAudioMs(targetMs));
}

// After the input moved: what was queued belongs to the old place. Packets read from now on carry
// the new serial; the decoder threads flush their decoders when they meet it, drop whatever
// they still hold from before, and discard what lies before the target.
void CPlayerCore::BeginLanding(int64_t videoTargetMs, int64_t audioTargetMs) {
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
