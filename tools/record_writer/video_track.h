#pragma once
// The video of a recording: H.264 or HEVC access units in Annex B form with the parameter sets in
// band before every key frame. An input that already has the wanted codec is copied (through the
// bitstream filter that yields that form); anything else is decoded and re-encoded with periodic
// key frames and no B-frames, as surveillance cameras encode.

#include <string>

#include "tools/record_writer/encoded_frame.h"
#include "tools/record_writer/writer_options.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

struct AVBSFContext;
struct SwsContext;

class VideoTrack {
public:
    VideoTrack() = default;
    ~VideoTrack();
    VideoTrack(const VideoTrack&) = delete;
    VideoTrack& operator=(const VideoTrack&) = delete;

    bool Open(const AVStream* stream, VideoTarget target, int gopFrames, bool forceReencode, std::string* error);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool IsCopying() const { return m_filter != nullptr; }

    // One packet of the input's video stream.
    bool Push(const AVPacket* packet, const FrameSink& sink);
    // Drains what the filter or the encoder still holds.
    bool Finish(const FrameSink& sink);

private:
    bool OpenCopy(const AVStream* stream, VideoTarget target, std::string* error);
    bool OpenReencode(const AVStream* stream, VideoTarget target, int gopFrames, std::string* error);
    bool DrainFilter(const FrameSink& sink);
    bool DrainDecoder(const FrameSink& sink);
    bool EncodeFrame(AVFrame* frame, const FrameSink& sink);
    bool DrainEncoder(const FrameSink& sink);
    bool Emit(const AVPacket* packet, AVRational timeBase, const FrameSink& sink);

    AVRational m_streamTimeBase{1, 1000};
    AVBSFContext* m_filter = nullptr;
    AVCodecContext* m_decoder = nullptr;
    AVCodecContext* m_encoder = nullptr;
    SwsContext* m_scaler = nullptr;
    AVFrame* m_decoded = nullptr;
    AVFrame* m_scaled = nullptr;
    AVPacket* m_packet = nullptr;
    int64_t m_lastEncodedMs = INT64_MIN;  // encoder input must rise strictly
    int m_width = 0;
    int m_height = 0;
};
