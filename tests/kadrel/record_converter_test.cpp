// Recordings of every codec pair turned into MP4 files, checked with ffprobe and by decoding them,
// and the ways a conversion can end short: damage, cancel, a folder that takes nothing.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

#include "engine/convert/record_converter.h"
#include "engine/record/record_file.h"
#include "tests/kadrel/mp4_report.h"
#include "tests/support/fixtures.h"

using namespace record_format;
namespace fs = std::filesystem;

namespace {

constexpr double kFrameSeconds = 0.04;  // the clips run at 25 pictures a second

// What the MP4 of a recording must hold, from the recording's own frames.
struct Expected {
    int pictures = 0;            // from the first key picture on
    double videoSeconds = 0;     // first key picture to the end of the last picture
    double lastAudioSeconds = -1;  // time of the last sound frame, from the recording's earliest frame
    double endSeconds = 0;       // where the last picture or sound frame ends
};

Expected ExpectedOf(const std::string& recording) {
    FileHeader header;
    std::vector<fixtures::RawFrame> frames = fixtures::DecodeRecording(fixtures::ReadBytes(recording), &header);
    Expected expected;
    if (frames.empty()) return expected;
    // The MP4's time 0 is the earliest frame, which need not be the first in the file.
    uint64_t firstMs = frames.front().timeMs, firstKeyMs = 0, lastVideoMs = 0;
    for (const fixtures::RawFrame& frame : frames) firstMs = std::min(firstMs, frame.timeMs);
    double audioFrameSeconds = 0;
    for (const fixtures::RawFrame& frame : frames) {
        if (frame.kind == kKindAudio) {
            double at = double(frame.timeMs - firstMs) / 1000.0;
            if (expected.lastAudioSeconds >= 0) audioFrameSeconds = at - expected.lastAudioSeconds;
            expected.lastAudioSeconds = at;
            continue;
        }
        if (expected.pictures == 0 && frame.kind != kKindVideoKey) continue;
        if (expected.pictures == 0) firstKeyMs = frame.timeMs;
        ++expected.pictures;
        lastVideoMs = frame.timeMs;
    }
    expected.videoSeconds = double(lastVideoMs - firstKeyMs) / 1000.0 + kFrameSeconds;
    expected.endSeconds = std::max(double(lastVideoMs - firstMs) / 1000.0 + kFrameSeconds,
                                   expected.lastAudioSeconds + audioFrameSeconds);
    return expected;
}

// Plays the MP4 to its end in our own player, headless; the pictures it pushed, -1 when it did not
// play to the end.
int PicturesPlayed(const std::string& mp4) {
    const std::string log = mp4 + ".play";
    if (fixtures::RunProgram({TELVANE_BINARY_DIR "/bin/telvane-play", mp4}, log) != 0) return -1;
    std::ifstream in(log);
    std::string line;
    bool ended = false;
    int pictures = -1;
    while (std::getline(in, line)) {
        if (line == "ended_by: end_of_file") ended = true;
        if (line.rfind("pictures_pushed: ", 0) == 0) pictures = std::atoi(line.c_str() + 17);
    }
    return ended ? pictures : -1;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ConverterTest : public ::testing::Test {
protected:
    // A clip of 1.2 s with a tone; key pictures every 10 pictures.
    std::string Clip() {
        if (m_clip.empty()) {
            fixtures::ClipOptions clip;
            clip.seconds = 1.2;
            clip.keyFrameInterval = 10;
            m_clip = fixtures::MakeClip(m_dir, "clip", clip);
        }
        return m_clip;
    }

    std::string Recording(const std::string& name, const std::string& video, const std::string& audio,
                          std::vector<std::string> writerArguments = {}) {
        fixtures::RecordingOptions options;
        options.video = video;
        options.audio = audio;
        options.keyFrameInterval = 10;
        options.writerArguments = std::move(writerArguments);
        return fixtures::MakeRecording(m_dir, Clip(), name, options);
    }

    std::string Subfolder(const std::string& name) {
        std::string path = m_dir.File(name);
        fs::create_directories(path);
        return path;
    }

    fixtures::TempDir m_dir;
    std::string m_clip;
};

struct CodecPair {
    const char* video;
    const char* audio;
    const char* videoCodec;  // as ffprobe names it
    bool sound;
};

TEST_F(ConverterTest, every_codec_pair_becomes_an_mp4_with_the_recordings_pictures_and_timing) {
    const CodecPair pairs[] = {
        {"h264", "mulaw", "h264", true}, {"h264", "alaw", "h264", true}, {"h264", "aac", "h264", true},
        {"h264", "none", "h264", false}, {"hevc", "mulaw", "hevc", true}, {"hevc", "alaw", "hevc", true},
        {"hevc", "aac", "hevc", true},   {"hevc", "none", "hevc", false},
    };
    for (const CodecPair& pair : pairs) {
        SCOPED_TRACE(std::string(pair.video) + " + " + pair.audio);
        const std::string name = std::string(pair.video) + "-" + pair.audio;
        std::string recording = Recording(name + ".rec", pair.video, pair.audio);
        ASSERT_FALSE(recording.empty());
        const Expected expected = ExpectedOf(recording);

        ConvertResult result = CRecordConverter().Convert(recording, Subfolder(name));
        ASSERT_EQ(result.status, ConvertStatus::kOk) << result.detail;
        EXPECT_EQ(result.outputPath, m_dir.File(name + "/" + name + ".mp4"));
        EXPECT_EQ(result.pictures, expected.pictures);

        mp4_report::Report report = mp4_report::Probe(result.outputPath);
        ASSERT_TRUE(report.read);
        const mp4_report::Stream* video = report.Find("video");
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->codec, pair.videoCodec);
        EXPECT_EQ(video->packets, expected.pictures);
        EXPECT_EQ(video->width, 160);
        EXPECT_EQ(video->height, 120);
        EXPECT_NEAR(video->duration, expected.videoSeconds, kFrameSeconds);
        EXPECT_NEAR(report.duration, expected.endSeconds, kFrameSeconds);
        const mp4_report::Stream* audio = report.Find("audio");
        ASSERT_EQ(audio != nullptr, pair.sound);
        if (audio) {
            EXPECT_EQ(audio->codec, "aac");
            EXPECT_GT(audio->packets, 0);
            // The player opens container files only with sound, so only these play in it.
            EXPECT_EQ(PicturesPlayed(result.outputPath), expected.pictures);
        }
        EXPECT_TRUE(mp4_report::DecodesCleanly(result.outputPath));
    }
}

// The writer's G.711 frames of 60 ms and AAC in one channel, as some cameras write them.
TEST_F(ConverterTest, sound_in_other_frame_lengths_and_channel_counts_keeps_its_length) {
    const std::vector<std::vector<std::string>> variants = {
        {"--audio", "mulaw", "--g711-frame-ms", "60"},
        {"--audio", "aac", "--aac-channels", "1", "--aac-rate", "8000"},
    };
    int n = 0;
    for (const auto& arguments : variants) {
        const std::string name = "variant" + std::to_string(n++);
        SCOPED_TRACE(name);
        std::string recording = Recording(name + ".rec", "h264", "none", arguments);
        ASSERT_FALSE(recording.empty());
        const Expected expected = ExpectedOf(recording);
        ConvertResult result = CRecordConverter().Convert(recording, "");
        ASSERT_EQ(result.status, ConvertStatus::kOk) << result.detail;
        std::vector<double> sound = mp4_report::PacketTimes(result.outputPath, "audio");
        ASSERT_FALSE(sound.empty());
        EXPECT_NEAR(sound.back(), expected.lastAudioSeconds, 0.2);
        EXPECT_TRUE(mp4_report::DecodesCleanly(result.outputPath));
    }
}

// A stretch of sound missing from the recording stays a pause: the sound after it keeps its time
// instead of sliding forward onto the pictures before it.
TEST_F(ConverterTest, a_dropout_in_the_sound_keeps_the_later_sound_at_its_time) {
    for (const char* audio : {"mulaw", "aac"}) {
        SCOPED_TRACE(audio);
        std::string recording = Recording(std::string("gap-") + audio + ".rec", "h264", audio);
        ASSERT_FALSE(recording.empty());
        FileHeader header;
        std::vector<fixtures::RawFrame> frames = fixtures::DecodeRecording(fixtures::ReadBytes(recording), &header);
        const uint64_t firstMs = frames.front().timeMs;
        std::vector<fixtures::RawFrame> kept;
        for (const fixtures::RawFrame& frame : frames) {
            const uint64_t at = frame.timeMs - firstMs;
            if (frame.kind == kKindAudio && at >= 300 && at < 800) continue;
            kept.push_back(frame);
        }
        ASSERT_TRUE(fixtures::WriteBytes(recording, fixtures::EncodeRecording(header, kept)));

        ConvertResult result = CRecordConverter().Convert(recording, "");
        ASSERT_EQ(result.status, ConvertStatus::kOk) << result.detail;
        std::vector<double> sound = mp4_report::PacketTimes(result.outputPath, "audio");
        ASSERT_FALSE(sound.empty());
        EXPECT_NEAR(sound.back(), ExpectedOf(recording).lastAudioSeconds, 0.2);
        EXPECT_TRUE(mp4_report::DecodesCleanly(result.outputPath));
    }
}

// Recordings as recorders write them: edited from a clean one, converted, and checked for what the
// edit must not change.
TEST_F(ConverterTest, recorder_quirks_keep_every_picture_and_the_streams_timing) {
    using Frames = std::vector<fixtures::RawFrame>;
    struct Case {
        const char* name;
        std::function<void(FileHeader&, Frames&)> edit;
        std::function<void(const mp4_report::Report&, const std::string& mp4, double seconds)> check;
    };
    const Case cases[] = {
        {"clock set back 10 s halfway",
         [](FileHeader&, Frames& frames) {
             for (size_t i = frames.size() / 2; i < frames.size(); ++i) frames[i].timeMs -= 10000;
         },
         [](const mp4_report::Report& report, const std::string&, double seconds) {
             EXPECT_NEAR(report.Find("video")->duration, seconds, 2 * kFrameSeconds);
             EXPECT_NEAR(report.duration, seconds, 0.2);
         }},
        {"no picture size in the header",
         [](FileHeader& header, Frames&) { header.width = header.height = 0; },
         [](const mp4_report::Report& report, const std::string&, double) {
             EXPECT_EQ(report.Find("video")->width, 160);
             EXPECT_EQ(report.Find("video")->height, 120);
         }},
        {"sound starts 400 ms after the pictures",
         [](FileHeader&, Frames& frames) {
             const uint64_t firstMs = frames.front().timeMs;
             std::erase_if(frames, [&](const fixtures::RawFrame& f) { return f.kind == kKindAudio && f.timeMs < firstMs + 400; });
         },
         [](const mp4_report::Report&, const std::string& mp4, double) {
             std::vector<double> sound = mp4_report::PacketTimes(mp4, "audio");
             ASSERT_FALSE(sound.empty());
             // The encoder's first packet is its lead-in of one frame (1024 samples at 8 kHz).
             EXPECT_NEAR(sound.front() + 1024.0 / 8000, 0.4, 0.03);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string recording = Recording(std::string(c.name) + ".rec", "h264", "mulaw");
        ASSERT_FALSE(recording.empty());
        const Expected original = ExpectedOf(recording);
        FileHeader header;
        Frames frames = fixtures::DecodeRecording(fixtures::ReadBytes(recording), &header);
        c.edit(header, frames);
        ASSERT_TRUE(fixtures::WriteBytes(recording, fixtures::EncodeRecording(header, frames)));

        ConvertResult result = CRecordConverter().Convert(recording, "");
        ASSERT_EQ(result.status, ConvertStatus::kOk) << result.detail;
        mp4_report::Report report = mp4_report::Probe(result.outputPath);
        ASSERT_NE(report.Find("video"), nullptr);
        EXPECT_EQ(report.Find("video")->packets, original.pictures);
        c.check(report, result.outputPath, original.videoSeconds);
        EXPECT_TRUE(mp4_report::DecodesCleanly(result.outputPath));
    }
}

TEST_F(ConverterTest, a_recording_cut_short_gives_the_pictures_before_the_cut) {
    std::string recording = Recording("cut.rec", "h264", "mulaw");
    ASSERT_FALSE(recording.empty());
    std::vector<uint8_t> bytes = fixtures::ReadBytes(recording);
    bytes.resize(bytes.size() * 2 / 3);  // in the middle of some frame
    ASSERT_TRUE(fixtures::WriteBytes(recording, bytes));
    const Expected expected = ExpectedOf(recording);
    ASSERT_GT(expected.pictures, 0);

    ConvertResult result = CRecordConverter().Convert(recording, "");
    ASSERT_EQ(result.status, ConvertStatus::kOk) << result.detail;
    mp4_report::Report report = mp4_report::Probe(result.outputPath);
    ASSERT_NE(report.Find("video"), nullptr);
    EXPECT_EQ(report.Find("video")->packets, expected.pictures);
    EXPECT_TRUE(mp4_report::DecodesCleanly(result.outputPath));
}

// Pictures before the first key picture cannot be shown; the MP4 starts at the key picture.
TEST_F(ConverterTest, pictures_before_the_first_key_picture_are_left_out) {
    std::string recording = Recording("late-key.rec", "h264", "none");
    ASSERT_FALSE(recording.empty());
    FileHeader header;
    std::vector<fixtures::RawFrame> frames = fixtures::DecodeRecording(fixtures::ReadBytes(recording), &header);
    frames.erase(frames.begin());  // the first key picture: the rest of its group cannot be decoded
    ASSERT_TRUE(fixtures::WriteBytes(recording, fixtures::EncodeRecording(header, frames)));
    const Expected expected = ExpectedOf(recording);

    ConvertResult result = CRecordConverter().Convert(recording, "");
    ASSERT_EQ(result.status, ConvertStatus::kOk) << result.detail;
    EXPECT_EQ(result.pictures, expected.pictures);
    EXPECT_TRUE(mp4_report::DecodesCleanly(result.outputPath));
}

// A conversion that fails leaves the folder as it found it: no MP4, no temporary file.
TEST_F(ConverterTest, a_failed_conversion_leaves_nothing_behind) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        ConvertStatus status;
    };
    std::vector<fixtures::RawFrame> garbage(5);
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i].kind = i == 0 ? kKindVideoKey : kKindVideoDelta;
        garbage[i].timeMs = 1000 + 40 * i;
        garbage[i].payload.assign(200, uint8_t(0x5A + i));
    }
    // Real pictures, but AAC frames that are noise.
    FileHeader aacHeader;
    const std::string aac = Recording("aac-source.rec", "h264", "aac");
    ASSERT_FALSE(aac.empty());
    std::vector<fixtures::RawFrame> noisySound = fixtures::DecodeRecording(fixtures::ReadBytes(aac), &aacHeader);
    for (fixtures::RawFrame& frame : noisySound) {
        if (frame.kind == kKindAudio) std::fill(frame.payload.begin(), frame.payload.end(), uint8_t(0xA5));
    }
    const Case cases[] = {
        {"noisy-aac.rec", fixtures::EncodeRecording(aacHeader, noisySound), ConvertStatus::kBadSound},
        {"text.rec", {'n', 'o', 't', ' ', 'a', ' ', 'r', 'e', 'c', 'o', 'r', 'd', 'i', 'n', 'g'}, ConvertStatus::kNotRecording},
        {"empty.rec", fixtures::EncodeRecording(fixtures::VideoOnlyHeader(), {}), ConvertStatus::kNoPictures},
        {"garbage.rec", fixtures::EncodeRecording(fixtures::VideoOnlyHeader(), garbage), ConvertStatus::kNoPictures},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = Subfolder(std::string("fail-") + c.name);
        const std::string recording = folder + "/" + c.name;
        ASSERT_TRUE(fixtures::WriteBytes(recording, c.bytes));
        ConvertResult result = CRecordConverter().Convert(recording, "");
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(result.outputPath.empty());
        EXPECT_EQ(FilesIn(folder), std::vector<std::string>{c.name});
    }
    ConvertResult missing = CRecordConverter().Convert(m_dir.File("nowhere/none.rec"), "");
    EXPECT_EQ(missing.status, ConvertStatus::kNotRecording);
}

