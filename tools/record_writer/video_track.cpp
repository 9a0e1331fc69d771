#include "tools/record_writer/video_track.h"

#include "engine/record/record_format.h"

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr AVRational kMs{1, 1000};

bool HasAnnexBExtradata(const AVCodecParameters* parameters) {
    const uint8_t* p = parameters->extradata;
    int n = parameters->extradata_size;
    return n >= 4 && p[0] == 0 && p[1] == 0 && (p[2] == 1 || (p[2] == 0 && p[3] == 1));
}

AVCodecID CodecOf(VideoTarget target) { return target == VideoTarget::Hevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264; }

}  // namespace

VideoTrack::~VideoTrack() {
    av_bsf_free(&m_filter);
    avcodec_free_context(&m_decoder);
    avcodec_free_context(&m_encoder);
    sws_freeContext(m_scaler);
    av_frame_free(&m_decoded);
    av_frame_free(&m_scaled);
    av_packet_free(&m_packet);
}

bool VideoTrack::Open(const AVStream* stream, VideoTarget target, int gopFrames, bool forceReencode,
                      std::string* error) {
    m_streamTimeBase = stream->time_base;
    m_packet = av_packet_alloc();
    if (!m_packet) return false;
    if (!forceReencode && stream->codecpar->codec_id == CodecOf(target)) return OpenCopy(stream, target, error);
    return OpenReencode(stream, target, gopFrames, error);
}

// Input already in the wanted codec: only the framing changes. Length-prefixed input (mp4, mkv)
// goes through the Annex B converter, which also puts the parameter sets before key frames;
// Annex B input gets its out-of-band parameter sets repeated before every key frame.
bool VideoTrack::OpenCopy(const AVStream* stream, VideoTarget target, std::string* error) {
    const char* name = "null";
    if (HasAnnexBExtradata(stream->codecpar)) name = "dump_extra";
    else if (stream->codecpar->extradata_size > 0)
        name = target == VideoTarget::Hevc ? "hevc_mp4toannexb" : "h264_mp4toannexb";
    const AVBitStreamFilter* filter = av_bsf_get_by_name(name);
    if (!filter || av_bsf_alloc(filter, &m_filter) < 0 ||
        avcodec_parameters_copy(m_filter->par_in, stream->codecpar) < 0) {
        *error = std::string("cannot set up the bitstream filter ") + name;
        return false;
    }
    m_filter->time_base_in = stream->time_base;
    if (std::string(name) == "dump_extra") av_opt_set(m_filter->priv_data, "freq", "keyframe", 0);
    if (av_bsf_init(m_filter) < 0) {
        *error = std::string("cannot start the bitstream filter ") + name;
        return false;
    }
    m_width = stream->codecpar->width;
    m_height = stream->codecpar->height;
    return true;
}

bool VideoTrack::OpenReencode(const AVStream* stream, VideoTarget target, int gopFrames, std::string* error) {
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    m_decoder = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (!m_decoder || avcodec_parameters_to_context(m_decoder, stream->codecpar) < 0 ||
        avcodec_open2(m_decoder, decoder, nullptr) < 0) {
        *error = "cannot decode the input's video";
        return false;
    }
    const bool hevc = target == VideoTarget::Hevc;
    const AVCodec* encoder = avcodec_find_encoder_by_name(hevc ? "libx265" : "libx264");
    m_encoder = encoder ? avcodec_alloc_context3(encoder) : nullptr;
    if (!m_encoder) {
        *error = hevc ? "no HEVC encoder (libx265)" : "no H.264 encoder (libx264)";
        return false;
    }
    // 4:2:0 needs even sizes.
    m_width = stream->codecpar->width & ~1;
    m_height = stream->codecpar->height & ~1;
    m_encoder->width = m_width;
    m_encoder->height = m_height;
    m_encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    m_encoder->time_base = kMs;
    m_encoder->framerate = stream->avg_frame_rate;
    m_encoder->gop_size = gopFrames;
    m_encoder->keyint_min = gopFrames;
    m_encoder->max_b_frames = 0;
    // No global header: the encoder then repeats the parameter sets in band at every key frame.
    av_opt_set(m_encoder->priv_data, "preset", "veryfast", 0);
    av_opt_set(m_encoder->priv_data, "tune", "zerolatency", 0);
    if (hevc) av_opt_set(m_encoder->priv_data, "x265-params", "scenecut=0:open-gop=0:repeat-headers=1:log-level=error", 0);
    else av_opt_set(m_encoder->priv_data, "x264-params", "scenecut=0:repeat-headers=1", 0);
    if (m_width <= 0 || m_height <= 0 || avcodec_open2(m_encoder, encoder, nullptr) < 0) {
        *error = "cannot open the video encoder";
        return false;
    }
    m_decoded = av_frame_alloc();
    m_scaled = av_frame_alloc();
    if (!m_decoded || !m_scaled) return false;
    m_scaled->format = AV_PIX_FMT_YUV420P;
    m_scaled->width = m_width;
    m_scaled->height = m_height;
    return av_frame_get_buffer(m_scaled, 0) == 0;
}

