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

// Points libpulse at another server for the life of the scope.
class UseSoundServer {
public:
    explicit UseSoundServer(const std::string& address) {
        if (const char* old = std::getenv("PULSE_SERVER")) {
            m_old = old;
            m_hadOld = true;
        }
        setenv("PULSE_SERVER", address.c_str(), 1);
    }
    ~UseSoundServer() {
        if (m_hadOld)
            setenv("PULSE_SERVER", m_old.c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
    }
    UseSoundServer(const UseSoundServer&) = delete;
    UseSoundServer& operator=(const UseSoundServer&) = delete;

private:
    std::string m_old;
    bool m_hadOld = false;
};

// A socket nobody listens on.
class NoSoundServer : public UseSoundServer {
public:
    NoSoundServer() : UseSoundServer("unix:/nonexistent/telvane-no-server") {}
};

// A sound server of the test's own with a null sink, which the test may kill; the shared server
// of the test command is never touched.
class PrivateSoundServer {
public:
    PrivateSoundServer();
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    bool Started() const { return m_pid > 0; }
    std::string Address() const { return "unix:" + m_dir + "/native"; }
    void Kill();

private:
    std::string m_dir;
    int m_pid = -1;
};
