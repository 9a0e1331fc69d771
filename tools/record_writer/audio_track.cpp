#include "tools/record_writer/audio_track.h"

#include "engine/record/record_format.h"
#include "tools/record_writer/adts.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr int kG711SampleRate = 8000;
constexpr int kAacObjectTypeLc = 2;

}  // namespace

AudioTrack::~AudioTrack() {
    avcodec_free_context(&m_decoder);
    avcodec_free_context(&m_encoder);
    swr_free(&m_resampler);
    if (m_fifo) av_audio_fifo_free(m_fifo);
    av_frame_free(&m_decoded);
    av_frame_free(&m_chunk);
    av_packet_free(&m_packet);
}

int AudioTrack::SampleRate() const { return m_encoder ? m_encoder->sample_rate : 0; }

uint32_t AudioTrack::HeaderCodec() const {
    switch (m_target) {
        case AudioTarget::Mulaw: return record_format::kAudioMulaw;
        case AudioTarget::Alaw: return record_format::kAudioAlaw;
        default: return record_format::kAudioAac;
    }
}

bool AudioTrack::Open(const AVStream* stream, const WriterOptions& options, std::string* error) {
    m_target = options.audio;
    m_streamTimeBase = stream->time_base;
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    m_decoder = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (!m_decoder || avcodec_parameters_to_context(m_decoder, stream->codecpar) < 0 ||
        avcodec_open2(m_decoder, decoder, nullptr) < 0) {
        *error = "cannot decode the input's audio";
        return false;
    }
    if (!OpenEncoder(options, error)) return false;

    AVChannelLayout inputLayout{};
    if (m_decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&inputLayout, m_decoder->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&inputLayout, &m_decoder->ch_layout);
    int made = swr_alloc_set_opts2(&m_resampler, &m_encoder->ch_layout, m_encoder->sample_fmt,
                                   m_encoder->sample_rate, &inputLayout, m_decoder->sample_fmt,
                                   m_decoder->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    if (made < 0 || swr_init(m_resampler) < 0) {
        *error = "cannot resample the input's audio";
        return false;
    }
    m_fifo = av_audio_fifo_alloc(m_encoder->sample_fmt, m_encoder->ch_layout.nb_channels, m_chunkSamples);
    m_decoded = av_frame_alloc();
    m_chunk = av_frame_alloc();
    m_packet = av_packet_alloc();
    return m_fifo && m_decoded && m_chunk && m_packet;
}

bool AudioTrack::OpenEncoder(const WriterOptions& options, std::string* error) {
    const AudioTarget target = options.audio;
    const bool aac = target == AudioTarget::Aac;
    AVCodecID id = aac ? AV_CODEC_ID_AAC : target == AudioTarget::Alaw ? AV_CODEC_ID_PCM_ALAW : AV_CODEC_ID_PCM_MULAW;
    const AVCodec* encoder = avcodec_find_encoder(id);
    m_encoder = encoder ? avcodec_alloc_context3(encoder) : nullptr;
    if (!m_encoder) {
        *error = "no audio encoder";
        return false;
    }
    m_encoder->sample_rate = aac ? options.aacSampleRate : kG711SampleRate;
    m_encoder->sample_fmt = aac ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16;
    av_channel_layout_default(&m_encoder->ch_layout, aac ? options.aacChannels : 1);
    m_encoder->time_base = AVRational{1, m_encoder->sample_rate};
    if (aac) {
        m_encoder->bit_rate = 64000;
        m_encoder->profile = FF_PROFILE_AAC_LOW;
    }
    if (avcodec_open2(m_encoder, encoder, nullptr) < 0) {
        *error = "cannot open the audio encoder";
        return false;
    }
    m_chunkSamples = aac ? m_encoder->frame_size : kG711SampleRate / 1000 * options.g711FrameMs;
    return m_chunkSamples > 0;
}

bool AudioTrack::Push(const AVPacket* packet, const FrameSink& sink) {
    if (avcodec_send_packet(m_decoder, packet) < 0) return true;  // a damaged packet is dropped
    return DrainDecoder(sink);
}

bool AudioTrack::Finish(const FrameSink& sink) {
    avcodec_send_packet(m_decoder, nullptr);
    if (!DrainDecoder(sink) || !Convert(nullptr) || !EncodeQueued(true, sink)) return false;
    if (avcodec_send_frame(m_encoder, nullptr) < 0) return false;
    return DrainEncoder(sink);
}

bool AudioTrack::DrainDecoder(const FrameSink& sink) {
    while (avcodec_receive_frame(m_decoder, m_decoded) == 0) {
        if (!m_haveOrigin && m_decoded->best_effort_timestamp != AV_NOPTS_VALUE) {
            m_originMs = av_rescale_q(m_decoded->best_effort_timestamp, m_streamTimeBase, AVRational{1, 1000});
        }
        m_haveOrigin = true;
        bool converted = Convert(m_decoded);
        av_frame_unref(m_decoded);
        if (!converted || !EncodeQueued(false, sink)) return false;
    }
    return true;
}

// A null input drains what the resampler holds back.
bool AudioTrack::Convert(const AVFrame* input) {
    int inputSamples = input ? input->nb_samples : 0;
    int room = swr_get_out_samples(m_resampler, inputSamples);
    if (room <= 0) return room == 0;
    uint8_t** planes = nullptr;
    if (av_samples_alloc_array_and_samples(&planes, nullptr, m_encoder->ch_layout.nb_channels, room,
                                           m_encoder->sample_fmt, 0) < 0) {
        return false;
    }
    int converted = swr_convert(m_resampler, planes, room, input ? const_cast<const uint8_t**>(input->extended_data) : nullptr,
                                inputSamples);
    bool queued = converted >= 0 && av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(planes), converted) == converted;
    av_freep(&planes[0]);
    av_freep(&planes);
    return queued;
}

