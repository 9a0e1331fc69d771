#pragma once
// The window a video renderer presents into, as the renderer sees it, and the registry that
// finds it from a window handle. The renderer calls a target from its render thread only; the
// user-interface thread owns the window. Nothing here may block on the user-interface thread:
// a target answers from state it keeps up to date itself and takes pictures by copying them.

#include <cstdint>
#include <mutex>

#include "platform/geometry.h"
#include "platform/messages.h"

namespace platform {

// One presented picture: 32-bit pixels, each a native-endian word 0xFFRRGGBB (the layout of
// QImage::Format_RGB32), placed at `dest` in the client area. The pixels stay valid only for the
// duration of the Present call.
struct PresentedPicture {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int strideBytes = 0;
    Rect dest;
};

class VideoTarget {
public:
    virtual ~VideoTarget() = default;

    // Called from the render thread (and tests), with the registry lock held. Must answer from
    // the target's own thread-safe state, never by asking the user-interface thread. In the
    // target's own pixels (a window's device pixels), the unit of every presented picture's size
    // and destination.
    virtual Rect ClientRect() const = 0;

    // True while the window is visible, not minimised and of non-zero size. Same calling
    // contract as ClientRect.
    virtual bool IsUsable() const = 0;

    // Hands over a picture. Called from the render thread with the registry lock held; the
    // target copies what it needs before returning and may block only on its own short lock.
    virtual void Present(const PresentedPicture& picture) = 0;

    // The renderer that presented into the window is gone: drop the last picture and show the
    // background again. Called from the thread that destroys the renderer, with the registry
    // lock held; same blocking rule as Present.
    virtual void ClearPresented() = 0;

    // Whether the last presented picture has been painted on the screen, so that the next one
    // replaces no picture nobody saw. Same calling contract as ClientRect. A target that shows a
    // picture as it takes it has always painted it.
    virtual bool HasPaintedLastPicture() const { return true; }

    // Microseconds from a present to the paint that put it on the screen, as measured lately;
    // 0 for a target that shows a picture as it takes it. Same calling contract as ClientRect.
    virtual int64_t PresentToPaintUs() const { return 0; }
};

// Called by the window's owner, on any thread. The target must stay alive until
// UnregisterVideoTarget returns; a handle registered again replaces the previous target.
void RegisterVideoTarget(WindowHandle window, VideoTarget* target);

// Waits for a call into the target that is in progress on another thread to finish, so that
// the target may be destroyed as soon as this returns. Must not be called from inside a call
// into a target (the registry lock is not recursive).
void UnregisterVideoTarget(WindowHandle window);

// Holds the registry lock for its lifetime and gives access to the target registered under a
// handle, so that the target cannot be unregistered (and destroyed) while it is used. Keep a
// lease only for the length of one call into the target; no other lock may be taken under it
// except the target's own.
class VideoTargetLease {
public:
    explicit VideoTargetLease(WindowHandle window);
    VideoTargetLease(const VideoTargetLease&) = delete;
    VideoTargetLease& operator=(const VideoTargetLease&) = delete;

    explicit operator bool() const { return m_target != nullptr; }
    VideoTarget& operator*() const { return *m_target; }
    VideoTarget* operator->() const { return m_target; }

private:
    std::unique_lock<std::mutex> m_lock;
    VideoTarget* m_target = nullptr;
};

// The stand-ins for IsWindow and GetClientRect on a video target; any thread.
bool IsVideoTarget(WindowHandle window);
// False (and `client` untouched) when no target is registered under the handle.
bool GetVideoTargetClientRect(WindowHandle window, Rect& client);
// Tells the target under the handle, if any, that nothing presents into it any more; any thread.
void ClearVideoTarget(WindowHandle window);
// The target's HasPaintedLastPicture and PresentToPaintUs; true and 0 when none is registered.
// Any thread.
bool HasVideoTargetPainted(WindowHandle window);
int64_t VideoTargetPresentToPaintUs(WindowHandle window);

}  // namespace platform
