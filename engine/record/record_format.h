#pragma once
// Byte layout of the recorders' recording files: a 64-byte file header, then frames of a 24-byte
// frame header followed by the payload. Every field is little-endian. The reader, the writer tool,
// the benchmark and the test fixtures all encode and decode through these functions, so the
// layout is written down once.

#include <cstddef>
#include <cstdint>

namespace record_format {

constexpr uint32_t kMagic = 0x20151105u;
constexpr size_t kFileHeaderSize = 64;
constexpr size_t kFrameHeaderSize = 24;
constexpr uint32_t kAudioPresentFlag = 1u << 25;  // in the stream flags word
constexpr uint64_t kMsPerDay = 86'400'000;         // time stamps are compared by time of day

// Header values of the video codec field; anything but HEVC means H.264.
constexpr uint32_t kVideoH264 = 0;
constexpr uint32_t kVideoHevc = 3;
// Header values of the audio codec field; anything else means no audio.
constexpr uint32_t kAudioMulaw = 0;
constexpr uint32_t kAudioAlaw = 1;
constexpr uint32_t kAudioAac = 2;

enum FrameKind : uint8_t { kKindAudio = 0, kKindVideoKey = 1, kKindVideoDelta = 2 };

struct FileHeader {
    uint32_t magic = kMagic;
    uint32_t streamFlags = 0;
    uint32_t videoCodec = kVideoH264;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t audioCodec = 0;
    uint32_t sampleRate = 0;  // audio samples per second

    bool HasAudio() const { return (streamFlags & kAudioPresentFlag) != 0; }
};

struct FrameHeader {
    uint8_t kind = kKindVideoKey;  // the top byte of the kind word
    uint32_t payloadSize = 0;      // bytes that follow the frame header
    uint64_t timeMs = 0;           // wall-clock milliseconds as the recorder stamped them
};

inline uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline uint64_t LoadLe64(const uint8_t* p) { return uint64_t(LoadLe32(p)) | uint64_t(LoadLe32(p + 4)) << 32; }

inline void StoreLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

inline void StoreLe64(uint8_t* p, uint64_t v) {
    StoreLe32(p, uint32_t(v));
    StoreLe32(p + 4, uint32_t(v >> 32));
}

inline FileHeader DecodeFileHeader(const uint8_t* bytes) {
    FileHeader h;
    h.magic = LoadLe32(bytes + 0x00);
    h.streamFlags = LoadLe32(bytes + 0x04);
    h.videoCodec = LoadLe32(bytes + 0x10);
    h.width = LoadLe32(bytes + 0x14);
    h.height = LoadLe32(bytes + 0x18);
    h.audioCodec = LoadLe32(bytes + 0x1C);
    h.sampleRate = LoadLe32(bytes + 0x20);
    return h;
}

// Fills all 64 bytes; the reserved ones are zero.
inline void EncodeFileHeader(const FileHeader& h, uint8_t* bytes) {
    for (size_t i = 0; i < kFileHeaderSize; ++i) bytes[i] = 0;
    StoreLe32(bytes + 0x00, h.magic);
    StoreLe32(bytes + 0x04, h.streamFlags);
    StoreLe32(bytes + 0x10, h.videoCodec);
    StoreLe32(bytes + 0x14, h.width);
    StoreLe32(bytes + 0x18, h.height);
    StoreLe32(bytes + 0x1C, h.audioCodec);
    StoreLe32(bytes + 0x20, h.sampleRate);
}

inline FrameHeader DecodeFrameHeader(const uint8_t* bytes) {
    FrameHeader f;
    f.kind = uint8_t(LoadLe32(bytes + 0x00) >> 24);
    f.payloadSize = LoadLe32(bytes + 0x04);
    f.timeMs = LoadLe64(bytes + 0x08);
    return f;
}

// Fills all 24 bytes; the low 24 bits of the kind word and the reserved field are zero.
inline void EncodeFrameHeader(const FrameHeader& f, uint8_t* bytes) {
    for (size_t i = 0; i < kFrameHeaderSize; ++i) bytes[i] = 0;
    StoreLe32(bytes + 0x00, uint32_t(f.kind) << 24);
    StoreLe32(bytes + 0x04, f.payloadSize);
    StoreLe64(bytes + 0x08, f.timeMs);
}

}  // namespace record_format
