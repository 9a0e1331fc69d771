#pragma once
// Helpers shared by the sound tests: formats, silent blocks, and a scope that points the process
// at a sound server that does not exist.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/wave_format.h"

inline WAVEFORMATEX Pcm16(uint32_t samplesPerSec, uint16_t channels) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = samplesPerSec;
    format.nBlockAlign = static_cast<uint16_t>(2 * channels);
    format.nAvgBytesPerSec = format.nBlockAlign * samplesPerSec;
    format.wBitsPerSample = 16;
    return format;
}

// A block of `ms` milliseconds of a quiet tone (not silence, so nothing can skip it as empty).
inline std::vector<uint8_t> ToneBlock(const WAVEFORMATEX& format, uint32_t ms) {
    const size_t frames = size_t{format.nSamplesPerSec} * ms / 1000;
    std::vector<uint8_t> bytes(frames * format.nBlockAlign);
    for (size_t i = 0; i < bytes.size(); i += 2) bytes[i] = (i / format.nBlockAlign) % 64 < 32 ? 8 : 0;
    return bytes;
}

// Points libpulse at a socket nobody listens on for the life of the scope.
class NoSoundServer {
public:
    NoSoundServer() {
        if (const char* old = std::getenv("PULSE_SERVER")) m_old = old;
        m_hadOld = std::getenv("PULSE_SERVER") != nullptr;
        setenv("PULSE_SERVER", "unix:/nonexistent/telvane-no-server", 1);
    }
    ~NoSoundServer() {
        if (m_hadOld)
            setenv("PULSE_SERVER", m_old.c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
    }
    NoSoundServer(const NoSoundServer&) = delete;
    NoSoundServer& operator=(const NoSoundServer&) = delete;

private:
    std::string m_old;
    bool m_hadOld = false;
};
