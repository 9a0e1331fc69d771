// The recording reader on files written byte by byte by the test: the header, the seek index, the
// packets and everything a damaged or hostile file can do to them.

#include "engine/record/record_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "tests/record/record_test_times.h"
#include "tests/support/fixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using fixtures::RawFrame;
using namespace record_format;
using namespace record_tests;

namespace {

std::vector<uint8_t> Payload(size_t size, uint8_t fill) { return std::vector<uint8_t>(size, fill); }

RawFrame Frame(uint8_t kind, uint64_t timeMs, size_t size = 16, uint8_t fill = 0xAB) {
    return RawFrame{kind, timeMs, Payload(size, fill), std::nullopt};
}

class RecordFileTest : public ::testing::Test {
protected:
    std::string Write(const std::vector<RawFrame>& frames, const FileHeader& header = fixtures::VideoOnlyHeader(),
                      const std::string& name = "clip.rec") {
        std::string path = dir.File(name);
        EXPECT_TRUE(fixtures::WriteBytes(path, fixtures::EncodeRecording(header, frames)));
        return path;
    }

    std::string WriteRaw(const std::vector<uint8_t>& bytes, const std::string& name = "raw.rec") {
        std::string path = dir.File(name);
        EXPECT_TRUE(fixtures::WriteBytes(path, bytes));
        return path;
    }

    // Every packet the reader hands out until it returns null.
    std::vector<PacketPtr> ReadAll(CRecordFile& file) {
        std::vector<PacketPtr> packets;
        while (AVPacket* packet = file.ReadFrame()) packets.emplace_back(packet);
        return packets;
    }

    std::vector<uint64_t> IndexTimes(const CRecordFile& file) {
        std::vector<uint64_t> times;
        for (const auto& entry : file.GetSeekIndex()) times.push_back(entry.time);
        return times;
    }

    fixtures::TempDir dir;
};

// Video key frames 0, 2000 and 4000 ms after kT0 with a delta frame and an audio frame after each.
std::vector<RawFrame> ThreeKeyFrames() {
    std::vector<RawFrame> frames;
    for (uint64_t key = 0; key <= 4000; key += 2000) {
        frames.push_back(Frame(kKindVideoKey, kT0 + key, 32, uint8_t(key / 1000)));
        frames.push_back(Frame(kKindVideoDelta, kT0 + key + 40));
        frames.push_back(Frame(kKindAudio, kT0 + key + 20));
    }
    return frames;
}

}  // namespace

