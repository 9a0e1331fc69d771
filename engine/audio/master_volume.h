#pragma once
// The system's loudspeaker volume, 0 (silent) to 65535 (full). Each call stands alone: it
// reaches the sound server, works and lets go, with a bounded wait. Called on the user-interface
// thread; shares nothing with the sound output.

#include <cstdint>

// The current volume; 0 when there is no sound server or no output to read it from.
uint32_t GetMasterVolume();
// True when the volume was set. Values above 65535 set the full volume.
bool SetMasterVolume(uint32_t value);
