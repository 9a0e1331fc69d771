#include "tools/record_writer/adts.h"

namespace {

int SampleRateIndex(int sampleRate) {
    static constexpr int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                     22050, 16000, 12000, 11025, 8000,  7350};
    for (int i = 0; i < int(sizeof kRates / sizeof kRates[0]); ++i) {
        if (kRates[i] == sampleRate) return i;
    }
    return -1;
}

}  // namespace

bool MakeAdtsHeader(int objectType, int sampleRate, int channels, int rawFrameBytes,
                    std::array<uint8_t, kAdtsHeaderBytes>* header) {
    int rateIndex = SampleRateIndex(sampleRate);
    int frameBytes = rawFrameBytes + kAdtsHeaderBytes;
    if (rateIndex < 0 || objectType < 1 || objectType > 4 || channels < 1 || channels > 7 ||
        rawFrameBytes < 0 || frameBytes > 0x1FFF) {
        return false;
    }
    int profile = objectType - 1;
    auto& h = *header;
    h[0] = 0xFF;  // sync word 0xFFF, MPEG-4, layer 0, no CRC
    h[1] = 0xF1;
    h[2] = uint8_t(profile << 6 | rateIndex << 2 | channels >> 2);
    h[3] = uint8_t((channels & 3) << 6 | frameBytes >> 11);
    h[4] = uint8_t(frameBytes >> 3);
    h[5] = uint8_t((frameBytes & 7) << 5 | 0x1F);  // buffer fullness 0x7FF: variable rate
    h[6] = 0xFC;                                   // one raw data block
    return true;
}
