#pragma once
// Owning handles for the FFmpeg records the converter holds, so every early return frees them.

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavutil/frame.h>
}

namespace av_handles {

struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct BsfFree {
    void operator()(AVBSFContext* context) const { av_bsf_free(&context); }
};

using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using BsfPtr = std::unique_ptr<AVBSFContext, BsfFree>;

inline PacketPtr NewPacket() { return PacketPtr(av_packet_alloc()); }
inline FramePtr NewFrame() { return FramePtr(av_frame_alloc()); }

// FFmpeg's text for an error code.
std::string ErrorText(int error);

}  // namespace av_handles
