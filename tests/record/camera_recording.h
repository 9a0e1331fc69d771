#pragma once
// Recordings shaped like a camera's, made in memory for the reader's tests: every second one key
// frame, delta frames between, and G.711 sound frames, all in time order, with the file offset of
// every frame known so a test can damage exact frames and check the index against them.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/record/record_format.h"
#include "tests/support/fixtures.h"

namespace camera {

struct Shape {
    uint64_t startMs = 1'700'000'000'000;
    uint64_t seconds = 6;
    uint32_t picturesPerSecond = 25;
    uint32_t keyBytes = 4000;
    uint32_t deltaBytes = 400;
    uint32_t soundFramesPerSecond = 50;  // 0: no sound
    uint32_t soundBytes = 160;
};

struct Recording {
    std::vector<fixtures::RawFrame> frames;
    std::vector<uint64_t> offsets;  // of each frame's header
    std::vector<uint8_t> bytes;
};

inline record_format::FileHeader Header(bool sound) {
    record_format::FileHeader header = fixtures::VideoOnlyHeader();
    if (sound) {
        header.streamFlags |= record_format::kAudioPresentFlag;
        header.audioCodec = record_format::kAudioMulaw;
        header.sampleRate = 8000;
    }
    return header;
}

// Each payload starts with its frame's number, so no two frames look alike.
inline fixtures::RawFrame MakeFrame(uint8_t kind, uint64_t timeMs, uint32_t size, uint32_t number) {
    std::vector<uint8_t> payload(size, uint8_t(0x40 + number % 64));
    std::memcpy(payload.data(), &number, std::min<size_t>(sizeof number, payload.size()));
    return fixtures::RawFrame{kind, timeMs, payload, std::nullopt};
}

inline std::vector<fixtures::RawFrame> Frames(const Shape& shape) {
    struct Slot {
        uint64_t timeMs;
        uint8_t kind;
        uint32_t size;
    };
    std::vector<Slot> slots;
    for (uint64_t second = 0; second < shape.seconds; ++second) {
        const uint64_t base = shape.startMs + second * 1000;
        for (uint32_t p = 0; p < shape.picturesPerSecond; ++p) {
            const bool key = p == 0;
            slots.push_back({base + p * 1000 / shape.picturesPerSecond,
                             key ? record_format::kKindVideoKey : record_format::kKindVideoDelta,
                             key ? shape.keyBytes : shape.deltaBytes});
        }
        for (uint32_t a = 0; a < shape.soundFramesPerSecond; ++a)
            slots.push_back({base + a * 1000 / shape.soundFramesPerSecond, record_format::kKindAudio, shape.soundBytes});
    }
    std::stable_sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return a.timeMs < b.timeMs; });
    std::vector<fixtures::RawFrame> frames;
    for (const Slot& slot : slots) frames.push_back(MakeFrame(slot.kind, slot.timeMs, slot.size, uint32_t(frames.size())));
    return frames;
}

inline Recording Make(const std::vector<fixtures::RawFrame>& frames, bool sound) {
    Recording recording;
    recording.frames = frames;
    recording.bytes = fixtures::EncodeRecording(Header(sound), frames);
    uint64_t offset = record_format::kFileHeaderSize;
    for (const auto& frame : frames) {
        recording.offsets.push_back(offset);
        offset += record_format::kFrameHeaderSize + frame.payload.size();
    }
    return recording;
}

inline Recording Make(const Shape& shape) { return Make(Frames(shape), shape.soundFramesPerSecond != 0); }

// Offset just past frame i's payload.
inline uint64_t EndOf(const Recording& recording, size_t i) {
    return recording.offsets[i] + record_format::kFrameHeaderSize + recording.frames[i].payload.size();
}

}  // namespace camera
