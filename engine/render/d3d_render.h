#pragma once
// Shows decoded pictures in a window. The video thread copies each picture into one of six
// slots and queues it; the render thread takes the slots in order, fills the presentation
// device's picture surface, presents it into the largest centred rectangle of the window that
// keeps the picture's aspect ratio, and paces itself by the pictures' time stamps when asked to.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/messages.h"
#include "platform/presentation_device.h"
#include "platform/sync.h"
#include "platform/video_target.h"

struct AVFrame;

class CD3DRender {
public:
    // E_FAIL as a 32-bit HRESULT (0x80004005): negative, so both "!= 0" and "< 0" see failure.
    static constexpr long kEFail = static_cast<int32_t>(0x80004005u);
    static constexpr int kSlotCount = 6;

    CD3DRender();
    virtual ~CD3DRender();
    CD3DRender(const CD3DRender&) = delete;
    CD3DRender& operator=(const CD3DRender&) = delete;

    // Opening thread. 0, or kEFail for a null window, a window that is no video target, or a
    // renderer that is already running.
    long Init(platform::WindowHandle window);
    // Opening thread, after Init. Allocates the slots and the surface at width x height pixels
    // and starts the render thread; 0, or -1 (no thread runs) when either fails, the size is
    // unusable, or the renderer was started before.
    int Start(uint32_t width, uint32_t height);
    // Video thread. Copies a planar 4:2:0 picture (YUV420P or YUVJ420P) of width x height into
    // a slot and queues it; 1 when queued. Blocks until the render thread frees a slot; returns
    // 0 at once when the renderer is not running (never started, failed to start, stopping)
    // and for a picture it cannot read safely. A picture of another size than Start's is shown
    // at its own size.
    int PushFrame(const AVFrame* frame, int width, int height, int64_t timestampMs);
    // Any thread. Drops every queued picture, wakes a waiting producer and a pacing wait, and
    // re-bases the clock on the next picture taken. Always 1.
    int Flush();
    // Closing thread. Ends the render thread and waits for it; later pushes return 0.
    void Stop();

    // Any thread. When on (playing at normal speed), a picture is not presented over the last one
    // until the window has painted that, a picture interval or so at most: every picture is seen.
    // Off, a picture may replace one the window has not painted yet (fast playing, stepping).
    void SetEveryPictureSeen(bool everyPicture) { m_bEveryPictureSeen = everyPicture; }
    // Any thread. Milliseconds from PushFrame to the window's paint of the picture, as measured
    // over the last pictures (about eight); 0 before the first.
    int64_t PresentationDelayMs() const { return m_nPresentationDelayUs / 1000; }
    // Any thread. Pictures presented, and how many of them had to wait for the window to paint
    // the one before.
    uint64_t PresentCount() const { return m_nPresents; }
    uint64_t PaintWaitCount() const { return m_nPaintWaits; }

    // The largest rectangle of `client` with the picture's aspect ratio, centred. Empty, at the
    // client's top-left corner, when the client or the picture has no area.
    static platform::Rect FitPictureInClient(const platform::Rect& client, uint32_t pictureWidth,
                                                  uint32_t pictureHeight);

private:
    static constexpr uint32_t kIdleWaitMs = 5;
    // Pacing ends this long before a picture's time, so the next one is ready in time.
    static constexpr int64_t kPaceLeadMs = 8;

    // One picture in YV12 plane order: Y (pitch x height bytes), then V, then U, each
    // (width + 1) / 2 bytes by (height + 1) / 2 rows.
    struct FrameSlot {
        int nIndex = 0;
        std::unique_ptr<uint8_t[]> pData;
        int64_t nTimestampMs = 0;
        std::chrono::steady_clock::time_point pushedAt;  // when the producer decided to show it
        uint32_t nWidth = 0;
        uint32_t nHeight = 0;
        uint32_t nPitch = 0;
        int bFree = 1;  // guarded by m_csQueue
    };

    // First-in first-out slot indices; never holds more than one entry per slot, so it needs
    // no storage beyond the slot count.
    class ReadyQueue {
    public:
        void Push(int slot);
        int Pop();  // -1 when empty
        bool Empty() const { return m_nCount == 0; }

    private:
        int m_slots[kSlotCount] = {};
        int m_nHead = 0;
        int m_nCount = 0;
    };

    void RenderLoop();
    void ShowSlot(const FrameSlot& slot);
    bool DeviceReady();
    bool SurfaceFits(const FrameSlot& slot);
    void PaceUntil(int64_t timestampMs);
    void WaitForPaintOfTheLast();
    void NotePresentationDelay(const FrameSlot& slot);

    bool IsReadablePicture(const AVFrame* frame, int width, int height) const;
    bool FitSlotToPicture(FrameSlot& slot, uint32_t width, uint32_t height);
    int AcquireFreeSlot();
    void QueueSlot(int slot);
    int PopReadySlot();
    void ReleaseSlot(int slot);
    void CopyFrameToSlot(const AVFrame& frame, FrameSlot& slot);
    void CopySlotToSurface(const FrameSlot& slot, const platform::SurfaceLock& lock);
    int PresentFrame();
    void ComputeTargetRect(platform::Rect& dest);
    long CreateSurfaces(uint32_t width, uint32_t height);
    void ReleaseSurfaces();
    int ResetDevice();
    bool LockPicture(platform::SurfaceLock& lock);

    // Used by the opening thread until the render thread starts, then by the render thread alone.
    std::unique_ptr<platform::PresentationDevice> m_pDevice;
    uint32_t m_nWidth = 0;   // size of the picture surface, pixels: Start's, then the last picture's
    uint32_t m_nHeight = 0;
    platform::Rect m_rcClient;  // refreshed on every present
    platform::WindowHandle m_hWnd = nullptr;
    platform::Thread m_renderThread;
    platform::Event m_hPaceEvent{platform::ResetKind::Automatic, false};
    platform::Event m_hFreeEvent{platform::ResetKind::Automatic, false};
    platform::Event m_hReadyEvent{platform::ResetKind::Automatic, false};
    int m_bClockReset = 0;       // guarded by m_csQueue
    uint32_t m_nBaseTickMs = 0;  // render thread; TickMs() when the clock was last based
    platform::CriticalSection m_csQueue;
    ReadyQueue m_readyQueue;  // guarded by m_csQueue
    FrameSlot m_slots[kSlotCount];
    std::atomic<int> m_bStop{0};
    std::atomic<int> m_bStarted{0};
    std::atomic<bool> m_bEveryPictureSeen{true};
    // Written by the render thread, read by any.
    std::atomic<int64_t> m_nPushToPresentUs{0};   // smoothed
    std::atomic<int64_t> m_nPresentationDelayUs{0};
    std::atomic<uint64_t> m_nPresents{0};
    std::atomic<uint64_t> m_nPaintWaits{0};
};
