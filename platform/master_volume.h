#pragma once
// The system's loudspeaker volume: the volume of the sound server's default output, not a gain
// on any one stream. Values run from 0 (silent) to 65535 (full, the server's 100 %).
//
// Threads: any thread; each call stands alone (connects, works, disconnects) and keeps no state,
// so calls on different objects or threads share nothing. Each call may block for a bounded wait
// on the sound server (about a second at most) and returns promptly when there is none.

#include <cstdint>
#include <memory>

namespace platform {

constexpr uint32_t kMasterVolumeMax = 0xFFFF;

class MasterVolume {
public:
    virtual ~MasterVolume() = default;
    // False when there is no server or no default output.
    virtual bool Get(uint32_t& value) = 0;
    // Values above kMasterVolumeMax are treated as kMasterVolumeMax. False when there is no
    // server or no default output, or the server refused the change.
    virtual bool Set(uint32_t value) = 0;
};

// The PulseAudio server's default sink.
std::unique_ptr<MasterVolume> CreateSystemMasterVolume();

}  // namespace platform
