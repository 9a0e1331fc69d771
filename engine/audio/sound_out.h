#pragma once
// Plays blocks of 16-bit PCM through the system's sound output with a ring of five fixed
// buffers. The writer blocks while the ring is full, which paces the audio thread at the speed of
// playback: it never runs more than five blocks ahead of what the device has played.
//
// Threads: Write and Reset are called by the session's audio thread only; Open and Close by the thread that
// opens and closes files, never while a Write runs; GetPlayedMs from any thread while open. The
// device's block-done notification runs on the device's thread and touches only the slot states
// and the queued count, under the lock.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio_device.h"
#include "platform/sync.h"
#include "platform/wave_format.h"

class CSoundOut {
public:
    static constexpr int kSlotCount = 5;
    static constexpr int kSlotBytes = 102400;
    // Write looks at a slot the device still holds every 50 ms, ten times; a slot still held
    // after that belongs to a stalled device, and the new block is dropped rather than written
    // over it.
    static constexpr uint32_t kSlotLookIntervalMs = 50;
    static constexpr int kMaxSlotLooks = 10;

    CSoundOut();
    // For tests and tools that play through another device than the system's.
    explicit CSoundOut(std::unique_ptr<platform::AudioDevice> device);
    virtual ~CSoundOut();
    CSoundOut(const CSoundOut&) = delete;
    CSoundOut& operator=(const CSoundOut&) = delete;

    // Off by default. When on, a device that cannot be opened, or that fails while playing (its
    // sound server went away), is replaced by a silent one in the same format: the writer keeps
    // its pace, the played clock goes on, and the block that met the failure is still refused.
    // Owner's thread, before Open.
    void SetSilentFallback(bool enabled) { m_silentFallback = enabled; }
    // 16-bit PCM only; the device decides whether it can play the rate and channel count.
    // Opening an open output closes it first.
    bool Open(const WAVEFORMATEX& format);
    // Whether the sound now goes to the silent stand-in.
    bool IsSilent() const { return m_silent; }
    // Queues a copy of the block into the next slot. Returns the number of blocks the device
    // holds including this one, or -1 when the block was not played: no data, a length outside
    // 1..kSlotBytes or not a whole number of sample frames, the output not open, the device
    // refusing it, or the slot still held by a stalled device.
    int Write(const uint8_t* data, int length);
    // Drops the blocks the device still holds, unheard, and hands their slots back; the played
    // clock jumps over them. Audio thread, as Write.
    void Reset();
    void Close();
    bool IsOpen() const;
    // Any thread: a Write waiting for a held slot gives up at once (the block is not played), and
    // so does every later one until the next Open. For a stop, which waits for the writer to end.
    void CancelWaits();
    // True once the device has handed back every block and its clock has passed the end of
    // everything written: nothing is left to hear. Writer's thread, as Write.
    bool HasPlayedEverything() const;
    // Milliseconds of this output's sound heard since Open by the sound server's clock; -1 when
    // not open or not known yet.
    int64_t GetPlayedMs() const;
    // Silences the output (or lets it be heard again) without stopping it: its clock and its pace
    // go on. Kept across Open and Close. The opening thread.
    void SetMuted(bool muted);
    // The name the sound server lists the output under, from the next Open on. The opening thread.
    void SetStreamName(const std::string& name);

private:
    struct Slot {
        std::unique_ptr<uint8_t[]> data;  // kSlotBytes
        int length = 0;
        bool held = false;  // handed to the device and not yet returned; guarded by m_lock
    };

    static bool IsPlayableFormat(const WAVEFORMATEX& format);
    bool IsWholeFrames(int length) const;
    bool WaitForSlot(const Slot& slot);
    bool SlotHeld(const Slot& slot);
    int MarkHeld(Slot& slot);
    void MarkReturned(Slot& slot);
    void OnBlockDone(uintptr_t slotIndex);
    platform::AudioDevice::BlockDone DoneCallback();
    bool OpenSilentDevice();

    WAVEFORMATEX m_format{};
    std::unique_ptr<platform::AudioDevice> m_device;  // replaced only under m_deviceLock
    // Guards which device m_device is, for GetPlayedMs on other threads; taken before the
    // device's own lock, never while m_lock is held.
    mutable platform::CriticalSection m_deviceLock;
    bool m_silentFallback = false;
    std::atomic<bool> m_silent{false};
    int64_t m_bytesAccepted = 0;    // by the device since Open; writer's thread
    int64_t m_playedBeforeMs = 0;   // by devices replaced since Open; guarded by m_deviceLock
    int m_queued = 0;  // blocks the device holds; guarded by m_lock
    std::atomic<bool> m_open{false};
    std::array<Slot, kSlotCount> m_slots;
    unsigned int m_next = 0;  // the slot the next Write fills
    bool m_firstPass = true;  // no slot has been handed to the device yet
    mutable platform::CriticalSection m_lock;
    platform::Event m_cancelWaits{platform::ResetKind::Manual, false};
};
