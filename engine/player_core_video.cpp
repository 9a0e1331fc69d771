// The video thread: decodes video packets, records the picture clock, waits the delay the sync
// thread chose, honours pause, frame step and seek, keeps the snapshot copy and hands each picture
// to the renderer.

#include "engine/debug_output.h"
#include "engine/packet_queue.h"
#include "engine/playback_session.h"
#include "engine/render/d3d_render.h"
#include "engine/sync_delays.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr uint32_t kPacketWaitMs = 100;
constexpr uint32_t kReaderDonePauseMs = 20;
constexpr uint32_t kStarvedPauseMs = 10;
constexpr uint32_t kPictureAdvancePauseMs = 1;
// With the sound keeping time, the renderer shows each picture as soon as it gets it.
constexpr int64_t kShowAtOnceMs = 1;

// A frame's own time stamp when it has one, else the decoder's best guess.
int64_t FrameTimestamp(int64_t preferred, const AVFrame* frame) {
    return preferred != AV_NOPTS_VALUE ? preferred : frame->best_effort_timestamp;
}

// The scaler wants full-range pictures as the plain format plus a range setting; the "J" formats
// that carry the range in their name are deprecated there.
AVPixelFormat WithoutRangeInName(AVPixelFormat format, bool* fullRange) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P: *fullRange = true; return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P: *fullRange = true; return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P: *fullRange = true; return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P: *fullRange = true; return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P: *fullRange = true; return AV_PIX_FMT_YUV411P;
        default: return format;
    }
}

// Between two pictures paced by their own time stamps (ms): a step back, or a step forward far
// beyond any gap a recorder leaves, means the time line is broken there.
bool IsTimelineBreak(int64_t previousMs, int64_t currentMs) {
    constexpr int64_t kLongestGapMs = 10'000;
    if (previousMs == AV_NOPTS_VALUE) return false;
    return currentMs < previousMs || currentMs - previousMs > kLongestGapMs;
}

}  // namespace

void CPlaybackSession::VideoThread() {
    AVFrame* frame = av_frame_alloc();
    m_pLandingFrame = av_frame_alloc();
    bool firstPacket = true;
    while (frame && m_bRunning) {
        if (m_hReaderDone.Wait(0)) {
            platform::Sleep(kReaderDonePauseMs);
            continue;
        }
        AVPacket* packet = nullptr;
        int serial = 0;
        if (!m_pVideoQueue->Get(&packet, kPacketWaitMs, &serial)) {
            if (!OnVideoStarved(frame)) break;
            continue;
        }
        if (firstPacket) {
            m_nBaseTs = packet->dts;
            firstPacket = false;
        }
        m_bVideoStarved = 0;
        // A packet taken just before a seek flushed the queue belongs to the old place.
        const bool keepRunning = serial == m_nSeekSerial ? DecodeVideoPacket(packet, serial, frame) : true;
        av_packet_free(&packet);
        if (!keepRunning) break;
    }
    av_frame_free(&frame);
    av_frame_free(&m_pLandingFrame);
    av_frame_free(&m_pPlanarFrame);
    sws_freeContext(m_pPictureSws);
    m_pPictureSws = nullptr;
    OutputDebugText("video thread exit!\n");
}

// Every picture the packet yields goes through the rules; false when the thread must end.
bool CPlaybackSession::DecodeVideoPacket(AVPacket* packet, int serial, AVFrame* frame) {
    if (serial != m_nVideoDecoderSerial) {
        // The first packet after a seek: what the decoder holds is from the old place.
        avcodec_flush_buffers(m_pVideoCodecCtx);
        m_nVideoDecoderSerial = serial;
        m_bVideoDrained = false;
        m_bLandedKeyFrame = false;
        m_nLastPictureMs = INT64_MIN;
    }
    if (avcodec_send_packet(m_pVideoCodecCtx, packet) < 0) return true;  // undecodable: skipped
    while (avcodec_receive_frame(m_pVideoCodecCtx, frame) == 0) {
        const bool keepRunning = HandleVideoPicture(frame, packet->dts, serial);
        av_frame_unref(frame);
        if (!keepRunning) return false;
    }
    return true;
}

// The pictures a decoder still holds once the input has ended (reordering delay) are shown too.
bool CPlaybackSession::DrainVideoDecoder(AVFrame* frame) {
    m_bVideoDrained = true;
    if (avcodec_send_packet(m_pVideoCodecCtx, nullptr) < 0) return true;
    while (avcodec_receive_frame(m_pVideoCodecCtx, frame) == 0) {
        const bool keepRunning = HandleVideoPicture(frame, frame->pkt_dts, m_nVideoDecoderSerial);
        av_frame_unref(frame);
        if (!keepRunning) return false;
    }
    return true;
}

