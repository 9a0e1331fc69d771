#pragma once
// Brings decoded audio frames to the sound output's format. The output is opened once with a
// channel count and a rate, and every block written to it must be in that format, whatever the
// decoder produces: mono AAC under a header that implies stereo, a real rate other than the
// header's (HE-AAC, a header that lies), planar or float samples, odd sample counts. Out comes
// signed 16-bit interleaved PCM with the output's channels and rate.
//
// Threads: the session's audio thread only; Reset also from the owner once that thread has ended.

#include <cstdint>
#include <vector>

struct AVFrame;
struct SwrContext;

class CPcmConverter {
public:
    CPcmConverter() = default;
    ~CPcmConverter();
    CPcmConverter(const CPcmConverter&) = delete;
    CPcmConverter& operator=(const CPcmConverter&) = delete;

    // The format every frame is brought to; a change drops what the resampler held.
    void SetOutput(int channels, int sampleRate);

    // Converts one frame; returns the byte count of the PCM at *pcm, which stays valid until the
    // next call. A frame the converter cannot take becomes silence of its length; -1 (and no PCM)
    // only when memory runs out or no output format is set.
    int Convert(const AVFrame* frame, const uint8_t** pcm);

    // The frame's sample count at the output's rate.
    int SamplesAtOutputRate(const AVFrame* frame) const;

    // Frees the resampler; the next frame sets up a fresh one. A seek or the end of the file.
    void Reset();

private:
    static constexpr int kInitialBufferBytes = 100000;
    static constexpr int kS16Bytes = 2;

    bool IsInOutputFormat(const AVFrame* frame) const;
    int PrepareResampler(const AVFrame* frame);
    bool BufferHolds(int byteCount);

    int m_nOutChannels = 0;
    int m_nOutRate = 0;
    SwrContext* m_pSwrCtx = nullptr;
    int m_nInChannels = 0;  // what m_pSwrCtx was set up for
    int m_nInFormat = -1;
    int m_nInRate = 0;
    std::vector<uint8_t> m_buffer;
};
