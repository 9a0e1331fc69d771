#include "engine/audio/master_volume.h"

#include "platform/master_volume.h"

uint32_t GetMasterVolume() {
    uint32_t value = 0;
    if (!platform::CreateSystemMasterVolume()->Get(value)) return 0;
    return value;
}

bool SetMasterVolume(uint32_t value) { return platform::CreateSystemMasterVolume()->Set(value); }
