#include "engine/convert/g711_aac_encoder.h"

#include <algorithm>

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

using namespace av_handles;

namespace {

// A recorder's clock may stray this far (ms) from the sound's own sample count before it is
// taken as a dropout.
constexpr int kDropoutToleranceMs = 200;

// The recording's rate when the encoder takes it, else the nearest higher one it takes (the
// highest when none is higher).
int ChooseOutputRate(const AVCodec* codec, int inputRate) {
    if (!codec->supported_samplerates) return inputRate;
    int chosen = 0, highest = 0;
    for (const int* rate = codec->supported_samplerates; *rate; ++rate) {
        highest = std::max(highest, *rate);
        if (*rate >= inputRate && (chosen == 0 || *rate < chosen)) chosen = *rate;
    }
    return chosen ? chosen : highest;
}

// About 3 bits a sample: plenty for telephone sound, within what AAC allows at low rates.
int64_t BitRateFor(int sampleRate) { return std::clamp<int64_t>(int64_t(sampleRate) * 3, 16000, 96000); }

}  // namespace

G711AacEncoder::G711AacEncoder() : m_timeline(0) {}

G711AacEncoder::~G711AacEncoder() {
    swr_free(&m_resampler);
    if (m_fifo) av_audio_fifo_free(m_fifo);
}

int G711AacEncoder::OutputRate() const { return m_encoder ? m_encoder->sample_rate : 0; }

bool G711AacEncoder::Open(int codecId, int sampleRate, std::string* detail) {
    if (sampleRate <= 0 || !OpenDecoder(codecId, sampleRate)) {
        *detail = "the G.711 decoder cannot be opened";
        return false;
    }
    if (!OpenEncoder(sampleRate, detail)) return false;
    if (!OpenResampler(sampleRate)) {
        *detail = "the sound cannot be converted for the AAC encoder";
        return false;
    }
    m_fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 1, m_encoder->frame_size);
    if (!m_fifo) {
        *detail = "out of memory";
        return false;
    }
    m_nInputRate = sampleRate;
    m_timeline = AudioTimeline(int64_t(OutputRate()) * kDropoutToleranceMs / 1000);
    return true;
}

bool G711AacEncoder::OpenDecoder(int codecId, int sampleRate) {
    const AVCodec* codec = avcodec_find_decoder(AVCodecID(codecId));
    if (!codec) return false;
    m_decoder.reset(avcodec_alloc_context3(codec));
    if (!m_decoder) return false;
    m_decoder->sample_rate = sampleRate;
    av_channel_layout_default(&m_decoder->ch_layout, 1);
    return avcodec_open2(m_decoder.get(), codec, nullptr) >= 0;
}

bool G711AacEncoder::OpenEncoder(int sampleRate, std::string* detail) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec) m_encoder.reset(avcodec_alloc_context3(codec));
    if (!m_encoder) {
        *detail = "no AAC encoder";
        return false;
    }
    m_encoder->sample_rate = ChooseOutputRate(codec, sampleRate);
    m_encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&m_encoder->ch_layout, 1);
    m_encoder->bit_rate = BitRateFor(m_encoder->sample_rate);
    m_encoder->time_base = AVRational{1, m_encoder->sample_rate};
    m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // the MP4 keeps the configuration apart
    int error = avcodec_open2(m_encoder.get(), codec, nullptr);
    if (error < 0) {
        *detail = "the AAC encoder cannot be opened: " + ErrorText(error);
        return false;
    }
    return true;
}

bool G711AacEncoder::OpenResampler(int inputRate) {
    AVChannelLayout mono;
    av_channel_layout_default(&mono, 1);
    int error = swr_alloc_set_opts2(&m_resampler, &mono, AV_SAMPLE_FMT_FLTP, OutputRate(), &mono,
                                    m_decoder->sample_fmt, inputRate, 0, nullptr);
    return error >= 0 && swr_init(m_resampler) >= 0;
}

