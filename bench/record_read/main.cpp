// telvane-bench-record-read [--frames N] [--cold] [RECORDING]
// Without a recording it writes one of N frames (default 120,000) shaped like a camera's: per
// second 25 video frames (one key frame of 20 kB, 24 others of 2 kB) and 50 G.711 frames of 160
// bytes. Then, on the same file in the same run: CRecordFile::Open, and the wait from the start of
// Open until the seek index is complete (the whole walk over the file's frame headers); a plain
// sequential read; and ReadFrame over every frame. The file is read once before all of that, so
// everything runs from the page cache, unless --cold is given: then Open and the index build come
// first, on whatever the caller left in the cache (drop it beforehand to measure them cold).
// Last, the index walk's CPU time per frame with and without finding activity, and how soon after
// Open the activity strip is complete, per hour of recording.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/record/record_file.h"
#include "engine/record/record_format.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool WriteSyntheticRecording(const std::string& path, uint64_t frames) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    record_format::FileHeader header;
    header.streamFlags = record_format::kAudioPresentFlag;
    header.width = 1920;
    header.height = 1080;
    header.audioCodec = record_format::kAudioMulaw;
    header.sampleRate = 8000;
    uint8_t bytes[record_format::kFileHeaderSize];
    record_format::EncodeFileHeader(header, bytes);
    std::fwrite(bytes, 1, sizeof bytes, out);

    std::vector<uint8_t> payload(20000, 0x5A);
    const uint64_t startMs = 1'700'000'000'000;
    for (uint64_t i = 0; i < frames; ++i) {
        // 75 frames per second: video on every third slot, audio on the others.
        uint64_t second = i / 75, slot = i % 75;
        record_format::FrameHeader frame;
        if (slot % 3 == 0) {
            uint64_t picture = slot / 3;
            frame.kind = picture == 0 ? record_format::kKindVideoKey : record_format::kKindVideoDelta;
            frame.payloadSize = picture == 0 ? 20000 : 2000;
            frame.timeMs = startMs + second * 1000 + picture * 40;
        } else {
            frame.kind = record_format::kKindAudio;
            frame.payloadSize = 160;
            frame.timeMs = startMs + second * 1000 + (slot - slot / 3 - 1) * 20;
        }
        uint8_t frameBytes[record_format::kFrameHeaderSize];
        record_format::EncodeFrameHeader(frame, frameBytes);
        std::fwrite(frameBytes, 1, sizeof frameBytes, out);
        std::fwrite(payload.data(), 1, frame.payloadSize, out);
    }
    return std::fclose(out) == 0;
}

// Reads the whole file in 1 MiB blocks; returns the bytes read.
uint64_t PlainRead(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    std::vector<char> block(1 << 20);
    uint64_t total = 0;
    ssize_t got;
    while ((got = ::read(fd, block.data(), block.size())) > 0) total += uint64_t(got);
    ::close(fd);
    return total;
}

struct IndexTimes {
    double openSeconds = 0;     // CRecordFile::Open
    double indexedSeconds = 0;  // from the start of Open until the index is complete
    bool complete = false;
};

