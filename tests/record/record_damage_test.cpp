// Recordings with a damaged stretch, as power loss and bad sectors leave them: the reader steps
// over the damage and plays the intact frames after it, for the packets and for the index alike.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>

#include "engine/record/record_file.h"
#include "tests/record/camera_recording.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace record_format;

namespace {

struct Packet {
    int stream;
    int64_t pts;
    bool operator==(const Packet& other) const { return stream == other.stream && pts == other.pts; }
};

void PrintTo(const Packet& packet, std::ostream* out) { *out << "{" << packet.stream << ", " << packet.pts << "}"; }

std::vector<Packet> ReadAll(CRecordFile& file) {
    std::vector<Packet> packets;
    while (AVPacket* packet = file.ReadFrame()) {
        packets.push_back({packet->stream_index, packet->pts});
        av_packet_free(&packet);
    }
    return packets;
}

std::vector<uint64_t> IndexTimes(const CRecordFile& file) {
    std::vector<uint64_t> times;
    for (const auto& entry : file.GetSeekIndex()) times.push_back(entry.time);
    return times;
}

// What an intact reader gives for the frames that survive: times from the first surviving frame,
// index times from the first surviving key frame.
struct Expected {
    std::vector<Packet> packets;
    std::vector<uint64_t> index;
};

Expected Surviving(const camera::Recording& recording, const std::set<size_t>& lost) {
    Expected expected;
    uint64_t origin = UINT64_MAX, firstKey = UINT64_MAX;
    for (size_t i = 0; i < recording.frames.size(); ++i) {
        if (lost.count(i)) continue;
        origin = std::min(origin, recording.frames[i].timeMs);
        if (recording.frames[i].kind == kKindVideoKey) firstKey = std::min(firstKey, recording.frames[i].timeMs);
    }
    for (size_t i = 0; i < recording.frames.size(); ++i) {
        if (lost.count(i)) continue;
        const auto& frame = recording.frames[i];
        expected.packets.push_back({frame.kind == kKindAudio ? 1 : 0, int64_t(frame.timeMs - origin)});
        if (frame.kind == kKindVideoKey) expected.index.push_back(frame.timeMs - firstKey);
    }
    return expected;
}

std::set<size_t> Range(size_t first, size_t last) {
    std::set<size_t> frames;
    for (size_t i = first; i <= last; ++i) frames.insert(i);
    return frames;
}

void Fill(std::vector<uint8_t>& bytes, uint64_t from, uint64_t to, bool noise) {
    std::mt19937 random(7);
    for (uint64_t i = from; i < to; ++i) bytes[i] = noise ? uint8_t(random()) : 0;
}

class RecordDamageTest : public ::testing::Test {
protected:
    std::string Write(const std::vector<uint8_t>& bytes) {
        std::string path = dir.File("damaged.rec");
        EXPECT_TRUE(fixtures::WriteBytes(path, bytes));
        return path;
    }

    fixtures::TempDir dir;
};

}  // namespace

TEST_F(RecordDamageTest, IntactFramesAfterADamagedStretchPlayAndAreIndexed) {
    const camera::Recording recording = camera::Make(camera::Shape{});
    ASSERT_GT(recording.frames.size(), 300u);
    const uint64_t stretchStart = recording.offsets[100], stretchEnd = camera::EndOf(recording, 160);
    std::vector<uint8_t> wildStamp = recording.bytes;
    StoreLe64(wildStamp.data() + recording.offsets[200] + 8, recording.frames[200].timeMs + 5 * 3'600'000);

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        std::set<size_t> lost;
    } cases[] = {
        {"zeroed stretch", [&](auto& b) { Fill(b, stretchStart, stretchEnd, false); }, Range(100, 160)},
        {"garbage stretch", [&](auto& b) { Fill(b, stretchStart, stretchEnd, true); }, Range(100, 160)},
        // The frame whose payload the damage begins in keeps its header: it is handed out as it is.
        {"garbage from inside a payload", [&](auto& b) { Fill(b, stretchStart + 30, stretchEnd, true); },
         Range(101, 160)},
        {"a header of an unknown kind with a size past the end",
         [&](auto& b) {
             b[recording.offsets[200] + 3] = 0x7F;
             StoreLe32(b.data() + recording.offsets[200] + 4, 0xFFFFFF00u);
         },
         {200}},
        {"a time stamp hours away from its neighbours",
         [&](auto& b) { StoreLe64(b.data() + recording.offsets[200] + 8, recording.frames[200].timeMs + 5 * 3'600'000); },
         {200}},
        {"the first frame header zeroed", [&](auto& b) { Fill(b, kFileHeaderSize, kFileHeaderSize + kFrameHeaderSize, false); },
         {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = recording.bytes;
        c.damage(bytes);
        const Expected expected = Surviving(recording, c.lost);
        CRecordFile file;
        ASSERT_TRUE(file.Open(Write(bytes).c_str()));
        ASSERT_TRUE(file.WaitIndexComplete(10'000));
        EXPECT_EQ(IndexTimes(file), expected.index);
        EXPECT_EQ(file.GetDuration(), uint64_t(expected.packets.back().pts));
        EXPECT_EQ(ReadAll(file), expected.packets);
    }
}

// A recorder whose clock was set while it recorded: the frames after the jump agree with each
// other, so they are played, not skipped as damage, and time goes on from the new clock.
TEST_F(RecordDamageTest, ClockJumpIsFollowedNotTakenForDamage) {
    camera::Recording recording = camera::Make(camera::Shape{});
    const size_t jumpAt = 225;
    const uint64_t jumpMs = 2 * 3'600'000;
    for (size_t i = jumpAt; i < recording.frames.size(); ++i) recording.frames[i].timeMs += jumpMs;
    recording = camera::Make(recording.frames, true);

    CRecordFile file;
    ASSERT_TRUE(file.Open(Write(recording.bytes).c_str()));
    const std::vector<Packet> packets = ReadAll(file);
    ASSERT_EQ(packets.size(), recording.frames.size());
    EXPECT_EQ(uint64_t(packets[jumpAt].pts), recording.frames[jumpAt].timeMs - recording.frames[0].timeMs);
    EXPECT_EQ(file.GetDuration(), recording.frames.back().timeMs - recording.frames[0].timeMs);
    EXPECT_EQ(file.GetSeekIndex().size(), 6u);
}

// Noise behind a valid file header: nothing chains, so nothing is handed out and the reader ends.
TEST_F(RecordDamageTest, NoiseBehindTheHeaderGivesNoFrames) {
    for (size_t noiseBytes : {size_t{3} << 20, size_t{12} << 20}) {
        SCOPED_TRACE(noiseBytes);
        std::vector<uint8_t> bytes(kFileHeaderSize + noiseBytes);
        EncodeFileHeader(camera::Header(true), bytes.data());
        Fill(bytes, kFileHeaderSize, bytes.size(), true);
        CRecordFile file;
        ASSERT_TRUE(file.Open(Write(bytes).c_str()));
        ASSERT_TRUE(file.WaitIndexComplete(30'000));
        EXPECT_TRUE(file.GetSeekIndex().empty());
        EXPECT_EQ(file.GetDuration(), 0u);
        EXPECT_TRUE(ReadAll(file).empty());
    }
}
