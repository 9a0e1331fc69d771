#include "platform/null_audio_device.h"

#include <algorithm>

namespace platform {

namespace {

constexpr uint32_t kTickMs = 5;
constexpr uint64_t kMicrosPerSecond = 1000000;

}  // namespace

NullAudioDevice::~NullAudioDevice() { Close(); }

bool NullAudioDevice::Open(const PcmFormat& format, BlockDone onBlockDone) {
    Close();
    if (format.channels == 0 || format.samplesPerSec == 0) return false;
    {
        CsGuard guard(m_lock);
        m_format = format;
        m_onBlockDone = std::move(onBlockDone);
        m_open = true;
        m_writtenBytes = m_playedBytes = m_playedByteMicros = 0;
    }
    m_stop.Reset();
    return m_clock.Start([this] { ClockLoop(); });
}

bool NullAudioDevice::Write(const uint8_t* data, size_t bytes, uintptr_t tag) {
    CsGuard guard(m_lock);
    if (!m_open || !data || bytes == 0 || bytes % m_format.FrameBytes() != 0) return false;
    m_writtenBytes += bytes;
    m_pending.push_back({m_writtenBytes, tag});
    return true;
}

void NullAudioDevice::Reset() {
    CsGuard guard(m_lock);
    // What was queued is skipped unheard: the clock jumps over it.
    m_playedBytes = m_writtenBytes;
    ReturnAllBlocks();
}

void NullAudioDevice::Close() {
    m_stop.Set();
    m_clock.Join();
    CsGuard guard(m_lock);
    ReturnAllBlocks();
    m_open = false;
    m_onBlockDone = nullptr;
}

int64_t NullAudioDevice::PlayedMs() const {
    CsGuard guard(m_lock);
    if (!m_open) return -1;
    const uint64_t bytesPerSecond = m_format.samplesPerSec * m_format.FrameBytes();
    return static_cast<int64_t>(m_playedBytes * 1000 / bytesPerSecond);
}

void NullAudioDevice::SetStalled(bool stalled) {
    CsGuard guard(m_lock);
    m_stalled = stalled;
}

size_t NullAudioDevice::PendingBlocks() const {
    CsGuard guard(m_lock);
    return m_pending.size();
}

void NullAudioDevice::ClockLoop() {
    uint64_t lastUs = TickMs64() * 1000;
    while (!m_stop.Wait(kTickMs)) {
        const uint64_t nowUs = TickMs64() * 1000;
        Advance(nowUs - lastUs);
        lastUs = nowUs;
    }
}

// Plays up to `elapsedUs` worth of what is queued; an empty queue is an underrun, during which
// the clock stands still as a sound server's stream clock does.
void NullAudioDevice::Advance(uint64_t elapsedUs) {
    CsGuard guard(m_lock);
    if (m_stalled || m_pending.empty()) {
        m_playedByteMicros = 0;
        return;
    }
    const uint64_t bytesPerSecond = m_format.samplesPerSec * m_format.FrameBytes();
    m_playedByteMicros += elapsedUs * bytesPerSecond;
    const uint64_t bytes = m_playedByteMicros / kMicrosPerSecond;
    m_playedByteMicros %= kMicrosPerSecond;
    m_playedBytes = std::min(m_playedBytes + bytes, m_writtenBytes);
    while (!m_pending.empty() && m_pending.front().endByte <= m_playedBytes) {
        const uintptr_t tag = m_pending.front().tag;
        m_pending.pop_front();
        if (m_onBlockDone) m_onBlockDone(tag);
    }
}

void NullAudioDevice::ReturnAllBlocks() {
    while (!m_pending.empty()) {
        const uintptr_t tag = m_pending.front().tag;
        m_pending.pop_front();
        if (m_onBlockDone) m_onBlockDone(tag);
    }
}

}  // namespace platform