bool VideoTrack::Push(const AVPacket* packet, const FrameSink& sink) {
    if (m_filter) {
        if (av_packet_ref(m_packet, packet) < 0) return false;
        if (av_bsf_send_packet(m_filter, m_packet) < 0) {
            av_packet_unref(m_packet);
            return false;
        }
        return DrainFilter(sink);
    }
    if (avcodec_send_packet(m_decoder, packet) < 0) return true;  // a damaged packet is dropped
    return DrainDecoder(sink);
}

bool VideoTrack::Finish(const FrameSink& sink) {
    if (m_filter) return av_bsf_send_packet(m_filter, nullptr) == 0 && DrainFilter(sink);
    avcodec_send_packet(m_decoder, nullptr);
    if (!DrainDecoder(sink)) return false;
    return EncodeFrame(nullptr, sink);
}

bool VideoTrack::DrainFilter(const FrameSink& sink) {
    while (av_bsf_receive_packet(m_filter, m_packet) == 0) {
        bool stored = Emit(m_packet, m_filter->time_base_out, sink);
        av_packet_unref(m_packet);
        if (!stored) return false;
    }
    return true;
}

bool VideoTrack::DrainDecoder(const FrameSink& sink) {
    while (avcodec_receive_frame(m_decoder, m_decoded) == 0) {
        m_scaler = sws_getCachedContext(m_scaler, m_decoded->width, m_decoded->height,
                                        AVPixelFormat(m_decoded->format), m_width, m_height, AV_PIX_FMT_YUV420P,
                                        SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!m_scaler || av_frame_make_writable(m_scaled) < 0) return false;
        sws_scale(m_scaler, m_decoded->data, m_decoded->linesize, 0, m_decoded->height, m_scaled->data,
                  m_scaled->linesize);
        int64_t stamp = m_decoded->best_effort_timestamp;
        int64_t ms = stamp == AV_NOPTS_VALUE ? m_lastEncodedMs + 1 : av_rescale_q(stamp, m_streamTimeBase, kMs);
        if (ms <= m_lastEncodedMs) ms = m_lastEncodedMs + 1;
        m_lastEncodedMs = ms;
        m_scaled->pts = ms;
        av_frame_unref(m_decoded);
        if (!EncodeFrame(m_scaled, sink)) return false;
    }
    return true;
}

// A null frame drains the encoder.
bool VideoTrack::EncodeFrame(AVFrame* frame, const FrameSink& sink) {
    if (avcodec_send_frame(m_encoder, frame) < 0) return false;
    return DrainEncoder(sink);
}

bool VideoTrack::DrainEncoder(const FrameSink& sink) {
    while (avcodec_receive_packet(m_encoder, m_packet) == 0) {
        bool stored = Emit(m_packet, m_encoder->time_base, sink);
        av_packet_unref(m_packet);
        if (!stored) return false;
    }
    return true;
}

// The recording has one time per frame: its presentation time, so that a decoder that reorders
// pictures hands each one out with its own time.
bool VideoTrack::Emit(const AVPacket* packet, AVRational timeBase, const FrameSink& sink) {
    if (packet->size <= 0) return true;
    int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    int64_t ms = stamp == AV_NOPTS_VALUE ? 0 : av_rescale_q(stamp, timeBase, kMs);
    uint8_t kind = (packet->flags & AV_PKT_FLAG_KEY) ? record_format::kKindVideoKey : record_format::kKindVideoDelta;
    return sink({kind, ms, packet->data, packet->size});
}