bool CPlaybackSession::OnVideoStarved(AVFrame* frame) {
    if (m_bReadEof && !m_bVideoDrained && (!DrainVideoDecoder(frame) || !ShowLandingCandidate())) return false;
    m_bVideoStarved = 1;
    // A seek asked for brings the input back: the end is not reached while one is pending.
    const bool atEnd = !m_bSeekRequest &&
                       ((m_bHasAudio && m_bHasVideo) ? (m_bReadEof && m_bAudioStarved) : m_bReadEof.load() != 0);
    if (atEnd) {
        NotifyEndOfFile();
        return false;
    }
    // The read thread may be stuck on a full audio queue while this queue runs dry.
    AVPacket* audioPacket = nullptr;
    if (m_pAudioQueue->IsFull() && m_pAudioQueue->Get(&audioPacket, 0)) {
        av_packet_free(&audioPacket);
    }
    platform::Sleep(kStarvedPauseMs);
    return true;
}

// packetDts: the decode time stamp of the packet the picture came from, stream units; serial:
// the seek serial of that packet.
bool CPlaybackSession::HandleVideoPicture(AVFrame* frame, int64_t packetDts, int serial) {
    if (serial != m_nSeekSerial) return true;  // decoded from before a seek
    if (!TimeUntimedPicture(frame)) {
        // Not shown, but the pictures after it decode from it: a seek has its key frame.
        if (m_bAwaitKeyFrame && frame->key_frame) m_bLandedKeyFrame = true;
        return true;
    }
    if (packetDts == AV_NOPTS_VALUE) packetDts = FrameTimestamp(frame->pkt_dts, frame);
    if (m_bAwaitKeyFrame) {
        m_pRender->Flush();
        m_nBaseTs = packetDts;
        if (LandsBeforeTarget(frame)) {
            KeepLandingCandidate(frame, packetDts, serial);
            return true;
        }
        m_bAwaitKeyFrame = 0;
        av_frame_unref(m_pLandingFrame);
    } else {
        NotePictureSpacing(PresentationMs(frame));
    }
    return ShowPicture(frame, packetDts, serial);
}

// A target beyond the last picture (a seek to the very end, where the sound runs on a little
// longer) still shows a picture: the last one decoded, kept while the pictures were skipped.
void CPlaybackSession::KeepLandingCandidate(const AVFrame* frame, int64_t packetDts, int serial) {
    if (!m_bLandedKeyFrame || !m_pLandingFrame) return;
    av_frame_unref(m_pLandingFrame);
    if (av_frame_ref(m_pLandingFrame, frame) < 0) return;
    m_nLandingPacketDts = packetDts;
    m_nLandingSerial = serial;
}

// The input ended before any picture reached the target: the last one decoded is shown.
bool CPlaybackSession::ShowLandingCandidate() {
    if (!m_bAwaitKeyFrame || !m_pLandingFrame || !m_pLandingFrame->buf[0]) return true;
    if (m_nLandingSerial != m_nSeekSerial) return true;
    m_bAwaitKeyFrame = 0;
    const bool keepRunning = ShowPicture(m_pLandingFrame, m_nLandingPacketDts, m_nLandingSerial);
    av_frame_unref(m_pLandingFrame);
    return keepRunning;
}

bool CPlaybackSession::ShowPicture(AVFrame* frame, int64_t packetDts, int serial) {
    const int64_t pictureTs = m_bStampsByPacket ? FrameTimestamp(frame->pts, frame) : FrameTimestamp(frame->pkt_dts, frame);
    const uint32_t lastTs = m_nLastVideoTs;
    const int64_t sinceLastTs = lastTs == 0 ? pictureTs : pictureTs - lastTs;
    if (static_cast<int32_t>(VideoUnitsToMs(sinceLastTs)) > 0) platform::Sleep(kPictureAdvancePauseMs);
    {
        platform::CsGuard guard(m_csDelta);
        if (m_bSeekResetsFrameDelta.exchange(0)) {
            m_nFrameDelta = 0;  // the first picture after a seek has no predecessor
        } else {
            m_nFrameDelta = static_cast<int32_t>(pictureTs - lastTs);
        }
    }
    m_nLastVideoTs = static_cast<uint32_t>(pictureTs);
    // Pictures are timed by when they are shown, not when they are decoded: B-frames come out of
    // the decoder in display order, their decode stamps a reorder delay earlier.
    const int64_t presentationMs = PresentationMs(frame);
    m_nVideoClockMs = presentationMs != AV_NOPTS_VALUE ? presentationMs : VideoClockMs(pictureTs);
    if (!PassGate(m_hSyncGate)) return false;
    const uint32_t videoDelayMs = VideoDelayAtUseMs(m_nVideoDelay);
    if (m_bHasAudio && m_bHasVideo) SleepUntilPictureDue(videoDelayMs);
    const bool heldAtGate = !m_hRunEvent.IsSignalled();
    if (!m_hRunEvent.IsSignalled()) m_bRebaseRenderClock = true;  // held by a pause or a seek
    if (!PassGate(m_hRunEvent)) return false;
    if (!WaitForItsSound(m_nVideoClockMs, heldAtGate)) return false;
    // A seek came while the picture waited, or is asked for and not yet made: the picture is from
    // the old place (and held by a pause, it must not take the step meant for the target's).
    if (serial != m_nSeekSerial || m_bSeekRequest) return true;
    return PresentPicture(frame, pictureTs, packetDts);
}

