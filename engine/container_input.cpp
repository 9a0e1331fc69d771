#include "engine/container_input.h"

#include <algorithm>

#include "engine/recorded_clock_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
}

namespace {

constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

bool IsUsableTimeBase(AVRational timeBase) { return timeBase.num > 0 && timeBase.den > 0; }

// A seek position never beyond the file's duration value, when the file reports one.
int64_t ClampToDuration(int64_t position, int64_t durationValue) {
    return durationValue > 0 ? std::min(position, durationValue) : position;
}

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

}  // namespace

int ChooseMainPictureStream(const AVFormatContext* context) {
    int best = -1;
    auto rank = [context](int index) {
        const AVStream* stream = context->streams[index];
        const int64_t area = int64_t{stream->codecpar->width} * stream->codecpar->height;
        return std::make_pair((stream->disposition & AV_DISPOSITION_DEFAULT) != 0, area);
    };
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
        if (best < 0 || rank(static_cast<int>(i)) > rank(best)) best = static_cast<int>(i);
    }
    return best;
}

CContainerInput::~CContainerInput() {
    if (m_pFormatCtx) avformat_close_input(&m_pFormatCtx);
}

bool CContainerInput::Open(const char* path, std::string* error) {
    const int openResult = avformat_open_input(&m_pFormatCtx, path, nullptr, nullptr);
    if (openResult < 0) {
        *error = ErrorText(openResult);
        return false;
    }
    const int infoResult = avformat_find_stream_info(m_pFormatCtx, nullptr);
    if (infoResult < 0) {
        *error = "its streams cannot be read: " + ErrorText(infoResult);
        return false;
    }
    const int64_t startUs = m_pFormatCtx->start_time;
    m_nOriginMs = startUs != AV_NOPTS_VALUE ? av_rescale(startUs, 1000, AV_TIME_BASE) : 0;
    const int64_t durationUs = m_pFormatCtx->duration;
    m_nDurationMs = durationUs > 0 ? av_rescale(durationUs, 1000, AV_TIME_BASE) : 0;
    const int mainPicture = ChooseMainPictureStream(m_pFormatCtx);
    if (mainPicture < 0) {
        *error = "it has no picture stream";
        return false;
    }
    const int video = av_find_best_stream(m_pFormatCtx, AVMEDIA_TYPE_VIDEO, mainPicture, -1, nullptr, 0);
    if (video < 0) {
        *error = "its pictures cannot be played: " + ErrorText(video);
        return false;
    }
    m_video = DescribeStream(video);
    // The sound that goes with the pictures (the same programme), the default track first.
    const int audio = av_find_best_stream(m_pFormatCtx, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    if (audio >= 0) m_audio = DescribeStream(audio);
    m_activityScan.Start(path);
    return true;
}

RecordedClock CContainerInput::Clock() const { return ContainerClock(m_pFormatCtx, m_video.index); }

InputStream CContainerInput::DescribeStream(int index) const {
    const AVStream* stream = m_pFormatCtx->streams[index];
    const AVRational clockBase = IsUsableTimeBase(stream->time_base) ? stream->time_base : kMillisecondTimeBase;
    return InputStream{index, stream->codecpar, stream->time_base, clockBase};
}

// End of file and read errors alike end the input.
ReadResult CContainerInput::Read(AVPacket** packet) {
    *packet = av_packet_alloc();
    if (!*packet) return ReadResult::kLater;
    if (av_read_frame(m_pFormatCtx, *packet) < 0) {
        av_packet_free(packet);
        return ReadResult::kEnd;
    }
    return ReadResult::kPacket;
}

// An input with an index lands on the key frame at or before the target. One without (transport
// and program streams, bare elementary streams) is searched by its time stamps, which can stop
// after that key frame, so that the first key frame read lies after the target. Such a landing
// is found by reading ahead, and the seek is made again from further back, twice as far each
// time; the look-ahead read the packets, so the last seek is made once more. Back at the file's
// start, the input is sought to its beginning, which a search on time stamps can miss.
bool CContainerInput::SeekToKeyFrameFor(int64_t targetMs) {
    constexpr int kLandingAttempts = 7;  // back as far as a minute: the longest groups of pictures
    constexpr int64_t kFirstStepBackMs = 1000;
    int64_t fromMs = targetMs;
    for (int attempt = 1; attempt < kLandingAttempts && fromMs > 0; ++attempt) {
        if (!SeekNear(fromMs)) return false;
        if (m_video.index < 0 || KeyFrameComesBy(targetMs)) break;
        fromMs = std::max<int64_t>(0, targetMs - std::max(kFirstStepBackMs, 2 * (targetMs - fromMs)));
    }
    return fromMs > 0 ? SeekNear(fromMs) : SeekToStart();
}

// Program and transport streams, whose stamps may jump, begin at their first byte; elsewhere the
// index takes a seek to the origin there.
bool CContainerInput::SeekToStart() {
    const bool streamOfPackets = (m_pFormatCtx->iformat->flags & AVFMT_TS_DISCONT) != 0;
    if (streamOfPackets && av_seek_frame(m_pFormatCtx, -1, 0, AVSEEK_FLAG_BYTE) >= 0) return true;
    return SeekNear(0);
}

// Back to the key frame at or before the target. The target counts from the file's start; the
// streams' stamps from their own origin.
bool CContainerInput::SeekNear(int64_t targetMs) {
    const int64_t videoTs = av_rescale_q(targetMs + m_nOriginMs, kMillisecondTimeBase, m_video.clockBase);
    int result = m_video.index >= 0 ? av_seek_frame(m_pFormatCtx, m_video.index, videoTs, AVSEEK_FLAG_BACKWARD) : -1;
    if (result < 0) {
        const int64_t targetUs = ClampToDuration(av_rescale_q(targetMs, kMillisecondTimeBase, kMicroseconds),
                                                 m_pFormatCtx->duration);
        result = av_seek_frame(m_pFormatCtx, -1, targetUs + m_nOriginMs * 1000, AVSEEK_FLAG_BACKWARD);
    }
    // A target before the first key frame the index knows: the start is the nearest place.
    if (result < 0) result = av_seek_frame(m_pFormatCtx, m_video.index, INT64_MIN, AVSEEK_FLAG_BACKWARD);
    return result >= 0;
}

// Reads ahead from where a seek left the input: whether a video key frame comes before the
// pictures pass limitMs (one picture's leeway). Bounded by the pictures' time, not the file's end.
// A packet without a time stamp (program streams leave many without) is taken to lie where the
// last one with a stamp did. Stamps that never pass the limit (a damaged stretch, a wrapped
// clock) end the look-ahead after minutes' worth of packets, and the landing is taken as it is.
bool CContainerInput::KeyFrameComesBy(int64_t limitMs) {
    constexpr int64_t kLeewayMs = 40;
    constexpr int kMostPackets = 20000;
    AVPacket* packet = av_packet_alloc();
    int64_t lastKnownMs = INT64_MIN;
    bool found = false;
    int read = 0;
    for (; read < kMostPackets && packet && m_running && av_read_frame(m_pFormatCtx, packet) >= 0; ++read) {
        const bool video = packet->stream_index == m_video.index;
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

int64_t CContainerInput::VideoClockMs(int64_t stamp) const {
    return av_rescale_q(stamp, m_video.clockBase, kMillisecondTimeBase) - m_nOriginMs;
}
