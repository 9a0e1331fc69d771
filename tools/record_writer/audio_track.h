#pragma once
// The audio of a recording: the input's audio decoded, resampled and encoded as G.711 µ-law or
// A-law (8000 Hz mono, 20 ms per frame unless told otherwise) or as AAC LC (stereo unless told otherwise) with an ADTS header on every frame,
// so that each payload carries what its decoder needs.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/record_writer/encoded_frame.h"
#include "tools/record_writer/writer_options.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

struct AVAudioFifo;
struct SwrContext;

class AudioTrack {
public:
    AudioTrack() = default;
    ~AudioTrack();
    AudioTrack(const AudioTrack&) = delete;
    AudioTrack& operator=(const AudioTrack&) = delete;

    // target must not be AudioTarget::None.
    bool Open(const AVStream* stream, const WriterOptions& options, std::string* error);
    int SampleRate() const;                 // samples per second of the written audio
    uint32_t HeaderCodec() const;           // value of the file header's audio codec field

    bool Push(const AVPacket* packet, const FrameSink& sink);
    bool Finish(const FrameSink& sink);

private:
    bool OpenEncoder(const WriterOptions& options, std::string* error);
    bool DrainDecoder(const FrameSink& sink);
    bool Convert(const AVFrame* input);
    bool EncodeQueued(bool flushAll, const FrameSink& sink);
    bool EncodeChunk(int samples, const FrameSink& sink);
    bool DrainEncoder(const FrameSink& sink);
    bool Emit(const AVPacket* packet, const FrameSink& sink);

    AudioTarget m_target = AudioTarget::None;
    AVRational m_streamTimeBase{1, 1000};
    AVCodecContext* m_decoder = nullptr;
    AVCodecContext* m_encoder = nullptr;
    SwrContext* m_resampler = nullptr;
    AVAudioFifo* m_fifo = nullptr;
    AVFrame* m_decoded = nullptr;
    AVFrame* m_chunk = nullptr;
    AVPacket* m_packet = nullptr;
    int m_chunkSamples = 0;        // samples per encoded frame
    bool m_haveOrigin = false;
    int64_t m_originMs = 0;        // input ms of the first decoded sample
    int64_t m_samplesQueued = 0;   // samples handed to the encoder so far
    std::vector<uint8_t> m_adtsFrame;
};
