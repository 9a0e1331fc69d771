#pragma once
// Pictures made by the tests: planar 4:2:0 frames painted from an RGB function, and the colour
// arithmetic to compare what was presented with what was pushed.

#include <cstdint>
#include <functional>
#include <memory>

extern "C" {
#include <libavutil/frame.h>
}

namespace render_test {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

// A YUV420P frame of width x height whose rows are `alignBytes`-aligned (so its line sizes may
// exceed the width), painted with the limited-range BT.601 equivalent of colourAt(x, y).
FramePtr MakeFrame(int width, int height, const std::function<Rgb(int x, int y)>& colourAt, int alignBytes = 1);

// A frame of one grey level: Y = luma, no colour.
FramePtr MakeGreyFrame(int width, int height, uint8_t luma);

// Red, green, blue and white quadrants (top-left, top-right, bottom-left, bottom-right).
Rgb QuadrantColour(int x, int y, int width, int height);

// 0xFFRRGGBB as presented.
Rgb Unpack(uint32_t pixel);

// True when every channel is within `tolerance`.
bool Near(Rgb actual, Rgb expected, int tolerance);

}  // namespace render_test
