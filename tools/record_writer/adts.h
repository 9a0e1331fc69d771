#pragma once
// The 7-byte ADTS header that makes a raw AAC frame self-describing, so a decoder opened without
// any configuration can play it.

#include <array>
#include <cstdint>

constexpr int kAdtsHeaderBytes = 7;

// objectType is the MPEG-4 audio object type (2 = AAC LC); rawFrameBytes excludes the header.
// False when the sample rate has no ADTS index or the frame is too long for the length field.
bool MakeAdtsHeader(int objectType, int sampleRate, int channels, int rawFrameBytes,
                    std::array<uint8_t, kAdtsHeaderBytes>* header);