TEST_F(RecordFileTest, DetectorAnswersByPathLengthSizeAndMagic) {
    std::vector<uint8_t> header(kFileHeaderSize);
    EncodeFileHeader(fixtures::VideoOnlyHeader(), header.data());
    std::vector<uint8_t> shortHeader(header.begin(), header.begin() + 63);
    std::vector<uint8_t> wrongMagic = header;
    wrongMagic[0] ^= 0xFF;
    ::mkdir(dir.File("folder.rec").c_str(), 0755);

    struct Case {
        const char* what;
        std::string path;
        bool expected;
    } cases[] = {
        {"header only", WriteRaw(header, "ok.rec"), true},
        {"magic but 63 bytes", WriteRaw(shortHeader, "short.rec"), false},
        {"wrong magic", WriteRaw(wrongMagic, "wrong.rec"), false},
        {"empty file", WriteRaw({}, "empty.rec"), false},
        {"missing file", dir.File("missing.rec"), false},
        {"directory", dir.File("folder.rec"), false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsRecordFile(c.path.c_str()), c.expected) << c.what;
    EXPECT_FALSE(IsRecordFile(nullptr));
    EXPECT_FALSE(IsRecordFile(""));

    // A path of four characters is refused before the file is looked at.
    std::string previous = std::filesystem::current_path();
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    WriteRaw(header, "a.rc");
    EXPECT_FALSE(IsRecordFile("a.rc"));
    EXPECT_TRUE(IsRecordFile("./a.rc"));
    ASSERT_EQ(::chdir(previous.c_str()), 0);
}

TEST_F(RecordFileTest, OpenRefusesWhatIsNoRecording) {
    std::vector<uint8_t> header(kFileHeaderSize);
    EncodeFileHeader(fixtures::VideoOnlyHeader(), header.data());
    std::vector<uint8_t> wrongMagic = header;
    wrongMagic[3] = 0x21;
    ::mkdir(dir.File("folder.rec").c_str(), 0755);

    std::string paths[] = {
        WriteRaw(std::vector<uint8_t>(header.begin(), header.begin() + 63), "short.rec"),
        WriteRaw(wrongMagic, "wrong.rec"),
        WriteRaw({}, "empty.rec"),
        dir.File("missing.rec"),
        dir.File("folder.rec"),
        dir.File("wrong.rec") + "/inside.rec",          // a file used as a folder
        dir.File(std::string(5000, 'x') + ".rec"),       // longer than any path may be
        "",
    };
    for (const std::string& path : paths) {
        CRecordFile file;
        EXPECT_FALSE(file.Open(path.c_str())) << path;
        EXPECT_FALSE(file.IsOpen()) << path;
        EXPECT_EQ(file.ReadFrame(), nullptr) << path;
    }
    CRecordFile file;
    EXPECT_FALSE(file.Open(nullptr));
}

TEST_F(RecordFileTest, FifoIsRefusedWithoutWaitingForAWriter) {
    std::string path = dir.File("pipe.rec");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(IsRecordFile(path.c_str()));
    CRecordFile file;
    EXPECT_FALSE(file.Open(path.c_str()));
}

TEST_F(RecordFileTest, HeaderSelectsTheCodecsAndTheChannelCount) {
    struct Case {
        uint32_t videoField;
        bool audioBit;
        uint32_t audioField;
        uint32_t rateField;
        int video, audio, channels, rate;
    } cases[] = {
        {3, false, 0, 8000, AV_CODEC_ID_HEVC, 0, 0, 0},
        {0, false, 0, 8000, AV_CODEC_ID_H264, 0, 0, 0},
        {1, true, 0, 8000, AV_CODEC_ID_H264, AV_CODEC_ID_PCM_MULAW, 1, 8000},
        {2, true, 1, 8000, AV_CODEC_ID_H264, AV_CODEC_ID_PCM_ALAW, 1, 8000},
        {4, true, 2, 16000, AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 2, 16000},
        {3, true, 3, 8000, AV_CODEC_ID_HEVC, 0, 0, 0},           // unknown audio codec: video only
        {0, true, 0, 0, AV_CODEC_ID_H264, 0, 0, 0},              // no rate: nothing could play it
        {0, true, 0, 0x80000000u, AV_CODEC_ID_H264, 0, 0, 0},    // would read as a negative int
    };
    for (const Case& c : cases) {
        FileHeader header = fixtures::VideoOnlyHeader();
        header.videoCodec = c.videoField;
        header.streamFlags = c.audioBit ? kAudioPresentFlag : 0;
        header.audioCodec = c.audioField;
        header.sampleRate = c.rateField;
        header.width = 1920;
        header.height = 1080;
        std::string path = Write({}, header);
        CRecordFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        SCOPED_TRACE(testing::Message() << "video " << c.videoField << " audio " << c.audioField);
        EXPECT_EQ(file.GetVideoCodec(), c.video);
        EXPECT_EQ(file.GetAudioCodec(), c.audio);
        EXPECT_EQ(file.GetChannels(), c.channels);
        EXPECT_EQ(file.GetSampleRate(), c.rate);
        EXPECT_EQ(file.GetWidth(), 1920);
        EXPECT_EQ(file.GetHeight(), 1080);
    }
}

TEST_F(RecordFileTest, HeaderWithoutFramesHasNoIndexNoDurationAndNoPackets) {
    CRecordFile file;
    ASSERT_TRUE(file.Open(Write({}).c_str()));
    EXPECT_TRUE(file.GetSeekIndex().empty());
    EXPECT_EQ(file.GetDuration(), 0u);
    EXPECT_EQ(file.ReadFrame(), nullptr);
    EXPECT_FALSE(file.SeekTo(0));
}

TEST_F(RecordFileTest, PacketsCarryPayloadStreamKeyFlagAndTimesFromOneOrigin) {
    std::vector<RawFrame> frames = {
        Frame(kKindAudio, kT0 + 500, 160, 0x11),  // audio starts half a second before video
        Frame(kKindVideoKey, kT0 + 1000, 3000, 0x22),
        Frame(kKindAudio, kT0 + 520, 160, 0x33),
        Frame(kKindVideoDelta, kT0 + 1040, 700, 0x44),
    };
    CRecordFile file;
    ASSERT_TRUE(file.Open(Write(frames).c_str()));
    std::vector<PacketPtr> packets = ReadAll(file);
    ASSERT_EQ(packets.size(), frames.size());

    struct Expected {
        int stream;
        int64_t pts;
        bool key;
    } expected[] = {{1, 0, false}, {0, 500, true}, {1, 20, false}, {0, 540, false}};
    for (size_t i = 0; i < packets.size(); ++i) {
        const AVPacket* p = packets[i].get();
        SCOPED_TRACE(i);
        EXPECT_EQ(p->stream_index, expected[i].stream);
        EXPECT_EQ(p->pts, expected[i].pts);
        EXPECT_EQ(p->dts, expected[i].pts);
        EXPECT_EQ((p->flags & AV_PKT_FLAG_KEY) != 0, expected[i].key);
        ASSERT_EQ(p->size, int(frames[i].payload.size()));
        EXPECT_EQ(std::memcmp(p->data, frames[i].payload.data(), size_t(p->size)), 0);
        // Decoders read past the end: the padding is there and zero.
        for (int b = 0; b < AV_INPUT_BUFFER_PADDING_SIZE; ++b) ASSERT_EQ(p->data[p->size + b], 0);
    }
    EXPECT_EQ(file.ReadFrame(), nullptr);
    EXPECT_EQ(file.GetDuration(), 540u);  // first frame to the last frame

    // Counted packets: a second reference keeps the payload once the reader's packet is freed.
    PacketPtr kept(av_packet_alloc());
    ASSERT_EQ(av_packet_ref(kept.get(), packets[1].get()), 0);
    EXPECT_EQ(kept->data, packets[1]->data);
    packets[1].reset();
    EXPECT_EQ(std::memcmp(kept->data, frames[1].payload.data(), size_t(kept->size)), 0);
}

TEST_F(RecordFileTest, SeekTakesTheKeyFrameWhoseIntervalHoldsTheTarget) {
    CRecordFile file;
    ASSERT_TRUE(file.Open(Write(ThreeKeyFrames()).c_str()));
    EXPECT_EQ(IndexTimes(file), (std::vector<uint64_t>{0, 2000, 4000}));
    EXPECT_EQ(file.GetDuration(), 4020u);  // to the last frame, an audio one

    struct Case {
        uint64_t target;
        bool found;
        int64_t keyPts;  // pts of the packet read next
    } cases[] = {{0, true, 0}, {1999, true, 0}, {2000, true, 0}, {2001, true, 2000}, {4000, true, 2000},
                 {4001, false, 0}, {UINT64_MAX, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        ReadAll(file);  // park the reader at the end, where a failed seek must leave it
        EXPECT_EQ(file.SeekTo(c.target), c.found);
        PacketPtr next(file.ReadFrame());
        if (!c.found) {
            EXPECT_EQ(next, nullptr);
            continue;
        }
        ASSERT_NE(next, nullptr);
        EXPECT_TRUE(next->flags & AV_PKT_FLAG_KEY);
        EXPECT_EQ(next->pts, c.keyPts);  // a seek does not rebase
    }
}

TEST_F(RecordFileTest, SingleKeyFrameCannotBeSought) {
    CRecordFile file;
    ASSERT_TRUE(file.Open(Write({Frame(kKindVideoKey, kT0), Frame(kKindVideoDelta, kT0 + 40)}).c_str()));
    EXPECT_EQ(file.GetSeekIndex().size(), 1u);
    EXPECT_FALSE(file.SeekTo(0));
}

// The session's seek: the key frame at or before the target on the packets' clock, never a
// refusal for a target in the last group, at a key frame's own time or before the first key frame.
TEST_F(RecordFileTest, SeekToKeyFrameAtOrBeforeTakesTheLastKeyFrameNotAfterTheTarget) {
    std::vector<RawFrame> frames = {Frame(kKindAudio, kT0), Frame(kKindVideoDelta, kT0 + 40)};  // no key yet
    for (uint64_t key = 1000; key <= 5000; key += 2000) {
        frames.push_back(Frame(kKindVideoKey, kT0 + key, 32, uint8_t(key / 1000)));
        frames.push_back(Frame(kKindVideoDelta, kT0 + key + 40));
    }
    CRecordFile file;
    ASSERT_TRUE(file.Open(Write(frames).c_str()));
    struct Case {
        int64_t targetMs;
        int64_t keyPts;  // of the packet read next: key frames at 1000, 3000 and 5000
    } cases[] = {{-100, 1000}, {0, 1000}, {999, 1000}, {1000, 1000}, {2999, 1000}, {3000, 3000},
                 {4999, 3000}, {5000, 5000}, {5040, 5000}, {INT64_MAX / 2, 5000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.targetMs);
        ReadAll(file);
        ASSERT_TRUE(file.SeekToKeyFrameAtOrBefore(c.targetMs));
        PacketPtr next(file.ReadFrame());
        ASSERT_NE(next, nullptr);
        EXPECT_TRUE(next->flags & AV_PKT_FLAG_KEY);
        EXPECT_EQ(next->pts, c.keyPts);
    }
}

TEST_F(RecordFileTest, SeekToKeyFrameAtOrBeforeNeedsOnlyOneKeyFrame) {
    CRecordFile single;
    ASSERT_TRUE(single.Open(Write({Frame(kKindVideoKey, kT0), Frame(kKindVideoDelta, kT0 + 40)}).c_str()));
    ReadAll(single);
    ASSERT_TRUE(single.SeekToKeyFrameAtOrBefore(40));
    PacketPtr next(single.ReadFrame());
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->pts, 0);

    // Without any key frame there is nowhere to decode from: refused, the reader stays at the end.
    CRecordFile none;
    ASSERT_TRUE(none.Open(Write({Frame(kKindVideoDelta, kT0), Frame(kKindVideoDelta, kT0 + 40)}, fixtures::VideoOnlyHeader(),
                                "no_key.rec")
                              .c_str()));
    ReadAll(none);
    EXPECT_FALSE(none.SeekToKeyFrameAtOrBefore(0));
    EXPECT_EQ(none.ReadFrame(), nullptr);
}

TEST_F(RecordFileTest, FramesOfUnknownKindOrWithoutPayloadAreSkipped) {
    std::vector<RawFrame> frames = {
        Frame(kKindVideoKey, kT0),
        Frame(3, kT0 + 10),
        Frame(kKindVideoKey, kT0 + 20, 0),  // empty: a decoder would take it as the end of the stream
        Frame(0xFF, kT0 + 30, 5000),
        Frame(kKindVideoDelta, kT0 + 40),
        Frame(7, kT0 + 90'000),             // an unknown kind does not stretch the duration
    };
    CRecordFile file;
    ASSERT_TRUE(file.Open(Write(frames).c_str()));
    EXPECT_EQ(IndexTimes(file), std::vector<uint64_t>{0});
    EXPECT_EQ(file.GetDuration(), 40u);
    std::vector<PacketPtr> packets = ReadAll(file);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0]->pts, 0);
    EXPECT_EQ(packets[1]->pts, 40);
}