// Encodes whole chunks; flushAll also encodes the last, shorter one (padded with silence for
// AAC, whose encoder takes only whole frames).
bool AudioTrack::EncodeQueued(bool flushAll, const FrameSink& sink) {
    while (av_audio_fifo_size(m_fifo) >= m_chunkSamples) {
        if (!EncodeChunk(m_chunkSamples, sink)) return false;
    }
    int rest = av_audio_fifo_size(m_fifo);
    if (flushAll && rest > 0) return EncodeChunk(rest, sink);
    return true;
}

bool AudioTrack::EncodeChunk(int samples, const FrameSink& sink) {
    const bool aac = m_target == AudioTarget::Aac;
    int frameSamples = aac ? m_chunkSamples : samples;
    av_frame_unref(m_chunk);
    m_chunk->nb_samples = frameSamples;
    m_chunk->format = m_encoder->sample_fmt;
    m_chunk->sample_rate = m_encoder->sample_rate;
    if (av_channel_layout_copy(&m_chunk->ch_layout, &m_encoder->ch_layout) < 0 || av_frame_get_buffer(m_chunk, 0) < 0) {
        return false;
    }
    av_samples_set_silence(m_chunk->extended_data, 0, frameSamples, m_encoder->ch_layout.nb_channels,
                           m_encoder->sample_fmt);
    if (av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(m_chunk->extended_data), samples) != samples) return false;
    m_chunk->pts = m_samplesQueued;
    m_samplesQueued += frameSamples;
    if (avcodec_send_frame(m_encoder, m_chunk) < 0) return false;
    return DrainEncoder(sink);
}

bool AudioTrack::DrainEncoder(const FrameSink& sink) {
    while (avcodec_receive_packet(m_encoder, m_packet) == 0) {
        bool stored = Emit(m_packet, sink);
        av_packet_unref(m_packet);
        if (!stored) return false;
    }
    return true;
}

bool AudioTrack::Emit(const AVPacket* packet, const FrameSink& sink) {
    if (packet->size <= 0) return true;
    // The AAC encoder's first packet (its priming samples) is stamped before the first sample it
    // was given, as the decoder will play it: stamping it at the origin would delay every later
    // sound against its pictures by one frame.
    const int64_t samples = packet->pts == AV_NOPTS_VALUE ? 0 : packet->pts;
    const int64_t ms = m_originMs + av_rescale(samples, 1000, m_encoder->sample_rate);
    if (m_target != AudioTarget::Aac) return sink({record_format::kKindAudio, ms, packet->data, packet->size});

    std::array<uint8_t, kAdtsHeaderBytes> header{};
    if (!MakeAdtsHeader(kAacObjectTypeLc, m_encoder->sample_rate, m_encoder->ch_layout.nb_channels, packet->size,
                        &header)) {
        return false;
    }
    m_adtsFrame.assign(header.begin(), header.end());
    m_adtsFrame.insert(m_adtsFrame.end(), packet->data, packet->data + packet->size);
    return sink({record_format::kKindAudio, ms, m_adtsFrame.data(), int(m_adtsFrame.size())});
}
