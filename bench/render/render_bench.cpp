// Cost of showing one 1920 x 1080 picture: PushFrame plus the present into a target of two
// sizes, beside the two plain plane copies (frame to slot, slot to surface) alone.

#include <time.h>

#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "engine/render/d3d_render.h"
#include "platform/offscreen_video_target.h"
#include "platform/sync.h"

namespace {

constexpr int kPictureWidth = 1920;
constexpr int kPictureHeight = 1080;
constexpr int kPictures = 200;

struct Cost {
    double wallMsPerPicture;
    double cpuSeconds;
};

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

template <class Work>
Cost Measure(Work work) {
    const double cpuStart = CpuSeconds();
    const uint64_t wallStartMs = platform::TickMs64();
    work();
    const uint64_t wallMs = platform::TickMs64() - wallStartMs;
    return Cost{static_cast<double>(wallMs) / kPictures, CpuSeconds() - cpuStart};
}

AVFrame* MakeFrame() {
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = kPictureWidth;
    frame->height = kPictureHeight;
    if (av_frame_get_buffer(frame, 32) < 0) return nullptr;
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? kPictureHeight : kPictureHeight / 2;
        for (int y = 0; y < rows; ++y) std::memset(frame->data[plane] + y * frame->linesize[plane], 60 + y % 128,
                                                   static_cast<size_t>(frame->linesize[plane]));
    }
    return frame;
}

Cost PushAndPresent(const AVFrame* frame, int clientWidth, int clientHeight) {
    platform::OffscreenVideoTarget target(clientWidth, clientHeight);
    CD3DRender render;
    if (render.Init(target.Handle()) != 0 || render.Start(kPictureWidth, kPictureHeight) != 0) return Cost{-1, -1};
    // Warm up: the first present builds the scaler and the buffers.
    render.PushFrame(frame, kPictureWidth, kPictureHeight, 1);
    target.WaitForPresentCount(1, 10000);
    return Measure([&] {
        for (int i = 0; i < kPictures; ++i) render.PushFrame(frame, kPictureWidth, kPictureHeight, 1);
        target.WaitForPresentCount(kPictures + 1, 60000);
    });
}

void CopyPlanes(uint8_t* dest, const uint8_t* const source[3], const int sourceStrides[3]) {
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane == 0 ? kPictureWidth : kPictureWidth / 2;
        const int rows = plane == 0 ? kPictureHeight : kPictureHeight / 2;
        for (int y = 0; y < rows; ++y, dest += width)
            std::memcpy(dest, source[plane] + static_cast<ptrdiff_t>(y) * sourceStrides[plane], width);
    }
}

// The renderer's two copies without the renderer: decoder frame to slot, slot to surface.
Cost PlainCopies(const AVFrame* frame) {
    const size_t bytes = static_cast<size_t>(kPictureWidth) * kPictureHeight * 3 / 2;
    std::vector<uint8_t> slot(bytes), surface(bytes);
    const uint8_t* const frameSource[3] = {frame->data[0], frame->data[2], frame->data[1]};
    const int frameStrides[3] = {frame->linesize[0], frame->linesize[2], frame->linesize[1]};
    const uint8_t* y = slot.data();
    const uint8_t* const slotSource[3] = {y, y + kPictureWidth * kPictureHeight,
                                          y + kPictureWidth * kPictureHeight * 5 / 4};
    const int slotStrides[3] = {kPictureWidth, kPictureWidth / 2, kPictureWidth / 2};
    return Measure([&] {
        for (int i = 0; i < kPictures; ++i) {
            CopyPlanes(slot.data(), frameSource, frameStrides);
            CopyPlanes(surface.data(), slotSource, slotStrides);
        }
    });
}

void Print(const char* what, Cost cost) {
    std::printf("%-40s %7.3f ms/picture  %6.3f s CPU for %d pictures (%.3f ms CPU/picture)\n", what,
                cost.wallMsPerPicture, cost.cpuSeconds, kPictures, cost.cpuSeconds * 1000 / kPictures);
}

}  // namespace

int main() {
    AVFrame* frame = MakeFrame();
    if (!frame) return 1;
    Print("PushFrame + present into 1280 x 720", PushAndPresent(frame, 1280, 720));
    Print("PushFrame + present into 1920 x 1080", PushAndPresent(frame, 1920, 1080));
    Print("two plain plane copies alone", PlainCopies(frame));
    av_frame_free(&frame);
    return 0;
}