// After a seek: true for a picture that is to be decoded but not shown, because no key frame has
// been decoded yet or the picture's time is over before the target. The picture at the target is
// the last one whose time is at or before it, judged by the gap measured between pictures.
bool CPlaybackSession::LandsBeforeTarget(const AVFrame* frame) {
    if (!m_bLandedKeyFrame) {
        if (!frame->key_frame) return true;
        m_bLandedKeyFrame = true;
    }
    const int64_t pictureMs = PresentationMs(frame);
    NotePictureSpacing(pictureMs);
    return pictureMs != AV_NOPTS_VALUE && pictureMs + m_nPictureSpacingMs <= m_nLandVideoMs;
}

void CPlaybackSession::NotePictureSpacing(int64_t pictureMs) {
    constexpr int64_t kLongestSpacingMs = 1000;
    if (pictureMs == AV_NOPTS_VALUE) return;
    if (m_nLastPictureMs != INT64_MIN) {
        const int64_t spacingMs = pictureMs - m_nLastPictureMs;
        if (spacingMs > 0 && spacingMs <= kLongestSpacingMs) m_nPictureSpacingMs = spacingMs;
    }
    m_nLastPictureMs = pictureMs;
}

// Some streams leave pictures without any time stamp (program streams with B-frames, cameras'
// bare elementary streams). Such a picture follows the last one decoded by the measured spacing;
// with none before it since the start or the seek, it cannot be placed and is not shown: false.
bool CPlaybackSession::TimeUntimedPicture(AVFrame* frame) {
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE || frame->pts != AV_NOPTS_VALUE) return true;
    if (m_nLastPictureMs == INT64_MIN) return false;
    const int64_t pictureMs = m_nLastPictureMs + m_nPictureSpacingMs;
    frame->best_effort_timestamp = av_rescale_q(pictureMs + m_nOriginMs, AVRational{1, 1000}, m_videoClockBase);
    return true;
}

// The picture's presentation time in ms; AV_NOPTS_VALUE when it has none.
int64_t CPlaybackSession::PresentationMs(const AVFrame* frame) const {
    const int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
    return pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : VideoClockMs(pts);
}

bool CPlaybackSession::PresentPicture(AVFrame* frame, int64_t pictureTs, int64_t packetDts) {
    AVFrame* picture = AsPlanar420(frame);
    if (!picture) return true;  // a picture the scaler cannot take is skipped
    const int64_t pictureMs = PresentationMs(frame);
    if (m_bRenderStartPending.exchange(0)) {
        m_pRender->Start(static_cast<uint32_t>(picture->width), static_cast<uint32_t>(picture->height));
    }
    RefreshSnapshotCopy(picture, pictureMs != AV_NOPTS_VALUE ? pictureMs : VideoClockMs(pictureTs));
    int pushed = 0;
    if (m_bHasAudio && m_bHasVideo) {
        pushed = m_pRender->PushFrame(picture, picture->width, picture->height, kShowAtOnceMs);
    } else {
        // The renderer paces by time since its clock was based; after the session was held, that
        // clock is re-based on this picture, or every picture would be late and shown at once.
        // So is it after a break in a damaged time line, which would otherwise freeze the picture
        // for the length of the jump or race through the rest of the file.
        // A container's stamps count in its stream's time base; the renderer and the position
        // count milliseconds from the file's start.
        const int64_t packetMs = VideoClockMs(packetDts);
        if (m_bRebaseRenderClock || IsTimelineBreak(m_nLastPacedDts, packetMs)) {
            m_pRender->Flush();
            m_nBaseTs = packetDts;
        }
        m_bRebaseRenderClock = false;
        m_nLastPacedDts = packetMs;
        const int64_t sinceFirstMs = packetMs - VideoClockMs(m_nBaseTs);
        OutputDebugFormat("frame pts: %lld \n\n", static_cast<long long>(sinceFirstMs));
        pushed = m_pRender->PushFrame(picture, picture->width, picture->height, sinceFirstMs);
        {
            platform::CsGuard guard(m_csPosition);
            m_nPosition = static_cast<int32_t>(packetMs);
        }
        m_bClockStarted = 1;
    }
    const int64_t shownMs = pictureMs != AV_NOPTS_VALUE ? pictureMs : VideoClockMs(pictureTs);
    if (pushed) OutputDebugFormat("picture handed on, position: %lld ms\n", static_cast<long long>(shownMs));
    if (pushed && m_pictureObserver) m_pictureObserver(shownMs);
    if (m_bStepMode) {
        if (!m_hStepEvent.IsSignalled()) m_bRebaseRenderClock = true;
        if (!PassGate(m_hStepEvent)) return false;
        m_hStepEvent.Reset();
    }
    return true;
}

