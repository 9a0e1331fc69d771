#pragma once
// The presentation device in software: the picture surface is a YV12 block in memory and a
// present converts it to 32-bit RGB at the destination size with libswscale, then hands the
// result to the target window. Contracts as in presentation_device.h.

#include <cstdint>
#include <memory>

#include "platform/presentation_device.h"

struct SwsContext;

namespace platform {

class SwsPresentationDevice : public PresentationDevice {
public:
    explicit SwsPresentationDevice(WindowHandle window);
    ~SwsPresentationDevice() override;
    SwsPresentationDevice(const SwsPresentationDevice&) = delete;
    SwsPresentationDevice& operator=(const SwsPresentationDevice&) = delete;

    bool CreateSurface(uint32_t width, uint32_t height) override;
    void ReleaseSurface() override;
    uint32_t SurfaceWidth() const override { return m_surfaceWidth; }
    uint32_t SurfaceHeight() const override { return m_surfaceHeight; }
    bool LockSurface(SurfaceLock& lock) override;
    void UnlockSurface() override;
    bool Present(const Rect& dest) override;
    CooperativeLevel TestCooperativeLevel() override;

private:
    struct AvFree {
        void operator()(uint8_t* block) const;
    };
    using AvBlock = std::unique_ptr<uint8_t, AvFree>;

    bool ConvertToRgb(int destWidth, int destHeight);
    bool EnsureRgbCapacity(size_t bytes);

    const WindowHandle m_window;
    bool m_lost = false;

    AvBlock m_surface;
    uint32_t m_surfaceWidth = 0;
    uint32_t m_surfacePitch = 0;
    uint32_t m_surfaceHeight = 0;

    // Reused from one present to the next; grown, never shrunk.
    AvBlock m_rgb;
    size_t m_rgbCapacity = 0;
    int m_rgbStrideBytes = 0;
    // Kept for the last (surface size, destination size) pair; rebuilt only when either changes.
    SwsContext* m_scaler = nullptr;
};

}  // namespace platform
