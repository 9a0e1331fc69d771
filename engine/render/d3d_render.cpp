#include "engine/render/d3d_render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixfmt.h>
}

namespace {

uint32_t ChromaWidth(uint32_t width) { return (width + 1) / 2; }
uint32_t ChromaHeight(uint32_t height) { return (height + 1) / 2; }

size_t SlotBytes(uint32_t width, uint32_t height) {
    return static_cast<size_t>(width) * height + 2 * static_cast<size_t>(ChromaWidth(width)) * ChromaHeight(height);
}

bool IsUsableSize(uint32_t width, uint32_t height) {
    return width > 0 && height > 0 && av_image_check_size(width, height, 0, nullptr) == 0;
}

void CopyRows(uint8_t* dest, ptrdiff_t destStride, const uint8_t* source, ptrdiff_t sourceStride, size_t rowBytes,
              uint32_t rows) {
    // Indexed rather than stepped, so no pointer is formed past the last row of a bottom-up plane.
    for (uint32_t row = 0; row < rows; ++row)
        std::memcpy(dest + row * destStride, source + row * sourceStride, rowBytes);
}

// True when every byte of `rows` rows of `rowBytes` bytes of the plane lies inside one of the
// frame's buffers. A frame without buffers (not reference-counted) is taken at its word.
bool PlaneInsideBuffers(const AVFrame& frame, int plane, size_t rowBytes, uint32_t rows) {
    if (!frame.buf[0]) return true;
    const auto first = reinterpret_cast<uintptr_t>(frame.data[plane]);
    const auto lastRow = first + static_cast<intptr_t>(rows - 1) * frame.linesize[plane];
    const uintptr_t low = std::min(first, lastRow);
    const uintptr_t high = std::max(first, lastRow) + rowBytes;
    for (const AVBufferRef* buffer : frame.buf) {
        if (!buffer) continue;
        const auto begin = reinterpret_cast<uintptr_t>(buffer->data);
        if (low >= begin && high <= begin + buffer->size) return true;
    }
    return false;
}

bool PlaneReadable(const AVFrame& frame, int plane, uint32_t rowBytes, uint32_t rows) {
    if (!frame.data[plane]) return false;
    const int64_t stride = frame.linesize[plane];
    if (std::abs(stride) < static_cast<int64_t>(rowBytes)) return false;
    return PlaneInsideBuffers(frame, plane, rowBytes, rows);
}

}  // namespace

void CD3DRender::ReadyQueue::Push(int slot) {
    if (m_nCount == kSlotCount) return;
    m_slots[(m_nHead + m_nCount) % kSlotCount] = slot;
    ++m_nCount;
}

int CD3DRender::ReadyQueue::Pop() {
    if (m_nCount == 0) return -1;
    const int slot = m_slots[m_nHead];
    m_nHead = (m_nHead + 1) % kSlotCount;
    --m_nCount;
    return slot;
}

CD3DRender::CD3DRender() {
    for (int i = 0; i < kSlotCount; ++i) m_slots[i].nIndex = i;
}

CD3DRender::~CD3DRender() {
    Stop();
    ReleaseSurfaces();
    // The window shows the last picture only for as long as its renderer exists.
    if (m_hWnd) platform::ClearVideoTarget(m_hWnd);
}

long CD3DRender::Init(platform::WindowHandle window) {
    if (!window || m_renderThread.IsStarted()) return kEFail;
    m_hWnd = window;
    m_pDevice = platform::CreatePresentationDevice(window);
    if (!m_pDevice) return kEFail;
    platform::GetVideoTargetClientRect(m_hWnd, m_rcClient);
    return 0;
}

int CD3DRender::Start(uint32_t width, uint32_t height) {
    if (m_renderThread.IsStarted() || m_bStop || !IsUsableSize(width, height)) return -1;
    for (FrameSlot& slot : m_slots) {
        if (!FitSlotToPicture(slot, width, height)) return -1;
    }
    if (CreateSurfaces(width, height) != 0) return -1;
    {
        platform::CsGuard guard(m_csQueue);
        m_bClockReset = 1;
    }
    m_renderThread.Start([this] { RenderLoop(); });
    m_bStarted = 1;
    return 0;
}