// A recording cut anywhere yields its complete frames and then null; the cut frame counts for
// neither the index nor the duration.
TEST_F(RecordFileTest, CutOffRecordingYieldsEveryCompleteFrameThenNull) {
    std::vector<RawFrame> frames = ThreeKeyFrames();
    std::vector<uint8_t> whole = fixtures::EncodeRecording(fixtures::VideoOnlyHeader(), frames);
    // The last key frame's header starts after six complete frames.
    size_t lastKeyOffset = kFileHeaderSize;
    for (int i = 0; i < 6; ++i) lastKeyOffset += kFrameHeaderSize + frames[size_t(i)].payload.size();

    struct Case {
        const char* what;
        size_t length;
        size_t packets;
        size_t keyFrames;
    } cases[] = {
        {"cut inside a frame header", lastKeyOffset + 10, 6, 2},
        {"cut after a frame header", lastKeyOffset + kFrameHeaderSize, 6, 2},
        {"cut inside a payload", lastKeyOffset + kFrameHeaderSize + 31, 6, 2},
        {"cut after the last key frame", lastKeyOffset + kFrameHeaderSize + 32, 7, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = WriteRaw(std::vector<uint8_t>(whole.begin(), whole.begin() + long(c.length)));
        CRecordFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        EXPECT_EQ(file.GetSeekIndex().size(), c.keyFrames);
        EXPECT_EQ(ReadAll(file).size(), c.packets);
        EXPECT_EQ(file.ReadFrame(), nullptr);
    }
}

// A recording still being written: the frame that was cut short comes out once its bytes exist.
TEST_F(RecordFileTest, FrameCutShortIsReadOnceTheFileHasGrown) {
    std::vector<RawFrame> frames = {Frame(kKindVideoKey, kT0, 100), Frame(kKindVideoDelta, kT0 + 40, 100)};
    std::vector<uint8_t> whole = fixtures::EncodeRecording(fixtures::VideoOnlyHeader(), frames);
    std::string path = WriteRaw(std::vector<uint8_t>(whole.begin(), whole.end() - 50));
    CRecordFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(ReadAll(file).size(), 1u);

    ASSERT_TRUE(fixtures::WriteBytes(path, whole));  // the recorder finishes the frame
    PacketPtr late(file.ReadFrame());
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(late->pts, 40);
    EXPECT_EQ(late->size, 100);
}

// Sizes that would mean gigabytes of payload on a small file: the data ends there and nothing of
// that size is allocated.
TEST_F(RecordFileTest, PayloadSizesBeyondTheFileEndTheData) {
    for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF0u, 0x80000000u, 0x7FFFFFFFu, 4137u /* one byte more than the file holds */}) {
        SCOPED_TRACE(size);
        RawFrame liar = Frame(kKindVideoKey, kT0 + 40, 4096);
        liar.declaredSize = size;
        std::string path = Write({Frame(kKindVideoKey, kT0), liar, Frame(kKindVideoKey, kT0 + 80)});
        CRecordFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        EXPECT_EQ(file.GetSeekIndex().size(), 1u);
        EXPECT_EQ(file.GetDuration(), 0u);
        EXPECT_EQ(ReadAll(file).size(), 1u);
    }
}

