// Recordings made by telvane-record-writer from synthetic clips, read back by the reader and
// decoded with FFmpeg's decoders opened without any out-of-band configuration, as the player
// opens them.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <set>

#include "engine/record/record_file.h"
#include "tests/record/record_test_times.h"
#include "tests/support/fixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace record_format;
using namespace record_tests;

namespace {

// Decodes packets of one stream and counts what comes out.
class CountingDecoder {
public:
    CountingDecoder(int codecId, int sampleRate = 0, int channels = 0) {
        const AVCodec* codec = avcodec_find_decoder(AVCodecID(codecId));
        m_context = avcodec_alloc_context3(codec);
        if (sampleRate > 0) {
            m_context->sample_rate = sampleRate;
            av_channel_layout_default(&m_context->ch_layout, channels);
        }
        m_opened = codec && m_context && avcodec_open2(m_context, codec, nullptr) == 0;
        m_frame = av_frame_alloc();
    }
    ~CountingDecoder() {
        avcodec_free_context(&m_context);
        av_frame_free(&m_frame);
    }

    bool Opened() const { return m_opened; }
    // False when the decoder refused the packet as invalid data.
    bool Decode(const AVPacket* packet) {
        int sent = avcodec_send_packet(m_context, packet);
        if (sent < 0 && sent != AVERROR_EOF) return false;
        Receive();
        return true;
    }
    void Drain() {
        avcodec_send_packet(m_context, nullptr);
        Receive();
    }

    int frames = 0;
    int64_t samples = 0;
    int width = 0, height = 0, sampleRate = 0, channels = 0;

private:
    void Receive() {
        while (avcodec_receive_frame(m_context, m_frame) == 0) {
            ++frames;
            samples += m_frame->nb_samples;
            width = m_frame->width;
            height = m_frame->height;
            sampleRate = m_frame->sample_rate;
            channels = m_frame->ch_layout.nb_channels;
            av_frame_unref(m_frame);
        }
    }

    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    bool m_opened = false;
};

struct ReadBack {
    int videoPackets = 0, audioPackets = 0, keyPackets = 0;
    bool timesRise = true;
};

// Reads the whole recording through both decoders.
ReadBack DecodeAll(CRecordFile& file, CountingDecoder& video, CountingDecoder* audio) {
    ReadBack result;
    int64_t lastPts[2] = {-1, -1};
    while (PacketPtr packet{file.ReadFrame()}) {
        int stream = packet->stream_index;
        if (packet->pts < lastPts[stream]) result.timesRise = false;
        lastPts[stream] = packet->pts;
        if (stream == 0) {
            ++result.videoPackets;
            if (packet->flags & AV_PKT_FLAG_KEY) ++result.keyPackets;
            EXPECT_TRUE(video.Decode(packet.get())) << "video packet " << result.videoPackets;
        } else {
            ++result.audioPackets;
            if (audio) {
                EXPECT_TRUE(audio->Decode(packet.get())) << "audio packet " << result.audioPackets;
            }
        }
    }
    video.Drain();
    if (audio) audio->Drain();
    return result;
}

struct WriterCase {
    const char* name;
    std::string clipVideoEncoder;  // what the source clip holds
    std::string clipContainer;
    std::string video;             // what the recording holds
    std::string audio;
    int videoCodec, audioCodec, channels, sampleRate;
};

void PrintTo(const WriterCase& c, std::ostream* out) { *out << c.name; }

class RecordWriterTest : public ::testing::TestWithParam<WriterCase> {
protected:
    fixtures::TempDir dir;
};

}  // namespace

