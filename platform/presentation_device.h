#pragma once
// What a video renderer needs of a graphics device: a YV12 picture surface it fills through
// lock and unlock, a present that scales the whole picture into a rectangle of the target
// window, and a test that tells when the device is lost and must be re-created.
//
// Threading: a device is created on the thread that opens the renderer (Init), may have its
// surface created there too (Start), and from then on is used by the render thread alone; it is
// destroyed after the render thread has ended. It takes no lock of the caller's and none of its
// calls blocks on the user-interface thread.

#include <cstdint>
#include <memory>

#include "platform/messages.h"
#include "platform/video_target.h"

namespace platform {

enum class CooperativeLevel {
    Ok,        // presents reach the window
    Lost,      // the window is hidden, minimised, of zero size or gone: nothing can be shown
    NotReset,  // the window is usable again after a loss: re-create the device before using it
};

// A locked picture surface in YV12 layout: `height` rows of `pitch` bytes of Y, then
// (height + 1) / 2 rows of pitch / 2 bytes of V, then as many of U. The pitch is even and at
// least width + 1 when the width is odd, so pitch / 2 holds every chroma sample of a row.
struct SurfaceLock {
    uint8_t* bits = nullptr;
    int pitch = 0;
};

class PresentationDevice {
public:
    virtual ~PresentationDevice() = default;

    // Creates, or replaces, the picture surface at width x height pixels (both > 0). Its
    // contents are undefined until the first unlock. False, and no surface, on failure.
    virtual bool CreateSurface(uint32_t width, uint32_t height) = 0;
    virtual void ReleaseSurface() = 0;
    // 0 x 0 when there is no surface.
    virtual uint32_t SurfaceWidth() const = 0;
    virtual uint32_t SurfaceHeight() const = 0;

    // Gives access to the whole surface until UnlockSurface; false when there is no surface.
    virtual bool LockSurface(SurfaceLock& lock) = 0;
    virtual void UnlockSurface() = 0;

    // Scales the whole picture into `dest` of the target's client area (bilinear) and hands it
    // to the target window. False when the target is gone, `dest` is empty, the surface is
    // missing or the conversion fails; nothing is shown then. Converts without any lock, then
    // holds the video-target registry lock (and the target's own) for the hand-over alone.
    virtual bool Present(const Rect& dest) = 0;

    // Lost while the target is not usable; NotReset on the first test after it has become
    // usable again, and on every test after that until the device is replaced.
    virtual CooperativeLevel TestCooperativeLevel() = 0;
};

// Creates a device that presents into the video target registered under `window`; null when
// none is registered. Any thread.
std::unique_ptr<PresentationDevice> CreatePresentationDevice(WindowHandle window);

}  // namespace platform
