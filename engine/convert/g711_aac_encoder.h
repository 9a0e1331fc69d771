#pragma once
// G.711 sound of a recording to AAC for the MP4: each frame is decoded to samples, converted to the
// encoder's format (and rate, when the encoder does not take the recording's), gathered into the
// encoder's frame length and encoded. The frames are placed by an AudioTimeline, so a dropout in
// the recording stays a pause in the MP4.

#include <functional>
#include <string>

#include "engine/convert/audio_timeline.h"
#include "engine/convert/av_handles.h"

struct SwrContext;
struct AVAudioFifo;

class G711AacEncoder {
public:
    // Gets each encoded packet, pts in 1/OutputRate(); false stops the conversion.
    using Sink = std::function<bool(AVPacket* packet)>;

    G711AacEncoder();
    ~G711AacEncoder();
    G711AacEncoder(const G711AacEncoder&) = delete;
    G711AacEncoder& operator=(const G711AacEncoder&) = delete;

    // codecId: AV_CODEC_ID_PCM_MULAW or AV_CODEC_ID_PCM_ALAW, one channel at sampleRate.
    bool Open(int codecId, int sampleRate, std::string* detail);
    // The encoder, whose parameters (and AudioSpecificConfig) the MP4's sound stream takes.
    const AVCodecContext* Encoder() const { return m_encoder.get(); }
    int OutputRate() const;

    // One G.711 frame, pts in ms. A frame that does not decode is skipped.
    bool Push(const AVPacket* g711, const Sink& sink);
    // Encodes what is left and drains the encoder.
    bool Finish(const Sink& sink);

private:
    bool OpenDecoder(int codecId, int sampleRate);
    bool OpenEncoder(int sampleRate, std::string* detail);
    bool OpenResampler(int inputRate);
    bool Queue(const AVFrame* decoded, int64_t clockMs, const Sink& sink);
    bool EncodeQueued(int samples, bool last, const Sink& sink);
    bool EncodeFrame(const AVFrame* frame, const Sink& sink);

    av_handles::CodecContextPtr m_decoder;
    av_handles::CodecContextPtr m_encoder;
    SwrContext* m_resampler = nullptr;
    AVAudioFifo* m_fifo = nullptr;
    int64_t m_nFifoStart = 0;  // pts of the first queued sample, 1/OutputRate()
    int m_nInputRate = 0;
    AudioTimeline m_timeline;
};
