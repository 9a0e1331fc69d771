#pragma once
// The PulseAudio backend of the master volume: the default sink's volume. 0..65535 maps linearly
// onto 0..PA_VOLUME_NORM; a volume above the norm reads as 65535. Setting keeps the balance
// between the channels.

#include "platform/master_volume.h"

namespace platform {

class PulseMasterVolume final : public MasterVolume {
public:
    bool Get(uint32_t& value) override;
    bool Set(uint32_t value) override;
};

}  // namespace platform