// Two seconds at 25 frames per second with a key frame every 25 frames: 50 pictures, 2 key frames.
TEST_P(RecordWriterTest, RecordingDecodesBackToEveryPictureAndItsSound) {
    const WriterCase& c = GetParam();
    fixtures::ClipOptions clip;
    clip.videoEncoder = c.clipVideoEncoder;
    clip.container = c.clipContainer;
    clip.audioEncoder = c.clipContainer == "avi" ? "pcm_s16le" : "aac";
    std::string input = fixtures::MakeClip(dir, "clip", clip);
    ASSERT_FALSE(input.empty());
    fixtures::RecordingOptions options;
    options.video = c.video;
    options.audio = c.audio;
    std::string recording = fixtures::MakeRecording(dir, input, "clip.rec", options);
    ASSERT_FALSE(recording.empty());

    ASSERT_TRUE(IsRecordFile(recording.c_str()));
    CRecordFile file;
    ASSERT_TRUE(file.Open(recording.c_str()));
    EXPECT_EQ(file.GetVideoCodec(), c.videoCodec);
    EXPECT_EQ(file.GetWidth(), clip.width);
    EXPECT_EQ(file.GetHeight(), clip.height);
    EXPECT_EQ(file.GetAudioCodec(), c.audioCodec);
    EXPECT_EQ(file.GetChannels(), c.channels);
    EXPECT_EQ(file.GetSampleRate(), c.sampleRate);
    EXPECT_EQ(file.GetSeekIndex().size(), 2u);
    // From the first frame of either stream: sound may start before the pictures (an encoder's
    // priming samples, a transport stream's own offsets).
    EXPECT_NEAR(double(file.GetDuration()), 2000.0, 200.0);

    CountingDecoder video(file.GetVideoCodec());
    ASSERT_TRUE(video.Opened());
    std::unique_ptr<CountingDecoder> audio;
    if (file.GetAudioCodec()) {
        audio = std::make_unique<CountingDecoder>(file.GetAudioCodec(), file.GetSampleRate(), file.GetChannels());
        ASSERT_TRUE(audio->Opened());
    }
    ReadBack read = DecodeAll(file, video, audio.get());
    EXPECT_TRUE(read.timesRise);
    EXPECT_EQ(read.videoPackets, 50);
    EXPECT_EQ(read.keyPackets, 2);
    EXPECT_EQ(video.frames, 50);
    EXPECT_EQ(video.width, clip.width);
    EXPECT_EQ(video.height, clip.height);
    if (!audio) {
        EXPECT_EQ(read.audioPackets, 0);
        return;
    }
    EXPECT_GT(read.audioPackets, 0);
    EXPECT_EQ(audio->sampleRate, c.sampleRate);
    EXPECT_EQ(audio->channels, c.channels);
    // About two seconds of sound came back out (AAC adds its encoder delay on both encodings).
    EXPECT_NEAR(double(audio->samples) / c.sampleRate, 2.0, 0.3);
}

INSTANTIATE_TEST_SUITE_P(
    CodecsAndSources, RecordWriterTest,
    ::testing::Values(
        WriterCase{"H264CopiedWithMulaw", "libx264", "mp4", "h264", "mulaw", AV_CODEC_ID_H264, AV_CODEC_ID_PCM_MULAW, 1, 8000},
        WriterCase{"H264CopiedFromTransportStreamWithAlaw", "libx264", "ts", "h264", "alaw", AV_CODEC_ID_H264,
                   AV_CODEC_ID_PCM_ALAW, 1, 8000},
        WriterCase{"HevcCopiedWithAac", "libx265", "mkv", "hevc", "aac", AV_CODEC_ID_HEVC, AV_CODEC_ID_AAC, 2, 16000},
        WriterCase{"Mpeg4ReencodedToH264WithAac", "mpeg4", "avi", "h264", "aac", AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 2, 16000},
        WriterCase{"Mpeg4ReencodedToHevcWithoutAudio", "mpeg4", "avi", "hevc", "none", AV_CODEC_ID_HEVC, 0, 0, 0}),
    [](const ::testing::TestParamInfo<WriterCase>& info) { return std::string(info.param.name); });