int CD3DRender::PushFrame(const AVFrame* frame, int width, int height, int64_t timestampMs) {
    // Without a render thread nobody would ever free a slot.
    if (!m_bStarted || m_bStop) return 0;
    if (!IsReadablePicture(frame, width, height)) return 0;
    const auto decidedAt = std::chrono::steady_clock::now();

    m_hFreeEvent.Wait(platform::kInfinite);
    if (m_bStop) {
        // Stop woke one producer; pass the wake-up on in case another one waits.
        m_hFreeEvent.Set();
        return 0;
    }
    const int index = AcquireFreeSlot();
    if (index < 0) return 0;

    FrameSlot& slot = m_slots[index];
    if (!FitSlotToPicture(slot, static_cast<uint32_t>(width), static_cast<uint32_t>(height))) {
        ReleaseSlot(index);
        return 0;
    }
    CopyFrameToSlot(*frame, slot);
    slot.nTimestampMs = timestampMs;
    slot.pushedAt = decidedAt;
    QueueSlot(index);
    return 1;
}

int CD3DRender::Flush() {
    platform::CsGuard guard(m_csQueue);
    // Only queued slots are handed back: a slot being filled by a producer or shown by the
    // render thread is still in use and is freed by its owner.
    for (int index = m_readyQueue.Pop(); index >= 0; index = m_readyQueue.Pop()) m_slots[index].bFree = 1;
    m_bClockReset = 1;
    m_hFreeEvent.Set();
    // A pacing wait measured on the old clock is meaningless now.
    m_hPaceEvent.Set();
    return 1;
}

void CD3DRender::Stop() {
    m_bStop = 1;
    m_hReadyEvent.Set();
    // Neither a long pacing wait nor a producer waiting for a slot may outlast the thread.
    m_hPaceEvent.Set();
    m_hFreeEvent.Set();
    m_renderThread.Join(platform::kInfinite);
}

platform::Rect CD3DRender::FitPictureInClient(const platform::Rect& client, uint32_t pictureWidth,
                                                   uint32_t pictureHeight) {
    const int w = client.Width();
    const int h = client.Height();
    if (w <= 0 || h <= 0 || pictureWidth == 0 || pictureHeight == 0)
        return platform::Rect{client.left, client.top, client.left, client.top};

    const double ratio = static_cast<double>(pictureHeight) / pictureWidth;
    const double windowRatio = static_cast<double>(h) / w;
    if (ratio > windowRatio) {
        const int newWidth = static_cast<int>(h / ratio);
        const int x = client.left + (w - newWidth) / 2;
        return platform::Rect{x, client.top, x + newWidth, client.bottom};
    }
    const int newHeight = static_cast<int>(ratio * w);
    const int y = client.top + (h - newHeight) / 2;
    return platform::Rect{client.left, y, client.right, y + newHeight};
}

// ---- producer side ----

bool CD3DRender::IsReadablePicture(const AVFrame* frame, int width, int height) const {
    if (!frame || width <= 0 || height <= 0) return false;
    const auto w = static_cast<uint32_t>(width);
    const auto h = static_cast<uint32_t>(height);
    if (!IsUsableSize(w, h)) return false;
    if (frame->format != AV_PIX_FMT_NONE && frame->format != AV_PIX_FMT_YUV420P &&
        frame->format != AV_PIX_FMT_YUVJ420P)
        return false;
    // A frame that knows its size must hold the picture it is said to carry.
    if (frame->width > 0 && frame->height > 0 && (width > frame->width || height > frame->height)) return false;
    return PlaneReadable(*frame, 0, w, h) && PlaneReadable(*frame, 1, ChromaWidth(w), ChromaHeight(h)) &&
           PlaneReadable(*frame, 2, ChromaWidth(w), ChromaHeight(h));
}

// The slot belongs to the caller: it was taken off the free list (or the thread is not running).
bool CD3DRender::FitSlotToPicture(FrameSlot& slot, uint32_t width, uint32_t height) {
    if (slot.pData && slot.nWidth == width && slot.nHeight == height) return true;
    slot.pData.reset(new (std::nothrow) uint8_t[SlotBytes(width, height)]);
    if (!slot.pData) {
        slot.nWidth = slot.nHeight = slot.nPitch = 0;
        return false;
    }
    slot.nWidth = width;
    slot.nHeight = height;
    slot.nPitch = width;
    return true;
}

