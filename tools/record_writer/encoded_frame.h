#pragma once
// What a track hands to the recording: one compressed frame and its time on the input's clock.

#include <cstdint>
#include <functional>

struct EncodedFrame {
    uint8_t kind;      // record_format::FrameKind
    int64_t inputMs;   // ms on the input's clock
    const uint8_t* data;
    int size;
};

// Stores a frame; false stops the writer (the recording could not be written).
using FrameSink = std::function<bool(const EncodedFrame&)>;
