#pragma once
// An audio device without sound: it consumes what it is given at the format's rate on a clock
// thread of its own and reports each block done when its clock has passed the block's end. For
// machines and tests without a sound server; a test can also stall it like a server that stops
// reading.

#include <deque>

#include "platform/audio_device.h"
#include "platform/sync.h"

namespace platform {

class NullAudioDevice final : public AudioDevice {
public:
    NullAudioDevice() = default;
    ~NullAudioDevice() override;
    NullAudioDevice(const NullAudioDevice&) = delete;
    NullAudioDevice& operator=(const NullAudioDevice&) = delete;

    bool Open(const PcmFormat& format, BlockDone onBlockDone) override;
    bool Write(const uint8_t* data, size_t bytes, uintptr_t tag) override;
    void Reset() override;
    void Close() override;
    int64_t PlayedMs() const override;

    // Any thread. A stalled device keeps its blocks and its clock stands still.
    void SetStalled(bool stalled);
    // Any thread. Blocks written and not yet reported done.
    size_t PendingBlocks() const;

private:
    struct PendingBlock {
        uint64_t endByte;
        uintptr_t tag;
    };

    void ClockLoop();
    void Advance(uint64_t elapsedUs);
    void ReturnAllBlocks();

    PcmFormat m_format;
    BlockDone m_onBlockDone;
    Thread m_clock;
    Event m_stop{ResetKind::Manual, false};
    mutable CriticalSection m_lock;  // guards everything below; held during done notifications
    bool m_open = false;
    bool m_stalled = false;
    std::deque<PendingBlock> m_pending;
    uint64_t m_writtenBytes = 0;
    uint64_t m_playedBytes = 0;
    uint64_t m_playedByteMicros = 0;  // fraction of a byte carried between ticks, in byte·µs
};

}  // namespace platform