int CD3DRender::AcquireFreeSlot() {
    platform::CsGuard guard(m_csQueue);
    for (FrameSlot& slot : m_slots) {
        if (slot.bFree) {
            slot.bFree = 0;
            return slot.nIndex;
        }
    }
    return -1;
}

void CD3DRender::QueueSlot(int slot) {
    platform::CsGuard guard(m_csQueue);
    m_readyQueue.Push(slot);
    m_hReadyEvent.Set();
}

void CD3DRender::CopyFrameToSlot(const AVFrame& frame, FrameSlot& slot) {
    const uint32_t chromaWidth = ChromaWidth(slot.nWidth);
    const uint32_t chromaHeight = ChromaHeight(slot.nHeight);
    uint8_t* y = slot.pData.get();
    uint8_t* v = y + static_cast<size_t>(slot.nPitch) * slot.nHeight;
    uint8_t* u = v + static_cast<size_t>(chromaWidth) * chromaHeight;
    CopyRows(y, slot.nPitch, frame.data[0], frame.linesize[0], slot.nWidth, slot.nHeight);
    CopyRows(v, chromaWidth, frame.data[2], frame.linesize[2], chromaWidth, chromaHeight);
    CopyRows(u, chromaWidth, frame.data[1], frame.linesize[1], chromaWidth, chromaHeight);
}

// ---- render thread ----

void CD3DRender::RenderLoop() {
    while (!m_bStop) {
        const int index = PopReadySlot();
        if (index < 0) {
            m_hFreeEvent.Set();
            m_hReadyEvent.Wait(kIdleWaitMs);
            continue;
        }
        ShowSlot(m_slots[index]);
        ReleaseSlot(index);
    }
}

int CD3DRender::PopReadySlot() {
    platform::CsGuard guard(m_csQueue);
    const int index = m_readyQueue.Pop();
    // Re-based under the lock, so a picture taken before a Flush never claims the new clock.
    if (index >= 0 && m_bClockReset) {
        m_bClockReset = 0;
        m_nBaseTickMs = platform::TickMs();
        m_hPaceEvent.Reset();
    }
    return index;
}

void CD3DRender::ReleaseSlot(int slot) {
    platform::CsGuard guard(m_csQueue);
    m_slots[slot].bFree = 1;
    m_hFreeEvent.Set();
}

// A picture that cannot be shown (the window is minimised, hidden or of no size) is dropped at
// its own time, as a shown one would be: the producer keeps its pace, and so does the sound that
// the read thread feeds alongside.
void CD3DRender::ShowSlot(const FrameSlot& slot) {
    if (m_bStop) return;
    if (DeviceReady() && SurfaceFits(slot)) {
        platform::SurfaceLock lock;
        if (LockPicture(lock)) {
            if (lock.bits) CopySlotToSurface(slot, lock);
            m_pDevice->UnlockSurface();
            WaitForPaintOfTheLast();
            if (PresentFrame()) NotePresentationDelay(slot);
        }
    }
    PaceUntil(slot.nTimestampMs);
}

// False drops the picture. A device that could not be re-created is tried again with the next
// picture, so presentation resumes once the window can take it.
bool CD3DRender::DeviceReady() {
    if (!m_pDevice) return ResetDevice() == 1;
    switch (m_pDevice->TestCooperativeLevel()) {
        case platform::CooperativeLevel::Ok:
            return true;
        case platform::CooperativeLevel::Lost:
            return false;
        case platform::CooperativeLevel::NotReset:
            return ResetDevice() == 1;
    }
    return false;
}

// A camera may switch streams mid-recording: the surface follows the picture's size.
bool CD3DRender::SurfaceFits(const FrameSlot& slot) {
    if (m_pDevice->SurfaceWidth() == slot.nWidth && m_pDevice->SurfaceHeight() == slot.nHeight) return true;
    return CreateSurfaces(slot.nWidth, slot.nHeight) == 0;
}

void CD3DRender::PaceUntil(int64_t timestampMs) {
    const uint32_t elapsedMs = platform::TickMs() - m_nBaseTickMs;
    if (timestampMs <= static_cast<int64_t>(elapsedMs) + kPaceLeadMs) return;
    const int64_t waitMs = timestampMs - static_cast<int64_t>(elapsedMs) - kPaceLeadMs;
    m_hPaceEvent.Wait(static_cast<uint32_t>(std::min<int64_t>(waitMs, platform::kInfinite - 1)));
}