bool OpenAndIndex(CRecordFile& file, const std::string& path, IndexTimes* times) {
    constexpr uint32_t kIndexWaitMs = 60000;
    auto start = Clock::now();
    if (!file.Open(path.c_str())) return false;
    times->openSeconds = SecondsSince(start);
    times->complete = file.WaitIndexComplete(kIndexWaitMs);
    times->indexedSeconds = SecondsSince(start);
    return true;
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The index walk alone, best of a few runs each way, with and without finding activity, so the
// cost of the activity finder shows against the walk it rides on. Counted in CPU time (the
// opening thread only waits meanwhile), which a busy machine disturbs less than wall time.
void CompareActivityCost(const std::string& path, uint64_t frames) {
    constexpr int kRuns = 5;
    double best[2] = {1e9, 1e9};
    for (int run = 0; run < kRuns; ++run) {
        for (int withActivity = 0; withActivity < 2; ++withActivity) {
            CRecordFile file;
            file.SetFindActivity(withActivity != 0);
            IndexTimes times;
            const double cpuBefore = ProcessCpuSeconds();
            if (!OpenAndIndex(file, path, &times) || !times.complete) return;
            best[withActivity] = std::min(best[withActivity], ProcessCpuSeconds() - cpuBefore);
            file.Close();
        }
    }
    const double perFrame[2] = {best[0] * 1e9 / double(frames), best[1] * 1e9 / double(frames)};
    std::printf("index walk CPU     %8.1f ns per frame without activity, %.1f ns with (%+.1f %%)\n", perFrame[0],
                perFrame[1], (perFrame[1] / perFrame[0] - 1) * 100);
}

// From the start of Open until the activity strip's timeline is complete, as the window's strip
// would see it (warm cache); scaled to an hour of this recording, against the aim of 2 s.
void PrintActivityStripTime(const std::string& path) {
    constexpr double kGiveUpSeconds = 60;
    CRecordFile file;
    const auto start = Clock::now();
    if (!file.Open(path.c_str())) return;
    while (!file.GetActivity().complete && SecondsSince(start) < kGiveUpSeconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double seconds = SecondsSince(start);
    const bool complete = file.GetActivity().complete;
    const double hours = double(file.GetDuration()) / 3.6e6;
    file.Close();
    if (!complete || hours <= 0) {
        std::printf("activity strip     incomplete after %.0f s\n", kGiveUpSeconds);
        return;
    }
    std::printf("activity strip     %8.1f ms to complete, %.1f ms per hour of recording (aim: within 2000 ms)\n",
                seconds * 1e3, seconds * 1e3 / hours);
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t frames = 120'000;
    std::string path;
    bool cold = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::strtoull(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--cold") == 0) cold = true;
        else path = argv[i];
    }
    std::string temporary;
    if (path.empty()) {
        char folder[] = "/tmp/telvane-bench-XXXXXX";
        if (!::mkdtemp(folder)) return 1;
        temporary = folder;
        path = temporary + "/bench.rec";
        if (!WriteSyntheticRecording(path, frames)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }

    if (!cold) PlainRead(path);  // warm the page cache
    CRecordFile file;
    IndexTimes index;
    if (!OpenAndIndex(file, path, &index)) {
        std::fprintf(stderr, "cannot open %s as a recording\n", path.c_str());
        return 1;
    }
    auto start = Clock::now();
    uint64_t fileBytes = PlainRead(path);
    double plainSeconds = SecondsSince(start);

    uint64_t packets = 0, payloadBytes = 0;
    start = Clock::now();
    while (AVPacket* packet = file.ReadFrame()) {
        ++packets;
        payloadBytes += uint64_t(packet->size);
        av_packet_free(&packet);
    }
    double readSeconds = SecondsSince(start);
    file.Close();

    const double mb = 1e6;
    std::printf("recording          %s\n", path.c_str());
    std::printf("file               %.1f MB, %llu frames, %zu key frames, duration %llu ms\n", fileBytes / mb,
                static_cast<unsigned long long>(packets), file.GetSeekIndex().size(),
                static_cast<unsigned long long>(file.GetDuration()));
    std::printf("page cache         %s\n", cold ? "as left by the caller for Open and the index, warm after"
                                                : "warm (the file was read once first)");
    std::printf("Open               %8.1f ms\n", index.openSeconds * 1e3);
    std::printf("Open to full index %8.1f ms  %8.1f ns per frame%s\n", index.indexedSeconds * 1e3,
                packets ? index.indexedSeconds * 1e9 / double(packets) : 0.0,
                index.complete ? "" : "  (index still incomplete after 60 s)");
    std::printf("plain read         %8.1f ms  %8.1f MB/s\n", plainSeconds * 1e3, fileBytes / mb / plainSeconds);
    std::printf("ReadFrame          %8.1f ms  %8.1f MB/s of file, %.1f MB/s of payload, %.0f ns per frame\n",
                readSeconds * 1e3, fileBytes / mb / readSeconds, payloadBytes / mb / readSeconds,
                packets ? readSeconds * 1e9 / double(packets) : 0.0);

    CompareActivityCost(path, packets);
    PrintActivityStripTime(path);

    if (!temporary.empty()) {
        std::remove(path.c_str());
        ::rmdir(temporary.c_str());
    }
    return 0;
}
