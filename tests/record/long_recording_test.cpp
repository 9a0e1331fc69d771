// Recordings too large to walk whole at open: the duration is known at once, seeks beyond what
// the index has reached land on the right key frame, the index once complete is the whole walk's,
// and a recording still being written is followed as it grows.

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "engine/record/record_file.h"
#include "engine/record/record_indexer.h"
#include "platform/sync.h"
#include "tests/record/camera_recording.h"
#include "tests/record/record_test_times.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace record_format;
using namespace record_tests;

void PrintTo(const FileSeekEntry& entry, std::ostream* out) { *out << "{" << entry.time << " ms @" << entry.offset << "}"; }

namespace {

// About 20 MB: 240 s of 25 pictures (a key frame each second) and 50 sound frames per second.
camera::Shape LongShape(uint64_t startMs = kT0) {
    camera::Shape shape;
    shape.startMs = startMs;
    shape.seconds = 240;
    shape.keyBytes = 40'000;
    shape.deltaBytes = 1'500;
    return shape;
}

// Thirteen hours over midnight, one small key frame a second, no sound: about 10 MB.
camera::Shape HalfADayOverMidnight() {
    camera::Shape shape;
    shape.startMs = kMidnight - 4 * 3'600'000;
    shape.seconds = 13 * 3600;
    shape.picturesPerSecond = 1;
    shape.keyBytes = 200;
    shape.soundFramesPerSecond = 0;
    return shape;
}

// What the whole walk gives for the frames before `end` (a frame count): the key frames' index
// entries and the duration.
struct Walked {
    std::vector<FileSeekEntry> index;
    uint64_t durationMs = 0;
};

Walked WholeWalk(const camera::Recording& recording, size_t end) {
    Walked walked;
    const uint64_t origin = recording.frames[0].timeMs;
    uint64_t firstKey = 0;
    bool anyKey = false;
    for (size_t i = 0; i < end; ++i) {
        const auto& frame = recording.frames[i];
        walked.durationMs = frame.timeMs - origin;
        if (frame.kind != kKindVideoKey) continue;
        if (!anyKey) firstKey = frame.timeMs;
        anyKey = true;
        walked.index.push_back({frame.timeMs - firstKey, recording.offsets[i]});
    }
    return walked;
}

bool AppendBytes(const std::string& path, const uint8_t* bytes, size_t size) {
    std::FILE* out = std::fopen(path.c_str(), "ab");
    if (!out) return false;
    const bool written = std::fwrite(bytes, 1, size, out) == size;
    return std::fclose(out) == 0 && written;
}

// Waits up to timeoutMs for the reader's duration to reach expected; gives the last seen.
uint64_t DurationOnceItReaches(const CRecordFile& file, uint64_t expected, uint32_t timeoutMs) {
    const uint64_t deadline = platform::TickMs64() + timeoutMs;
    while (file.GetDuration() < expected && platform::TickMs64() < deadline) platform::Sleep(10);
    return file.GetDuration();
}

class LongRecordingTest : public ::testing::Test {
protected:
    std::string Write(const std::vector<uint8_t>& bytes, size_t length = SIZE_MAX) {
        std::string path = dir.File("long.rec");
        EXPECT_TRUE(fixtures::WriteBytes(
            path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(std::min(length, bytes.size())))));
        return path;
    }

    fixtures::TempDir dir;
};

}  // namespace

