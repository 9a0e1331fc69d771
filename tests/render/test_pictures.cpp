#include "tests/render/test_pictures.h"

#include <cstdlib>

namespace render_test {
namespace {

uint8_t Clamp(double value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value + 0.5); }

uint8_t Luma(Rgb c) { return Clamp(16 + 0.257 * c.r + 0.504 * c.g + 0.098 * c.b); }
uint8_t Cb(Rgb c) { return Clamp(128 - 0.148 * c.r - 0.291 * c.g + 0.439 * c.b); }
uint8_t Cr(Rgb c) { return Clamp(128 + 0.439 * c.r - 0.368 * c.g - 0.071 * c.b); }

}  // namespace

FramePtr MakeFrame(int width, int height, const std::function<Rgb(int x, int y)>& colourAt, int alignBytes) {
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), alignBytes) < 0) std::abort();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) frame->data[0][y * frame->linesize[0] + x] = Luma(colourAt(x, y));
    for (int y = 0; y < (height + 1) / 2; ++y) {
        for (int x = 0; x < (width + 1) / 2; ++x) {
            const Rgb c = colourAt(2 * x, 2 * y);
            frame->data[1][y * frame->linesize[1] + x] = Cb(c);
            frame->data[2][y * frame->linesize[2] + x] = Cr(c);
        }
    }
    return frame;
}

FramePtr MakeGreyFrame(int width, int height, uint8_t luma) {
    FramePtr frame = MakeFrame(width, height, [](int, int) { return Rgb{}; });
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) frame->data[0][y * frame->linesize[0] + x] = luma;
    for (int plane = 1; plane <= 2; ++plane)
        for (int y = 0; y < (height + 1) / 2; ++y)
            for (int x = 0; x < (width + 1) / 2; ++x) frame->data[plane][y * frame->linesize[plane] + x] = 128;
    return frame;
}

Rgb QuadrantColour(int x, int y, int width, int height) {
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    if (!bottom) return right ? Rgb{0, 255, 0} : Rgb{255, 0, 0};
    return right ? Rgb{255, 255, 255} : Rgb{0, 0, 255};
}

Rgb Unpack(uint32_t pixel) {
    return Rgb{static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
               static_cast<int>(pixel & 0xFF)};
}

bool Near(Rgb actual, Rgb expected, int tolerance) {
    return std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
           std::abs(actual.b - expected.b) <= tolerance;
}

}  // namespace render_test
