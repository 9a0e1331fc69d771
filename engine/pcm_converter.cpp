#include "engine/pcm_converter.h"

#include <algorithm>
#include <new>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace {

// The layout the samples are in; a stream that reports none is taken as the usual layout for
// its channel count (mono for one channel).
void LayoutOf(const AVFrame* frame, AVChannelLayout* layout) {
    if (frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && av_channel_layout_copy(layout, &frame->ch_layout) == 0) {
        return;
    }
    av_channel_layout_default(layout, frame->ch_layout.nb_channels);
}

}  // namespace

CPcmConverter::~CPcmConverter() { Reset(); }

void CPcmConverter::SetOutput(int channels, int sampleRate) {
    if (channels == m_nOutChannels && sampleRate == m_nOutRate) return;
    Reset();
    m_nOutChannels = channels;
    m_nOutRate = sampleRate;
}

void CPcmConverter::Reset() {
    swr_free(&m_pSwrCtx);
    m_nInChannels = 0;
    m_nInFormat = -1;
    m_nInRate = 0;
}

int CPcmConverter::SamplesAtOutputRate(const AVFrame* frame) const {
    if (frame->sample_rate <= 0 || m_nOutRate <= 0) return frame->nb_samples;
    return static_cast<int>(av_rescale(frame->nb_samples, m_nOutRate, frame->sample_rate));
}

bool CPcmConverter::IsInOutputFormat(const AVFrame* frame) const {
    return frame->format == AV_SAMPLE_FMT_S16 && frame->ch_layout.nb_channels == m_nOutChannels &&
           frame->sample_rate == m_nOutRate;
}

int CPcmConverter::Convert(const AVFrame* frame, const uint8_t** pcm) {
    *pcm = nullptr;
    if (m_nOutChannels <= 0 || m_nOutRate <= 0 || frame->nb_samples < 0) return -1;
    if (IsInOutputFormat(frame)) {
        // Only the samples: the plane's line size may include padding.
        *pcm = frame->data[0];
        return frame->nb_samples * m_nOutChannels * kS16Bytes;
    }
    const int silence = std::max(0, SamplesAtOutputRate(frame)) * m_nOutChannels * kS16Bytes;
    const bool usable = frame->nb_samples > 0 && frame->sample_rate > 0 && frame->ch_layout.nb_channels > 0;
    const int prepared = usable ? PrepareResampler(frame) : -1;
    // Room for what the resampler still holds from earlier frames as well.
    const int capacitySamples = prepared == 0 ? swr_get_out_samples(m_pSwrCtx, frame->nb_samples) : 0;
    const int capacity = std::max(0, capacitySamples) * m_nOutChannels * kS16Bytes;
    if (!BufferHolds(std::max(silence, capacity))) return -1;
    *pcm = m_buffer.data();
    std::fill_n(m_buffer.begin(), silence, uint8_t{0});
    if (capacitySamples <= 0) return silence;
    uint8_t* output = m_buffer.data();
    const int converted = swr_convert(m_pSwrCtx, &output, capacitySamples,
                                      const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (converted < 0) {
        std::fill_n(m_buffer.begin(), silence, uint8_t{0});
        return silence;
    }
    return converted * m_nOutChannels * kS16Bytes;
}

// Sets up the resampler for frames like this one unless it already is; 0 or a negative code. A
// stream that changes its layout, format or rate mid-way gets a new one: the old one would read
// planes these frames do not have.
int CPcmConverter::PrepareResampler(const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    if (m_pSwrCtx && channels == m_nInChannels && frame->format == m_nInFormat && frame->sample_rate == m_nInRate) {
        return 0;
    }
    Reset();
    AVChannelLayout inputLayout{};
    AVChannelLayout outputLayout{};
    LayoutOf(frame, &inputLayout);
    av_channel_layout_default(&outputLayout, m_nOutChannels);
    int result = swr_alloc_set_opts2(&m_pSwrCtx, &outputLayout, AV_SAMPLE_FMT_S16, m_nOutRate, &inputLayout,
                                     static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    av_channel_layout_uninit(&outputLayout);
    if (result >= 0) result = swr_init(m_pSwrCtx);
    if (result < 0) {
        swr_free(&m_pSwrCtx);  // tried again with the next frame
        return result;
    }
    m_nInChannels = channels;
    m_nInFormat = frame->format;
    m_nInRate = frame->sample_rate;
    return 0;
}

bool CPcmConverter::BufferHolds(int byteCount) {
    const size_t wanted = std::max<size_t>(static_cast<size_t>(byteCount), kInitialBufferBytes);
    if (m_buffer.size() >= wanted) return true;
    try {
        m_buffer.resize(wanted);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
