// Makes a long recording out of a short one, byte by byte: the source's frames are written again
// and again, each pass stamped later by the length of the source, until the wanted length is
// reached. The result is a valid recording whose frame count and size are those of a long one,
// so that opening it costs what opening a real recording of that length costs.

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/record/record_format.h"

namespace {

using namespace record_format;

struct SourceFrame {
    FrameHeader header;
    size_t payloadOffset;  // in the source's bytes
};

// The source's frames, up to the first one cut short.
std::vector<SourceFrame> ListFrames(const std::vector<uint8_t>& bytes) {
    std::vector<SourceFrame> frames;
    size_t offset = kFileHeaderSize;
    while (offset + kFrameHeaderSize <= bytes.size()) {
        const FrameHeader header = DecodeFrameHeader(bytes.data() + offset);
        const size_t payloadOffset = offset + kFrameHeaderSize;
        if (header.payloadSize > bytes.size() - payloadOffset) break;
        frames.push_back({header, payloadOffset});
        offset = payloadOffset + header.payloadSize;
    }
    return frames;
}

// ms from one pass to the next: the source's span plus one video frame interval.
uint64_t PassLengthMs(const std::vector<SourceFrame>& frames) {
    uint64_t firstMs = frames.front().header.timeMs;
    uint64_t lastMs = firstMs;
    for (const SourceFrame& frame : frames) {
        if (frame.header.timeMs > lastMs) lastMs = frame.header.timeMs;
    }
    constexpr uint64_t kVideoFrameMs = 40;  // 25 pictures per second
    return lastMs - firstMs + kVideoFrameMs;
}

bool WriteFrame(std::ofstream& out, const FrameHeader& header, const uint8_t* payload) {
    uint8_t headerBytes[kFrameHeaderSize];
    EncodeFrameHeader(header, headerBytes);
    out.write(reinterpret_cast<const char*>(headerBytes), kFrameHeaderSize);
    out.write(reinterpret_cast<const char*>(payload), header.payloadSize);
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SOURCE_RECORDING OUTPUT MINUTES\n", argv[0]);
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> source{std::istreambuf_iterator<char>(in), {}};
    const long minutes = std::strtol(argv[3], nullptr, 10);
    if (source.size() < kFileHeaderSize || DecodeFileHeader(source.data()).magic != kMagic ||
        minutes <= 0) {
        std::fprintf(stderr, "%s: %s is no recording, or the length is not a number of minutes\n",
                     argv[0], argv[1]);
        return 1;
    }
    const std::vector<SourceFrame> frames = ListFrames(source);
    if (frames.empty()) {
        std::fprintf(stderr, "%s: %s holds no frames\n", argv[0], argv[1]);
        return 1;
    }
    const uint64_t passMs = PassLengthMs(frames);
    const uint64_t wantedMs = static_cast<uint64_t>(minutes) * 60'000;

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(source.data()), kFileHeaderSize);
    uint64_t frameCount = 0;
    for (uint64_t shiftMs = 0; shiftMs < wantedMs; shiftMs += passMs) {
        for (const SourceFrame& frame : frames) {
            FrameHeader header = frame.header;
            header.timeMs += shiftMs;
            if (!WriteFrame(out, header, source.data() + frame.payloadOffset)) {
                std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
                return 1;
            }
            ++frameCount;
        }
    }
    out.close();
    std::printf("%" PRIu64 " frames, %" PRIu64 " ms per pass\n", frameCount, passMs);
    return out ? 0 : 1;
}
