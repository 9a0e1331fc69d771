#pragma once
// The waveform description the engine hands to its sound output, in the layout the engine's
// format records were designed around. Only 16-bit PCM is ever played.

#include <cstdint>

struct WAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};

constexpr uint16_t WAVE_FORMAT_PCM = 1;
