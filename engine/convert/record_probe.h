#pragma once
// What the MP4 needs to know before its first byte is written, read from the start of a
// recording: the parameter sets and real size of the pictures, and the configuration, rate and
// frame length of AAC sound. A recording's header can be wrong about the picture size (a
// sub-stream, a changed setting) and says nothing of the AAC profile, so the frames are asked.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/convert/record_converter.h"

struct RecordStreams {
    int videoCodec = 0;  // AVCodecID
    int width = 0;
    int height = 0;
    std::vector<uint8_t> videoExtradata;  // parameter sets, Annex B
    int audioCodec = 0;  // AVCodecID of the recording's sound; 0 = none
    int sampleRate = 0;  // for AAC, the rate its decoder puts out
    int channels = 0;
    int aacFrameSamples = 0;              // samples per AAC frame at sampleRate
    std::vector<uint8_t> aacExtradata;    // AudioSpecificConfig
};

// Reads frames from the start of the recording until the first key picture that carries its
// parameter sets (and the first AAC frame when the sound is AAC), or a bounded number of frames.
// kNoPictures when no such picture is found; kBadSound when AAC frames are there but unreadable;
// kCancelled as soon as cancel (when given) is set.
ConvertStatus ProbeRecording(const std::string& path, const std::atomic<bool>* cancel, RecordStreams* streams,
                             std::string* detail);