TEST_F(ConverterTest, a_folder_that_takes_no_file_fails_cleanly) {
    std::string recording = Recording("ro.rec", "h264", "none");
    ASSERT_FALSE(recording.empty());
    const std::string locked = Subfolder("locked");
    ASSERT_EQ(::chmod(locked.c_str(), 0500), 0);
    const bool enforced = ::access(locked.c_str(), W_OK) != 0;  // not when the tests run as root
    ConvertResult intoLocked = CRecordConverter().Convert(recording, locked);
    ConvertResult intoMissing = CRecordConverter().Convert(recording, m_dir.File("no/such/folder"));
    ::chmod(locked.c_str(), 0700);
    if (enforced) {
        EXPECT_EQ(intoLocked.status, ConvertStatus::kCannotWrite);
        EXPECT_TRUE(FilesIn(locked).empty());
    }
    EXPECT_EQ(intoMissing.status, ConvertStatus::kCannotWrite);
    EXPECT_FALSE(intoMissing.detail.empty());
}

TEST_F(ConverterTest, a_cancel_mid_file_leaves_nothing_behind) {
    std::string recording = Recording("cancel.rec", "h264", "aac");
    ASSERT_FALSE(recording.empty());
    const std::string folder = Subfolder("cancelled");
    std::atomic<bool> cancel{false};
    double lastFraction = 0;
    ConvertResult result = CRecordConverter(&cancel).Convert(recording, folder, [&](double fraction) {
        lastFraction = fraction;
        if (fraction >= 0.4) cancel = true;
    });
    EXPECT_EQ(result.status, ConvertStatus::kCancelled);
    EXPECT_LT(lastFraction, 1.0);
    EXPECT_TRUE(FilesIn(folder).empty());

    // A cancel that comes before the start stops the conversion before its first byte.
    cancel = true;
    EXPECT_EQ(CRecordConverter(&cancel).Convert(recording, folder).status, ConvertStatus::kCancelled);
    EXPECT_TRUE(FilesIn(folder).empty());

    // The same flag lets a conversion through once it is down.
    cancel = false;
    EXPECT_EQ(CRecordConverter(&cancel).Convert(recording, folder).status, ConvertStatus::kOk);
}