TEST_F(RecordFileTest, RecordingOverMidnightKeepsRisingIndexDurationAndTimes) {
    // Recorders stamp either the full wall-clock time or only the time of day; both cross midnight.
    for (bool timeOfDayStamps : {false, true}) {
        SCOPED_TRACE(timeOfDayStamps ? "time-of-day stamps" : "wall-clock stamps");
        auto at = [&](int64_t sinceMidnightMs) {
            // Time-of-day stamps fall back to 0 at midnight.
            return timeOfDayStamps ? uint64_t((sinceMidnightMs + int64_t(kMsPerDay)) % int64_t(kMsPerDay))
                                   : uint64_t(int64_t(kMidnight) + sinceMidnightMs);
        };
        std::vector<RawFrame> frames = {
            Frame(kKindVideoKey, at(-2000)), Frame(kKindAudio, at(-1990)), Frame(kKindVideoDelta, at(-1000)),
            Frame(kKindVideoKey, at(-500)),  Frame(kKindAudio, at(10)),    Frame(kKindVideoKey, at(1500)),
            Frame(kKindVideoDelta, at(2000)),
        };
        CRecordFile file;
        ASSERT_TRUE(file.Open(Write(frames).c_str()));
        EXPECT_EQ(IndexTimes(file), (std::vector<uint64_t>{0, 1500, 3500}));
        EXPECT_EQ(file.GetDuration(), 4000u);

        std::vector<PacketPtr> packets = ReadAll(file);
        ASSERT_EQ(packets.size(), frames.size());
        EXPECT_EQ(packets[4]->pts, 2010);  // audio after midnight, counted from the first frame
        EXPECT_EQ(packets[6]->pts, 4000);

        ASSERT_TRUE(file.SeekTo(3000));
        PacketPtr key(file.ReadFrame());
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->pts, 1500);
        PacketPtr after(file.ReadFrame());
        EXPECT_EQ(after->pts, 2010);  // audio again, after the seek over midnight
    }
}