bool G711AacEncoder::Push(const AVPacket* g711, const Sink& sink) {
    if (avcodec_send_packet(m_decoder.get(), g711) < 0) return true;  // a damaged frame is skipped
    FramePtr decoded = NewFrame();
    if (!decoded) return false;
    int64_t clockMs = g711->pts;
    while (avcodec_receive_frame(m_decoder.get(), decoded.get()) >= 0) {
        if (!Queue(decoded.get(), clockMs, sink)) return false;
        // Further frames of the same packet follow on without a stamp of their own.
        clockMs = av_rescale(m_timeline.Next(), 1000, OutputRate());
        av_frame_unref(decoded.get());
    }
    return true;
}

bool G711AacEncoder::Queue(const AVFrame* decoded, int64_t clockMs, const Sink& sink) {
    const int64_t outputSamples = av_rescale(decoded->nb_samples, OutputRate(), m_nInputRate);
    const int64_t start = m_timeline.Place(av_rescale(clockMs, OutputRate(), 1000), outputSamples);
    const int queued = av_audio_fifo_size(m_fifo);
    if (queued > 0 && start != m_nFifoStart + queued) {
        // A dropout: the sound before it ends here and the sound after it starts at its own time.
        if (!EncodeQueued(queued, false, sink)) return false;
    }
    if (av_audio_fifo_size(m_fifo) == 0) m_nFifoStart = start;

    const int capacity = swr_get_out_samples(m_resampler, decoded->nb_samples);
    FramePtr converted = NewFrame();
    if (!converted || capacity < 0) return false;
    converted->format = AV_SAMPLE_FMT_FLTP;
    converted->nb_samples = std::max(capacity, 1);
    av_channel_layout_default(&converted->ch_layout, 1);
    if (av_frame_get_buffer(converted.get(), 0) < 0) return false;
    int made = swr_convert(m_resampler, converted->data, converted->nb_samples,
                           const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
    if (made < 0) return false;
    if (made > 0 && av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(converted->data), made) < made) return false;

    while (av_audio_fifo_size(m_fifo) >= m_encoder->frame_size) {
        if (!EncodeQueued(m_encoder->frame_size, false, sink)) return false;
    }
    return true;
}

// Encodes the first `samples` queued samples as one frame. A short frame is filled up with
// silence, unless it is the last and the encoder takes a short last frame.
bool G711AacEncoder::EncodeQueued(int samples, bool last, const Sink& sink) {
    const bool shortAllowed = last && (m_encoder->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    FramePtr frame = NewFrame();
    if (!frame) return false;
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = OutputRate();
    frame->nb_samples = shortAllowed ? samples : m_encoder->frame_size;
    av_channel_layout_default(&frame->ch_layout, 1);
    if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
    av_samples_set_silence(frame->data, 0, frame->nb_samples, 1, AV_SAMPLE_FMT_FLTP);
    if (av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(frame->data), samples) < samples) return false;
    frame->pts = m_nFifoStart;
    m_nFifoStart += samples;
    return EncodeFrame(frame.get(), sink);
}

bool G711AacEncoder::EncodeFrame(const AVFrame* frame, const Sink& sink) {
    if (avcodec_send_frame(m_encoder.get(), frame) < 0) return false;
    PacketPtr packet = NewPacket();
    if (!packet) return false;
    int error = 0;
    while ((error = avcodec_receive_packet(m_encoder.get(), packet.get())) >= 0) {
        // The encoder gives its last packet a whole frame's length even when the sound ends
        // sooner; the MP4's length is that of the sound.
        if (packet->pts + packet->duration > m_nFifoStart) packet->duration = std::max<int64_t>(m_nFifoStart - packet->pts, 1);
        bool taken = sink(packet.get());
        av_packet_unref(packet.get());
        if (!taken) return false;
    }
    return error == AVERROR(EAGAIN) || error == AVERROR_EOF;
}

bool G711AacEncoder::Finish(const Sink& sink) {
    while (av_audio_fifo_size(m_fifo) > 0) {
        const int left = av_audio_fifo_size(m_fifo);
        if (!EncodeQueued(std::min(left, m_encoder->frame_size), left <= m_encoder->frame_size, sink)) return false;
    }
    return EncodeFrame(nullptr, sink);
}
