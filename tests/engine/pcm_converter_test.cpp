#include "engine/pcm_converter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace {

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

// A frame of a quiet ramp, so that converted samples are not all zero.
FramePtr MakeFrame(AVSampleFormat format, int channels, int rate, int samples) {
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->sample_rate = rate;
    frame->nb_samples = samples;
    av_channel_layout_default(&frame->ch_layout, channels);
    if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
    for (int plane = 0; plane < (av_sample_fmt_is_planar(format) ? channels : 1); ++plane) {
        const int values = samples * (av_sample_fmt_is_planar(format) ? 1 : channels);
        for (int i = 0; i < values; ++i) {
            if (format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_FLT) {
                reinterpret_cast<float*>(frame->extended_data[plane])[i] = 0.25f;
            } else {
                reinterpret_cast<int16_t*>(frame->extended_data[plane])[i] = 8000;
            }
        }
    }
    return frame;
}

struct Case {
    const char* name;
    AVSampleFormat format;
    int channels;
    int rate;
    int samples;
    int outChannels;
    int outRate;
    int bytes;  // of one frame, when the rates agree
};

// Every frame comes out in the output's channels and rate as 16-bit samples.
const Case kCases[] = {
    {"planar_float_stereo_48k", AV_SAMPLE_FMT_FLTP, 2, 48000, 1024, 2, 48000, 4096},
    {"s16_in_the_output_format", AV_SAMPLE_FMT_S16, 2, 48000, 1024, 2, 48000, 4096},
    {"mono_aac_under_a_stereo_header", AV_SAMPLE_FMT_FLTP, 1, 16000, 1024, 2, 16000, 4096},
    {"g711_mono_to_stereo_output", AV_SAMPLE_FMT_S16, 1, 8000, 160, 2, 8000, 640},
    {"stereo_to_mono_output", AV_SAMPLE_FMT_FLTP, 2, 16000, 1024, 1, 16000, 2048},
    {"odd_sample_count", AV_SAMPLE_FMT_S16P, 1, 8000, 1023, 1, 8000, 2046},
    {"odd_count_to_stereo", AV_SAMPLE_FMT_FLT, 1, 44100, 441, 2, 44100, 1764},
};

class PcmConversion : public testing::TestWithParam<Case> {};

TEST_P(PcmConversion, GivesTheOutputsFormat) {
    const Case& c = GetParam();
    CPcmConverter converter;
    converter.SetOutput(c.outChannels, c.outRate);
    FramePtr frame = MakeFrame(c.format, c.channels, c.rate, c.samples);
    ASSERT_TRUE(frame);
    const uint8_t* pcm = nullptr;
    EXPECT_EQ(converter.Convert(frame.get(), &pcm), c.bytes);
    ASSERT_NE(pcm, nullptr);
    // Every channel carries the sound, not silence.
    const auto* samples = reinterpret_cast<const int16_t*>(pcm);
    for (int channel = 0; channel < c.outChannels; ++channel) {
        EXPECT_NE(samples[(c.samples / 2) * c.outChannels + channel], 0) << "channel " << channel;
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, PcmConversion, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Sound at another rate than the output's (HE-AAC decoding at twice the header's rate, a header
// that lies) comes out at the output's rate: as many samples as the same time takes there.
TEST(PcmConversionRates, SoundAtAnotherRateTakesTheSameTimeAtTheOutputsRate) {
    const struct {
        int rate;
        int outRate;
    } cases[] = {{32000, 16000}, {8000, 16000}, {44100, 48000}};
    for (const auto& c : cases) {
        CPcmConverter converter;
        converter.SetOutput(2, c.outRate);
        int64_t bytes = 0;
        constexpr int kFrames = 50;
        constexpr int kSamples = 1024;
        for (int i = 0; i < kFrames; ++i) {
            FramePtr frame = MakeFrame(AV_SAMPLE_FMT_FLTP, 2, c.rate, kSamples);
            const uint8_t* pcm = nullptr;
            const int converted = converter.Convert(frame.get(), &pcm);
            ASSERT_GE(converted, 0);
            bytes += converted;
        }
        const int64_t expectedSamples = int64_t{kFrames} * kSamples * c.outRate / c.rate;
        // The resampler keeps a few samples back for the next frame.
        EXPECT_NEAR(double(bytes / 4), double(expectedSamples), 64.0) << c.rate << " -> " << c.outRate;
    }
}

TEST(PcmConversionRates, AFrameTheResamplerCannotTakeBecomesSilenceOfItsLength) {
    CPcmConverter converter;
    converter.SetOutput(2, 8000);
    FramePtr frame = MakeFrame(AV_SAMPLE_FMT_S16, 1, 8000, 160);
    frame->format = AV_SAMPLE_FMT_NONE;  // a format no resampler reads
    const uint8_t* pcm = nullptr;
    ASSERT_EQ(converter.Convert(frame.get(), &pcm), 640);
    const std::vector<uint8_t> silence(640, 0);
    EXPECT_EQ(std::memcmp(pcm, silence.data(), silence.size()), 0);

    CPcmConverter unset;
    EXPECT_EQ(unset.Convert(frame.get(), &pcm), -1) << "no output format";
}

}  // namespace
