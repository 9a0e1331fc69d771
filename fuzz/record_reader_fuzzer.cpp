// The recording reader on arbitrary bytes: recognise, open, read every frame, then seek to a few
// targets taken from the input and read on from each, as the read thread does. Then the scans a
// large file's open and seeks make: back from the end for the last frame, and forward from a place
// taken from the input for the next good one.

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "engine/record/frame_walker.h"
#include "engine/record/record_file.h"
#include "fuzz/memory_file.h"

namespace {

// Enough to reach the end of any input libFuzzer makes, small enough to stay fast on a file of
// zero-sized frames.
constexpr int kMostFramesRead = 20000;
constexpr int kFramesAfterSeek = 50;

void Dispose(AVPacket* packet) {
    // Touch the payload as a decoder would, so a size that lies about its block shows up here.
    if (packet->size > 0) {
        volatile uint8_t sink = packet->data[0] ^ packet->data[packet->size - 1];
        (void)sink;
    }
    av_packet_free(&packet);
}

int ReadFrames(CRecordFile& reader, int most) {
    int count = 0;
    while (count < most) {
        AVPacket* packet = reader.ReadFrame();
        if (!packet) break;
        Dispose(packet);
        ++count;
    }
    return count;
}

uint64_t SeekTargetFrom(const uint8_t* data, size_t size, size_t slot, uint64_t duration) {
    if (size < 8 + slot * 2 + 2) return duration / (slot + 2);
    const unsigned pick = data[8 + slot * 2] | data[9 + slot * 2] << 8;
    return duration == 0 ? pick : pick % (duration + 2);
}

void ScanLikeALargeFile(const char* path, const uint8_t* data, size_t size) {
    PosixReadFile view;
    if (!view.Open(path, PosixReadFile::Sharing::Shared)) return;
    LocatedFrame last;
    (void)FindLastCompleteFrame(view, &last);
    FrameWalker walker(view);
    uint64_t found = 0;
    const uint64_t from = size > 6 ? (data[4] | data[5] << 8 | uint64_t(data[6]) << 16) % size : 0;
    if (!walker.FindChainFrom(from, &found)) return;
    walker.MoveTo(found);
    LocatedFrame frame;
    for (int i = 0; i < kFramesAfterSeek && walker.Next(&frame); ++i) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryFile file(data, size);
    if (file.Path().empty() || !IsRecordFile(file.Path().c_str())) return 0;
    CRecordFile reader;
    if (!reader.Open(file.Path().c_str())) return 0;
    const uint64_t duration = reader.GetDuration();
    ReadFrames(reader, kMostFramesRead);
    for (size_t slot = 0; slot < 3; ++slot) {
        if (reader.SeekTo(SeekTargetFrom(data, size, slot, duration))) ReadFrames(reader, kFramesAfterSeek);
    }
    if (reader.SeekToKeyFrameAtOrBefore(static_cast<int64_t>(duration / 2))) {
        ReadFrames(reader, kFramesAfterSeek);
    }
    (void)reader.VideoToAudioMs(static_cast<int64_t>(duration));
    reader.Close();
    ScanLikeALargeFile(file.Path().c_str(), data, size);
    return 0;
}