TEST_F(ConverterTest, progress_rises_to_one) {
    std::string recording = Recording("progress.rec", "h264", "mulaw");
    ASSERT_FALSE(recording.empty());
    std::vector<double> seen;
    ConvertResult result = CRecordConverter().Convert(recording, "", [&](double f) { seen.push_back(f); });
    ASSERT_EQ(result.status, ConvertStatus::kOk);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.front(), 0.0);
    EXPECT_EQ(seen.back(), 1.0);
}

// The player holds its recording with an exclusive lock; the converter only reads, so a recording
// that is playing converts all the same.
TEST_F(ConverterTest, a_recording_the_player_holds_open_converts) {
    std::string recording = Recording("playing.rec", "h264", "mulaw");
    ASSERT_FALSE(recording.empty());
    CRecordFile player;
    ASSERT_TRUE(player.Open(recording.c_str()));
    ConvertResult result = CRecordConverter().Convert(recording, "", [](double) {});
    EXPECT_EQ(result.status, ConvertStatus::kOk);
}

// An existing file is never written over, the recording least of all when it carries .mp4 itself.
TEST_F(ConverterTest, existing_files_keep_their_contents) {
    std::string recording = Recording("camera.mp4", "h264", "none");
    ASSERT_FALSE(recording.empty());
    const std::vector<uint8_t> original = fixtures::ReadBytes(recording);
    const std::vector<uint8_t> mine = {'m', 'i', 'n', 'e'};
    ASSERT_TRUE(fixtures::WriteBytes(m_dir.File("camera-converted.mp4"), mine));

    ConvertResult first = CRecordConverter().Convert(recording, "");
    ConvertResult second = CRecordConverter().Convert(recording, "");
    ASSERT_EQ(first.status, ConvertStatus::kOk) << first.detail;
    ASSERT_EQ(second.status, ConvertStatus::kOk) << second.detail;
    EXPECT_EQ(first.outputPath, m_dir.File("camera-converted (2).mp4"));
    EXPECT_EQ(second.outputPath, m_dir.File("camera-converted (3).mp4"));
    EXPECT_EQ(fixtures::ReadBytes(recording), original);
    EXPECT_EQ(fixtures::ReadBytes(m_dir.File("camera-converted.mp4")), mine);
}

