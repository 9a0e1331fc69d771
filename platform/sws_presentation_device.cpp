#include "platform/sws_presentation_device.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/macros.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace platform {
namespace {

// Row alignment of the surface and of the converted picture: enough for swscale's vector code.
constexpr int kRowAlignBytes = 64;
// Spare bytes after every block, because vector code may read a little past the last row.
constexpr size_t kBlockPaddingBytes = 64;
constexpr AVPixelFormat kPresentedFormat = AV_PIX_FMT_RGB32;  // native-endian 0xAARRGGBB

uint32_t ChromaRows(uint32_t height) { return (height + 1) / 2; }

}  // namespace

void SwsPresentationDevice::AvFree::operator()(uint8_t* block) const { av_free(block); }

std::unique_ptr<PresentationDevice> CreatePresentationDevice(WindowHandle window) {
    if (!IsVideoTarget(window)) return nullptr;
    return std::make_unique<SwsPresentationDevice>(window);
}

SwsPresentationDevice::SwsPresentationDevice(WindowHandle window) : m_window(window) {}

SwsPresentationDevice::~SwsPresentationDevice() { sws_freeContext(m_scaler); }

bool SwsPresentationDevice::CreateSurface(uint32_t width, uint32_t height) {
    ReleaseSurface();
    if (width == 0 || height == 0 || av_image_check_size(width, height, 0, nullptr) < 0) return false;
    const uint32_t pitch = FFALIGN(width, static_cast<uint32_t>(kRowAlignBytes));
    const size_t bytes = static_cast<size_t>(pitch) * height + static_cast<size_t>(pitch) * ChromaRows(height);
    m_surface.reset(static_cast<uint8_t*>(av_malloc(bytes + kBlockPaddingBytes)));
    if (!m_surface) return false;
    m_surfaceWidth = width;
    m_surfaceHeight = height;
    m_surfacePitch = pitch;
    return true;
}

void SwsPresentationDevice::ReleaseSurface() {
    m_surface.reset();
    m_surfaceWidth = m_surfaceHeight = m_surfacePitch = 0;
}

bool SwsPresentationDevice::LockSurface(SurfaceLock& lock) {
    if (!m_surface) return false;
    lock.bits = m_surface.get();
    lock.pitch = static_cast<int>(m_surfacePitch);
    return true;
}

// The surface lives in ordinary memory: there is nothing to hand back.
void SwsPresentationDevice::UnlockSurface() {}

bool SwsPresentationDevice::EnsureRgbCapacity(size_t bytes) {
    if (bytes <= m_rgbCapacity) return true;
    m_rgb.reset(static_cast<uint8_t*>(av_malloc(bytes + kBlockPaddingBytes)));
    m_rgbCapacity = m_rgb ? bytes : 0;
    return m_rgb != nullptr;
}

bool SwsPresentationDevice::ConvertToRgb(int destWidth, int destHeight) {
    if (av_image_check_size(destWidth, destHeight, 0, nullptr) < 0) return false;
    m_scaler = sws_getCachedContext(m_scaler, static_cast<int>(m_surfaceWidth), static_cast<int>(m_surfaceHeight),
                                    AV_PIX_FMT_YUV420P, destWidth, destHeight, kPresentedFormat, SWS_BILINEAR,
                                    nullptr, nullptr, nullptr);
    if (!m_scaler) return false;
    m_rgbStrideBytes = FFALIGN(destWidth * 4, kRowAlignBytes);
    if (!EnsureRgbCapacity(static_cast<size_t>(m_rgbStrideBytes) * destHeight)) return false;

    // YV12 keeps V before U; swscale's planar 4:2:0 wants Y, U, V.
    const int pitch = static_cast<int>(m_surfacePitch);
    uint8_t* y = m_surface.get();
    uint8_t* v = y + static_cast<size_t>(pitch) * m_surfaceHeight;
    uint8_t* u = v + static_cast<size_t>(pitch / 2) * ChromaRows(m_surfaceHeight);
    const uint8_t* const source[4] = {y, u, v, nullptr};
    const int sourceStrides[4] = {pitch, pitch / 2, pitch / 2, 0};
    uint8_t* const dest[4] = {m_rgb.get(), nullptr, nullptr, nullptr};
    const int destStrides[4] = {m_rgbStrideBytes, 0, 0, 0};
    return sws_scale(m_scaler, source, sourceStrides, 0, static_cast<int>(m_surfaceHeight), dest, destStrides) ==
           destHeight;
}

bool SwsPresentationDevice::Present(const Rect& dest) {
    if (!m_surface || dest.Width() <= 0 || dest.Height() <= 0) return false;
    if (!ConvertToRgb(dest.Width(), dest.Height())) return false;
    VideoTargetLease target(m_window);
    if (!target) return false;
    target->Present(PresentedPicture{m_rgb.get(), dest.Width(), dest.Height(), m_rgbStrideBytes, dest});
    return true;
}

CooperativeLevel SwsPresentationDevice::TestCooperativeLevel() {
    VideoTargetLease target(m_window);
    if (!target || !target->IsUsable()) {
        m_lost = true;
        return CooperativeLevel::Lost;
    }
    return m_lost ? CooperativeLevel::NotReset : CooperativeLevel::Ok;
}

}  // namespace platform