TEST_F(RecordFileTest, SeekBeforeTheFirstReadKeepsTheFilesTimeScale) {
    CRecordFile file;
    ASSERT_TRUE(file.Open(Write(ThreeKeyFrames()).c_str()));
    ASSERT_TRUE(file.SeekTo(3000));
    PacketPtr key(file.ReadFrame());
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->pts, 2000);
}

TEST_F(RecordFileTest, OpenRecordingIsHeldAgainstOtherOpenersUntilClosed) {
    std::string path = Write(ThreeKeyFrames());
    CRecordFile first, second;
    ASSERT_TRUE(first.Open(path.c_str()));
    EXPECT_FALSE(second.Open(path.c_str()));
    EXPECT_TRUE(IsRecordFile(path.c_str()));  // detection only reads
    first.Close();
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(first.ReadFrame(), nullptr);
    EXPECT_FALSE(first.SeekTo(2000));
    EXPECT_TRUE(second.Open(path.c_str()));
}

TEST_F(RecordFileTest, RecordingLockedByAnotherProcessCannotBeOpened) {
    std::string path = Write(ThreeKeyFrames());
    int locked[2], release[2];
    ASSERT_EQ(::pipe(locked), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = ::open(path.c_str(), O_RDONLY);
        char byte = ::flock(fd, LOCK_EX) == 0 ? 1 : 0;
        (void)!::write(locked[1], &byte, 1);
        (void)!::read(release[0], &byte, 1);  // hold the lock until the parent is done
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(locked[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);

    CRecordFile file;
    EXPECT_FALSE(file.Open(path.c_str()));
    (void)!::write(release[1], &byte, 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(file.Open(path.c_str()));
    for (int fd : {locked[0], locked[1], release[0], release[1]}) ::close(fd);
}

TEST_F(RecordFileTest, ReopeningStartsAfresh) {
    FileHeader withAudio = fixtures::VideoOnlyHeader();
    withAudio.streamFlags = kAudioPresentFlag;
    withAudio.audioCodec = kAudioAac;
    withAudio.sampleRate = 16000;
    std::string first = Write(ThreeKeyFrames(), withAudio, "first.rec");
    std::string second = Write({Frame(kKindVideoKey, kT0 + 7777)}, fixtures::VideoOnlyHeader(), "second.rec");
    CRecordFile file;
    ASSERT_TRUE(file.Open(first.c_str()));
    ReadAll(file);
    ASSERT_TRUE(file.Open(second.c_str()));
    EXPECT_EQ(file.GetAudioCodec(), 0);
    EXPECT_EQ(file.GetSeekIndex().size(), 1u);
    PacketPtr packet(file.ReadFrame());
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(packet->pts, 0);
}