// A picture presented while the window has not painted the last one would replace it unseen: at
// normal speed that loses a picture, a one-picture flash for instance. The wait is polled, not
// signalled, so that it holds no lock the window's thread may need, and a stop ends it at once.
void CD3DRender::WaitForPaintOfTheLast() {
    constexpr uint32_t kLongestWaitMs = 60;  // a picture interval and a half at 25 a second
    constexpr uint32_t kLookMs = 1;
    if (!m_bEveryPictureSeen || platform::HasVideoTargetPainted(m_hWnd)) return;
    ++m_nPaintWaits;
    const uint64_t giveUpMs = platform::TickMs64() + kLongestWaitMs;
    while (!m_bStop && m_bEveryPictureSeen && platform::TickMs64() < giveUpMs &&
           !platform::HasVideoTargetPainted(m_hWnd)) {
        platform::Sleep(kLookMs);
    }
}

// The delay a picture takes from the producer's decision to the screen: the renderer's own part
// (waiting for a slot, the copy, the conversion and the hand-over) measured here, the window's
// part (from the hand-over to its paint) measured by the window. Both are smoothed over about
// eight pictures.
void CD3DRender::NotePresentationDelay(const FrameSlot& slot) {
    const auto sinceDecisionUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - slot.pushedAt).count();
    const int64_t previousUs = m_nPushToPresentUs;
    const int64_t smoothedUs = m_nPresents == 0 ? sinceDecisionUs : previousUs + (sinceDecisionUs - previousUs) / 8;
    m_nPushToPresentUs = smoothedUs;
    m_nPresentationDelayUs = smoothedUs + platform::VideoTargetPresentToPaintUs(m_hWnd);
    ++m_nPresents;
}

bool CD3DRender::LockPicture(platform::SurfaceLock& lock) { return m_pDevice->LockSurface(lock); }

void CD3DRender::CopySlotToSurface(const FrameSlot& slot, const platform::SurfaceLock& lock) {
    const uint32_t chromaWidth = ChromaWidth(slot.nWidth);
    const uint32_t chromaHeight = ChromaHeight(slot.nHeight);
    const ptrdiff_t chromaPitch = lock.pitch / 2;
    const uint8_t* y = slot.pData.get();
    const uint8_t* v = y + static_cast<size_t>(slot.nPitch) * slot.nHeight;
    const uint8_t* u = v + static_cast<size_t>(chromaWidth) * chromaHeight;
    uint8_t* dest = lock.bits;
    CopyRows(dest, lock.pitch, y, slot.nPitch, slot.nWidth, slot.nHeight);
    dest += static_cast<size_t>(lock.pitch) * slot.nHeight;
    CopyRows(dest, chromaPitch, v, chromaWidth, chromaWidth, chromaHeight);
    dest += static_cast<size_t>(chromaPitch) * chromaHeight;
    CopyRows(dest, chromaPitch, u, chromaWidth, chromaWidth, chromaHeight);
}

int CD3DRender::PresentFrame() {
    if (!platform::IsVideoTarget(m_hWnd)) return 0;
    platform::Rect dest;
    ComputeTargetRect(dest);
    // Like a swap chain's present, a picture the window could not take is simply not shown.
    return m_pDevice->Present(dest) ? 1 : 0;
}

void CD3DRender::ComputeTargetRect(platform::Rect& dest) {
    platform::GetVideoTargetClientRect(m_hWnd, m_rcClient);
    dest = FitPictureInClient(m_rcClient, m_nWidth, m_nHeight);
}

// ---- device and surfaces ----

long CD3DRender::CreateSurfaces(uint32_t width, uint32_t height) {
    if (!m_pDevice || !m_pDevice->CreateSurface(width, height)) return kEFail;
    m_nWidth = width;
    m_nHeight = height;
    return 0;
}

void CD3DRender::ReleaseSurfaces() {
    if (m_pDevice) m_pDevice->ReleaseSurface();
    m_pDevice.reset();
}

// The device is re-created rather than reset.
int CD3DRender::ResetDevice() {
    ReleaseSurfaces();
    m_pDevice = platform::CreatePresentationDevice(m_hWnd);
    if (!m_pDevice) return 0;
    return CreateSurfaces(m_nWidth, m_nHeight) >= 0 ? 1 : 0;
}