TEST_F(LongRecordingTest, DurationIsRightAtOpenAndTheCompletedIndexIsTheWholeWalks) {
    const camera::Recording plain = camera::Make(LongShape());
    const camera::Recording overMidnight = camera::Make(LongShape(kMidnight - 100'000));
    const camera::Recording halfADay = camera::Make(HalfADayOverMidnight());
    const size_t last = plain.frames.size() - 1;

    struct Case {
        const char* what;
        const camera::Recording& recording;
        size_t length;  // bytes of the file
        size_t frames;  // complete frames in them
    } cases[] = {
        {"plain", plain, plain.bytes.size(), plain.frames.size()},
        {"over midnight", overMidnight, overMidnight.bytes.size(), overMidnight.frames.size()},
        {"thirteen hours over midnight", halfADay, halfADay.bytes.size(), halfADay.frames.size()},
        {"tail cut inside the last frame", plain, size_t(plain.offsets[last] + kFrameHeaderSize + 10), last},
        {"tail cut inside a frame header", plain, size_t(plain.offsets[last] + 10), last},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_GT(c.length, size_t{8} << 20) << "must be too large to be walked whole at open";
        const Walked expected = WholeWalk(c.recording, c.frames);
        CRecordFile file;
        ASSERT_TRUE(file.Open(Write(c.recording.bytes, c.length).c_str()));
        EXPECT_EQ(file.GetDuration(), expected.durationMs);
        ASSERT_TRUE(file.WaitIndexComplete(30'000));
        EXPECT_EQ(file.GetDuration(), expected.durationMs);
        EXPECT_EQ(file.GetSeekIndex(), expected.index);
    }
}

// Before the background walk has gone anywhere: the start of the index is all there is, and a
// target beyond it is found by scanning near the place its time suggests.
TEST_F(LongRecordingTest, ScanFindsTheKeyFrameAtOrBeforeATargetBeyondTheIndex) {
    const camera::Recording plain = camera::Make(LongShape());
    const camera::Recording halfADay = camera::Make(HalfADayOverMidnight());
    struct Case {
        const char* what;
        const camera::Recording& recording;
        int64_t targetMs;  // index time
        uint64_t keyMs;    // the key frame expected
    } cases[] = {
        {"on a key frame", plain, 120'000, 120'000},
        {"just before a key frame", plain, 120'999, 120'000},
        {"early", plain, 5'500, 5'000},
        {"in the last second", plain, 239'900, 239'000},
        {"beyond the end", plain, 500'000, 239'000},
        {"hours after midnight", halfADay, 9 * 3'600'000 + 1'500, 9 * 3'600'000 + 1'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Write(c.recording.bytes);
        PosixReadFile opened, view;
        ASSERT_TRUE(opened.Open(path.c_str(), PosixReadFile::Sharing::Shared));
        ASSERT_TRUE(view.OpenSameFile(opened));
        RecordIndexer indexer;
        indexer.Begin(opened);
        ASSERT_FALSE(indexer.IsComplete());
        ASSERT_LT(indexer.Snapshot().back().time, uint64_t(c.targetMs));

        FileSeekEntry found{};
        ASSERT_TRUE(indexer.ScanForKeyFrame(view, c.targetMs, &found));
        const std::vector<FileSeekEntry> whole = WholeWalk(c.recording, c.recording.frames.size()).index;
        const auto expected = std::find_if(whole.begin(), whole.end(), [&](auto& e) { return e.time == c.keyMs; });
        ASSERT_NE(expected, whole.end());
        EXPECT_EQ(found, *expected);
    }
}

// Straight after open, whichever of the index and the scan answers: the next packet is the key
// frame at or before the target.
TEST_F(LongRecordingTest, SeekStraightAfterOpenLandsOnTheKeyFrameAtOrBeforeTheTarget) {
    const camera::Recording recording = camera::Make(LongShape());
    const std::string path = Write(recording.bytes);
    for (int64_t target : {200'500, 30'000, 239'999}) {
        SCOPED_TRACE(target);
        CRecordFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        ASSERT_TRUE(file.SeekToKeyFrameAtOrBefore(target));
        AVPacket* packet = file.ReadFrame();
        ASSERT_NE(packet, nullptr);
        EXPECT_EQ(packet->pts, target / 1000 * 1000);
        EXPECT_TRUE(packet->flags & AV_PKT_FLAG_KEY);
        av_packet_free(&packet);
    }
}

// A recorder still writing: the reader reads on as the file grows, the duration and the index
// follow, and a file that has not grown since it was opened is not waited for.
TEST_F(LongRecordingTest, RecordingStillBeingWrittenIsFollowedAsItGrows) {
    const camera::Recording recording = camera::Make(LongShape());
    for (size_t cutFrame : {recording.frames.size() / 2, size_t{100}}) {
        SCOPED_TRACE(cutFrame);
        // Cut in the middle of a frame, as a writer leaves it between two writes.
        const size_t cut = size_t(recording.offsets[cutFrame] + kFrameHeaderSize + 7);
        const std::string path = Write(recording.bytes, cut);
        CRecordFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        size_t read = 0;
        while (AVPacket* packet = file.ReadFrame()) {
            av_packet_free(&packet);
            ++read;
        }
        EXPECT_EQ(read, cutFrame);
        EXPECT_FALSE(file.MayGrow());

        ASSERT_TRUE(AppendBytes(path, recording.bytes.data() + cut, recording.bytes.size() - cut));
        EXPECT_TRUE(file.MayGrow());
        const Walked whole = WholeWalk(recording, recording.frames.size());
        EXPECT_EQ(DurationOnceItReaches(file, whole.durationMs, 10'000), whole.durationMs);
        ASSERT_TRUE(file.WaitIndexComplete(10'000));
        const uint64_t deadline = platform::TickMs64() + 10'000;
        while (file.GetSeekIndex().size() < whole.index.size() && platform::TickMs64() < deadline) platform::Sleep(10);
        EXPECT_EQ(file.GetSeekIndex(), whole.index);
        while (AVPacket* packet = file.ReadFrame()) {
            av_packet_free(&packet);
            ++read;
        }
        EXPECT_EQ(read, recording.frames.size());
    }
}

// Opened when the recorder had written only the file header: times count from the first frame
// written after, not from midnight.
TEST_F(LongRecordingTest, RecordingOpenedBeforeItsFirstFrameCountsFromThatFrame) {
    camera::Shape shape;
    shape.seconds = 3;
    const camera::Recording recording = camera::Make(shape);
    const std::string path = Write(recording.bytes, kFileHeaderSize);
    CRecordFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(file.GetDuration(), 0u);

    ASSERT_TRUE(AppendBytes(path, recording.bytes.data() + kFileHeaderSize, recording.bytes.size() - kFileHeaderSize));
    const uint64_t whole = WholeWalk(recording, recording.frames.size()).durationMs;
    EXPECT_EQ(DurationOnceItReaches(file, whole, 10'000), whole);
    platform::Sleep(300);  // the indexer's next look finds nothing more
    EXPECT_EQ(file.GetDuration(), whole);
}