// Parameter sets travel in band before every key frame, whether the writer copied or re-encoded
// the video, so decoding can start at any key frame.
TEST(RecordWriter, DecodingStartsAtAnyKeyFrameAfterASeek) {
    struct Case {
        const char* clipEncoder;
        const char* clipContainer;
        const char* video;
    } cases[] = {
        {"mpeg4", "avi", "h264"},  {"mpeg4", "avi", "hevc"},    {"libx264", "mp4", "h264"},
        {"libx264", "ts", "h264"}, {"libx265", "mkv", "hevc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.clipEncoder << " in " << c.clipContainer << " to " << c.video);
        fixtures::TempDir dir;
        fixtures::ClipOptions clip;
        clip.videoEncoder = c.clipEncoder;
        clip.container = c.clipContainer;
        clip.audioEncoder = "";
        clip.seconds = 3;
        std::string input = fixtures::MakeClip(dir, "clip", clip);
        ASSERT_FALSE(input.empty());
        fixtures::RecordingOptions options;
        options.video = c.video;
        options.audio = "none";
        std::string recording = fixtures::MakeRecording(dir, input, "clip.rec", options);
        ASSERT_FALSE(recording.empty());

        CRecordFile file;
        ASSERT_TRUE(file.Open(recording.c_str()));
        ASSERT_EQ(file.GetSeekIndex().size(), 3u);
        ASSERT_TRUE(file.SeekTo(file.GetSeekIndex()[1].time + 1));
        CountingDecoder decoder(file.GetVideoCodec());
        ReadBack read = DecodeAll(file, decoder, nullptr);
        EXPECT_EQ(read.videoPackets, 50);  // the last two of three seconds
        EXPECT_EQ(decoder.frames, 50);
    }
}

TEST(RecordWriter, StampsWallClockTimeFromTheChosenStartOverMidnight) {
    fixtures::TempDir dir;
    fixtures::ClipOptions clip;
    std::string input = fixtures::MakeClip(dir, "clip", clip);
    ASSERT_FALSE(input.empty());
    fixtures::RecordingOptions options;
    options.startMs = (kT0 / kMsPerDay + 1) * kMsPerDay - 1000;  // one second before midnight
    std::string recording = fixtures::MakeRecording(dir, input, "clip.rec", options);
    ASSERT_FALSE(recording.empty());

    // The first frame carries the start time itself.
    std::vector<uint8_t> bytes = fixtures::ReadBytes(recording);
    ASSERT_GE(bytes.size(), kFileHeaderSize + kFrameHeaderSize);
    EXPECT_EQ(DecodeFrameHeader(bytes.data() + kFileHeaderSize).timeMs, options.startMs);

    CRecordFile file;
    ASSERT_TRUE(file.Open(recording.c_str()));
    EXPECT_EQ(file.GetSeekIndex().size(), 2u);
    EXPECT_EQ(file.GetSeekIndex()[1].time, 1000u);  // the key frame at midnight
    EXPECT_NEAR(double(file.GetDuration()), 2000.0, 100.0);
}

// Damage done to a good recording: the reader keeps what is intact and stops where it ends.
TEST(RecordWriter, DamagedRecordingYieldsItsIntactFramesThenEnds) {
    fixtures::TempDir dir;
    std::string input = fixtures::MakeClip(dir, "clip", {});
    ASSERT_FALSE(input.empty());
    std::string recording = fixtures::MakeRecording(dir, input, "clip.rec");
    ASSERT_FALSE(recording.empty());
    const std::vector<uint8_t> good = fixtures::ReadBytes(recording);

    // Offsets of the first frames' headers.
    std::vector<size_t> headers;
    for (size_t at = kFileHeaderSize; at + kFrameHeaderSize <= good.size() && headers.size() < 11;) {
        headers.push_back(at);
        at += kFrameHeaderSize + DecodeFrameHeader(good.data() + at).payloadSize;
    }
    ASSERT_EQ(headers.size(), 11u);

    {
        SCOPED_TRACE("cut in the middle of the tenth frame's payload");
        std::vector<uint8_t> cut(good.begin(), good.begin() + long(headers[10] - 1));
        ASSERT_TRUE(fixtures::WriteBytes(dir.File("cut.rec"), cut));
        CRecordFile file;
        ASSERT_TRUE(file.Open(dir.File("cut.rec").c_str()));
        int packets = 0;
        while (PacketPtr packet{file.ReadFrame()}) ++packets;
        EXPECT_EQ(packets, 9);
    }
    {
        SCOPED_TRACE("fifth frame's size made huge");
        std::vector<uint8_t> lying = good;
        StoreLe32(lying.data() + headers[4] + 4, 0xFFFFFF00u);
        ASSERT_TRUE(fixtures::WriteBytes(dir.File("lying.rec"), lying));
        CRecordFile file;
        ASSERT_TRUE(file.Open(dir.File("lying.rec").c_str()));
        int packets = 0;
        while (PacketPtr packet{file.ReadFrame()}) ++packets;
        EXPECT_EQ(packets, 4);
    }
    {
        SCOPED_TRACE("magic overwritten");
        std::vector<uint8_t> renamed = good;
        renamed[0] = 0;
        ASSERT_TRUE(fixtures::WriteBytes(dir.File("magic.rec"), renamed));
        EXPECT_FALSE(IsRecordFile(dir.File("magic.rec").c_str()));
        CRecordFile file;
        EXPECT_FALSE(file.Open(dir.File("magic.rec").c_str()));
    }
}

// In real time the recording grows under its own name a whole frame at a time, as a recorder's file
// does while it records, and ends holding the very bytes a write at full speed gives.
TEST(RecordWriter, RealTimeWriteGrowsByWholeFramesThenEqualsAFullSpeedWrite) {
    fixtures::TempDir dir;
    fixtures::ClipOptions clip;
    clip.seconds = 1.5;
    std::string input = fixtures::MakeClip(dir, "clip", clip);
    ASSERT_FALSE(input.empty());
    fixtures::RecordingOptions options;
    std::string fullSpeed = fixtures::MakeRecording(dir, input, "full-speed.rec", options);
    ASSERT_FALSE(fullSpeed.empty());

    options.writerArguments = {"--realtime"};
    const std::string growing = dir.File("growing.rec");
    std::future<std::string> writer =
        std::async(std::launch::async, [&] { return fixtures::MakeRecording(dir, input, "growing.rec", options); });
    std::set<uintmax_t> sizesSeen;
    while (writer.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(growing, error);
        if (!error) sizesSeen.insert(size);
    }
    ASSERT_EQ(writer.get(), growing);

    const std::vector<uint8_t> bytes = fixtures::ReadBytes(growing);
    EXPECT_TRUE(bytes == fixtures::ReadBytes(fullSpeed));
    CRecordFile file;
    ASSERT_TRUE(file.Open(growing.c_str()));
    // The sizes seen while it was written that end a frame, short of the last: each one shows a
    // reader a recording that stops at a whole frame.
    int wholeFramePrefixes = 0;
    for (size_t end = kFileHeaderSize; end + kFrameHeaderSize <= bytes.size();) {
        end += kFrameHeaderSize + DecodeFrameHeader(bytes.data() + end).payloadSize;
        if (end < bytes.size() && sizesSeen.count(end)) ++wholeFramePrefixes;
    }
    EXPECT_GE(wholeFramePrefixes, 2) << sizesSeen.size() << " sizes seen";
}

TEST(RecordWriter, RefusesBadArgumentsAndLeavesNoOutput) {
    fixtures::TempDir dir;
    std::string input = fixtures::MakeClip(dir, "clip", {});
    ASSERT_FALSE(input.empty());
    std::string writer = fixtures::RecordWriterPath();
    std::string output = dir.File("out.rec");
    std::vector<std::vector<std::string>> bad = {
        {writer},
        {writer, input},
        {writer, "--video", "vp9", input, output},
        {writer, "--audio", "opus", input, output},
        {writer, "--start-ms", "-5", input, output},
        {writer, "--gop", "0", input, output},
        {writer, dir.File("missing.mp4"), output},
        {writer, dir.File("clip.mp4.log"), output},  // not a media file
    };
    for (const auto& argv : bad) {
        EXPECT_NE(fixtures::RunProgram(argv), 0) << argv.back();
        EXPECT_FALSE(std::filesystem::exists(output)) << argv.back();
    }
}
