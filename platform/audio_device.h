#pragma once
// A sound playback device: one stream of signed 16-bit little-endian interleaved PCM. Blocks are
// queued in order; the device reports each block back once it is finished with it, which is what
// lets a writer pace itself at the speed of playback.
//
// Threads: Open and Close are called by one controlling thread; Write and Reset by one writer
// thread, never at the same time as Open or Close; PlayedMs from any thread. The
// block-done notification runs on the device's own thread, or on the caller's thread inside Reset
// and Close, with the device's internal lock held: it must only record the fact under a short
// lock of its own and must never call back into the device.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

struct PcmFormat {
    uint32_t samplesPerSec = 0;
    uint16_t channels = 0;

    size_t FrameBytes() const { return size_t{channels} * 2; }
};

class AudioDevice {
public:
    // Called once for every block that Write accepted, in the order of writing, when the device
    // has played past the block's end or dropped it (Reset, Close, a failed stream). `tag` is the
    // value given to Write.
    using BlockDone = std::function<void(uintptr_t tag)>;

    virtual ~AudioDevice() = default;

    // Opens the stream. False when the format is not playable or no sound server answers within
    // a bounded wait (a few seconds at most; a missing server fails at once).
    virtual bool Open(const PcmFormat& format, BlockDone onBlockDone) = 0;

    // Queues a copy of `bytes` bytes (a whole number of frames, at least one); the caller may
    // reuse its buffer when Write returns. Never blocks on playback. False, and no done
    // notification, when the device is not open or the stream has failed.
    virtual bool Write(const uint8_t* data, size_t bytes, uintptr_t tag) = 0;

    // Drops everything queued; every pending block is reported done before Reset returns. The
    // device stays open, and its clock jumps over what was dropped: PlayedMs goes on from the
    // length of everything written, as if it had been heard. May block for a bounded wait on the
    // sound server.
    virtual void Reset() = 0;

    // Drops what is queued (reporting every pending block done) and closes the stream. Does
    // nothing when not open.
    virtual void Close() = 0;

    // Milliseconds of this device's sound heard since Open by the sound server's playback clock,
    // sound dropped by Reset counted as heard; -1 when not open or not known yet.
    virtual int64_t PlayedMs() const = 0;

    // Whether the stream is heard; it plays on, and keeps its clock, either way. Kept across
    // Open, Reset and Close. Called by the controlling thread. A device without a mixer of its
    // own ignores it.
    virtual void SetMuted(bool /*muted*/) {}
    // What the sound server lists the stream as (the played file's name, say); from the next Open
    // on. Called by the controlling thread. A device without a server ignores it.
    virtual void SetStreamName(const std::string& /*name*/) {}
};

// The system's sound output (the PulseAudio client).
std::unique_ptr<AudioDevice> CreateSystemAudioDevice();

}  // namespace platform