struct Picture {
    int64_t positionMs;
    bool key;
};

// The pictures of a recording, at their positions (ms from its first frame, as the player counts).
std::vector<Picture> RecordingPictures(const std::string& recording) {
    FileHeader header;
    std::vector<fixtures::RawFrame> frames = fixtures::DecodeRecording(fixtures::ReadBytes(recording), &header);
    std::vector<Picture> pictures;
    if (frames.empty()) return pictures;
    uint64_t firstMs = frames.front().timeMs;
    for (const fixtures::RawFrame& frame : frames) firstMs = std::min(firstMs, frame.timeMs);
    for (const fixtures::RawFrame& frame : frames) {
        if (frame.kind != kKindAudio) pictures.push_back({int64_t(frame.timeMs - firstMs), frame.kind == kKindVideoKey});
    }
    return pictures;
}

// The pictures of a container file, at their positions (ms from the file's start time), by ffprobe.
std::vector<Picture> ContainerPictures(const std::string& file) {
    const std::string log = file + ".pictures";
    fixtures::RunProgram({"ffprobe", "-v", "error", "-show_entries", "format=start_time", "-of", "csv=p=0", file}, log);
    std::ifstream startIn(log);
    double start = 0;
    startIn >> start;
    fixtures::RunProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=pts_time,flags",
                          "-of", "csv=p=0", file},
                         log);
    std::vector<Picture> pictures;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        const size_t comma = line.find(',');
        if (comma == std::string::npos) continue;
        const double at = std::strtod(line.c_str(), nullptr);
        pictures.push_back({std::llround((at - start) * 1000), line[comma + 1] == 'K'});
    }
    return pictures;
}