// The renderer and the snapshot copy take 8-bit planar 4:2:0 with video levels; camera MJPEG
// (full range), 4:2:2 and 10-bit pictures are brought to it here. Null when that fails.
AVFrame* CPlaybackSession::AsPlanar420(AVFrame* frame) {
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat sourceFormat = WithoutRangeInName(static_cast<AVPixelFormat>(frame->format), &fullRange);
    if (sourceFormat == AV_PIX_FMT_YUV420P && !fullRange) return frame;
    m_pPictureSws = sws_getCachedContext(m_pPictureSws, frame->width, frame->height, sourceFormat, frame->width,
                                         frame->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_pPictureSws) return nullptr;
    const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(m_pPictureSws, coefficients, fullRange ? 1 : 0, coefficients, 0, 0, 1 << 16, 1 << 16);
    if (m_pPlanarFrame && (m_pPlanarFrame->width != frame->width || m_pPlanarFrame->height != frame->height)) {
        av_frame_free(&m_pPlanarFrame);
    }
    if (!m_pPlanarFrame) {
        m_pPlanarFrame = av_frame_alloc();
        if (!m_pPlanarFrame) return nullptr;
        m_pPlanarFrame->format = AV_PIX_FMT_YUV420P;
        m_pPlanarFrame->width = frame->width;
        m_pPlanarFrame->height = frame->height;
        if (av_frame_get_buffer(m_pPlanarFrame, 0) < 0) {
            av_frame_free(&m_pPlanarFrame);
            return nullptr;
        }
    }
    sws_scale(m_pPictureSws, frame->data, frame->linesize, 0, frame->height, m_pPlanarFrame->data,
              m_pPlanarFrame->linesize);
    m_pPlanarFrame->pts = frame->pts;
    m_pPlanarFrame->pkt_dts = frame->pkt_dts;
    m_pPlanarFrame->key_frame = frame->key_frame;
    m_pPlanarFrame->colorspace = frame->colorspace;
    m_pPlanarFrame->color_range = AVCOL_RANGE_MPEG;
    return m_pPlanarFrame;
}

// The copy has packed planes (line sizes width and (width + 1) / 2) sized from the picture.
void CPlaybackSession::RefreshSnapshotCopy(const AVFrame* picture, int64_t pictureMs) {
    platform::CsGuard guard(m_csSnap);
    m_nSnapPictureMs = pictureMs;
    if (m_pSnapFrame && (m_pSnapFrame->width != picture->width || m_pSnapFrame->height != picture->height)) {
        av_frame_free(&m_pSnapFrame);
    }
    if (!m_pSnapFrame) {
        m_pSnapFrame = av_frame_alloc();
        if (!m_pSnapFrame) return;
        m_pSnapFrame->format = AV_PIX_FMT_YUV420P;
        m_pSnapFrame->width = picture->width;
        m_pSnapFrame->height = picture->height;
        if (av_frame_get_buffer(m_pSnapFrame, 1) < 0) {
            av_frame_free(&m_pSnapFrame);
            return;
        }
    }
    av_image_copy(m_pSnapFrame->data, m_pSnapFrame->linesize, const_cast<const uint8_t**>(picture->data),
                  picture->linesize, AV_PIX_FMT_YUV420P, picture->width, picture->height);
    m_pSnapFrame->pts = picture->pts;
    m_pSnapFrame->key_frame = picture->key_frame;
    m_pSnapFrame->colorspace = picture->colorspace;
    m_pSnapFrame->color_range = picture->color_range;
}