// As MP4 keeps it: whole seconds, in UTC.
std::string Mp4Time(int64_t epochMs) {
    const std::time_t seconds = std::time_t(epochMs / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
    return text;
}

constexpr int64_t kRecordedAtMs = 1'765'360'800'000;  // 2025-12-10 10:00:00 UTC

// A marked stretch: the pictures from the key picture at or before its start (which becomes the
// MP4's time 0) to the last one at or before its end, and the recorded time of the first of them.
TEST_F(ConverterTest, a_marked_stretch_starts_at_the_key_picture_before_it_and_carries_its_recorded_time) {
    fixtures::ClipOptions options;
    options.seconds = 6.0;
    options.keyFrameInterval = 25;
    const std::string clip = fixtures::MakeClip(m_dir, "long", options);
    ASSERT_FALSE(clip.empty());
    fixtures::RecordingOptions recordingOptions;
    recordingOptions.startMs = kRecordedAtMs;
    const std::string recording = fixtures::MakeRecording(m_dir, clip, "camera.rec", recordingOptions);
    const std::string container = m_dir.File("camera.mkv");
    ASSERT_EQ(fixtures::RunProgram({"ffmpeg", "-v", "error", "-i", clip, "-c", "copy", "-metadata",
                                    "creation_time=2025-12-10T10:00:00Z", container}),
              0);
    struct Case {
        std::string file;
        std::vector<Picture> pictures;
        ConvertStretch stretch;
    } cases[] = {
        {recording, RecordingPictures(recording), {2500, 4000}},
        {recording, RecordingPictures(recording), {0, 1500}},
        {recording, RecordingPictures(recording), {3000, 9000}},  // past the end: to the last picture
        {container, ContainerPictures(container), {2500, 4000}},
        {container, ContainerPictures(container), {4700, 5200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " " + std::to_string(c.stretch.fromMs) + "-" + std::to_string(c.stretch.toMs));
        ASSERT_FALSE(c.pictures.empty());
        int64_t firstMs = -1, lastMs = -1;
        int count = 0;
        for (const Picture& picture : c.pictures) {
            if (picture.key && picture.positionMs <= c.stretch.fromMs) firstMs = picture.positionMs;
        }
        for (const Picture& picture : c.pictures) {
            if (picture.positionMs < firstMs || picture.positionMs > c.stretch.toMs) continue;
            ++count;
            lastMs = std::max(lastMs, picture.positionMs);
        }
        ASSERT_GE(firstMs, 0);

        ConvertResult result = CRecordConverter().Convert(c.file, Subfolder("clips"), {}, c.stretch);
        ASSERT_EQ(result.status, ConvertStatus::kOk) << result.detail;
        EXPECT_EQ(result.pictures, count);
        mp4_report::Report report = mp4_report::Probe(result.outputPath);
        ASSERT_TRUE(report.read);
        const mp4_report::Stream* video = report.Find("video");
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->packets, count);
        EXPECT_NEAR(report.startTime, 0.0, 0.001);
        EXPECT_NEAR(video->duration, double(lastMs - firstMs) / 1000.0 + kFrameSeconds, kFrameSeconds);
        EXPECT_EQ(report.creationTime, Mp4Time(kRecordedAtMs + firstMs));
        EXPECT_EQ(report.title, fs::path(c.file).filename().string());
        EXPECT_TRUE(mp4_report::DecodesCleanly(result.outputPath));
    }
}

TEST_F(ConverterTest, a_stretch_that_ends_before_it_starts_writes_nothing) {
    const std::string recording = Recording("backwards.rec", "h264", "none");
    ASSERT_FALSE(recording.empty());
    ConvertResult result = CRecordConverter().Convert(recording, Subfolder("none"), {}, ConvertStretch{800, 300});
    EXPECT_EQ(result.status, ConvertStatus::kFailed);
    EXPECT_TRUE(FilesIn(m_dir.File("none")).empty());
}

TEST(Mp4PathFor, names_the_mp4_after_the_recording) {
    struct Case {
        const char* recording;
        const char* folder;
        const char* mp4;
    } cases[] = {
        {"/rec/cam1.dat", "", "/rec/cam1.mp4"},
        {"/rec/cam1.dat", "/out", "/out/cam1.mp4"},
        {"/rec/cam1.dat", "/out/", "/out/cam1.mp4"},
        {"/rec/cam1", "", "/rec/cam1.mp4"},
        {"/rec/cam.1.h264", "", "/rec/cam.1.mp4"},
        {"/rec/.hidden", "", "/rec/.hidden.mp4"},
        {"/rec/cam1.MP4", "", "/rec/cam1-converted.mp4"},
        {"/rec/cam1.mp4", "/out", "/out/cam1-converted.mp4"},
        {"cam1.dat", "", "cam1.mp4"},
    };
    for (const Case& c : cases) EXPECT_EQ(Mp4PathFor(c.recording, c.folder), c.mp4) << c.recording;
    EXPECT_EQ(Mp4PathFor("/rec/cam1.mp4", "", ConvertStretch{65'000, 3'723'000}), "/rec/cam1_0-01-05_1-02-03.mp4");
}

}  // namespace
