// Picture and sound in step on files as they come from the field: sound in another layout or
// rate than the header says, short sound frames, sound that stops, sound and pictures that do not
// start together, containers whose stamps do not start at 0.

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/sync.h"
#include "tests/audio/audio_test_support.h"
#include "tests/engine/test_session.h"
#include "tests/support/fixtures.h"

namespace {

using engine_tests::kEndWaitMs;
using engine_tests::kSettleMs;
using engine_tests::Session;
using engine_tests::WaitUntil;

// ffmpeg's test picture and tones, 160x120 at 25 pictures per second; empty path on failure.
std::string Ffmpeg(const fixtures::TempDir& dir, const std::string& name, std::vector<std::string> arguments) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-v", "error"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const std::string path = dir.File(name);
    argv.push_back(path);
    return fixtures::RunProgram(argv, path + ".log") == 0 ? path : "";
}

std::vector<std::string> Picture(double seconds) {
    return {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=" + std::to_string(seconds)};
}

std::vector<std::string> Tone(double seconds, int rate, double delaySeconds = 0) {
    std::vector<std::string> tone;
    if (delaySeconds > 0) tone = {"-itsoffset", std::to_string(delaySeconds)};
    tone.insert(tone.end(), {"-f", "lavfi", "-i",
                             "sine=frequency=440:sample_rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds)});
    return tone;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<std::string> kH264 = {"-c:v", "libx264", "-preset", "veryfast", "-g", "25", "-pix_fmt", "yuv420p"};

// A recording written by the writer from a clip with sound; extra options go to the writer.
std::string Recording(const fixtures::TempDir& dir, const std::string& name, const std::string& audio,
                      std::vector<std::string> writerArguments = {}, double seconds = 3.0, double soundDelay = 0) {
    const std::string clip = Ffmpeg(dir, name + "_source.mkv",
                                    Join({Picture(seconds), Tone(seconds, 16000, soundDelay), kH264, {"-c:a", "pcm_s16le"}}));
    if (clip.empty()) return "";
    fixtures::RecordingOptions options;
    options.audio = audio;
    options.writerArguments = std::move(writerArguments);
    return fixtures::MakeRecording(dir, clip, name + ".rec", options);
}

// Rewrites a recording's header and frames in place; false when it cannot be read or written.
template <typename Edit>
bool EditRecording(const std::string& path, Edit edit) {
    record_format::FileHeader header;
    std::vector<fixtures::RawFrame> frames = fixtures::DecodeRecording(fixtures::ReadBytes(path), &header);
    if (frames.empty()) return false;
    edit(header, frames);
    return fixtures::WriteBytes(path, fixtures::EncodeRecording(header, frames));
}

// Plays a file to its end, noting for every picture shown its time and the time of the sound heard
// as it was shown.
struct PlayedFile {
    bool opened = false;
    bool ended = false;
    size_t endNotices = 0;
    std::vector<std::pair<int64_t, int64_t>> pictures;  // picture ms, heard ms (-1 unknown)
    int64_t durationMs = 0;
    int64_t positionAtEndMs = 0;
    std::vector<int64_t> positions;  // sampled while playing
    double heardRate = 0;            // heard ms per wall ms, over the middle of the file

    std::vector<int64_t> Offsets() const {
        std::vector<int64_t> offsets;
        for (const auto& [pictureMs, heardMs] : pictures) {
            if (heardMs >= 0) offsets.push_back(pictureMs - heardMs);
        }
        return offsets;
    }
    int64_t MedianOffset() const {
        std::vector<int64_t> offsets = Offsets();
        if (offsets.empty()) return INT64_MAX;
        std::nth_element(offsets.begin(), offsets.begin() + long(offsets.size() / 2), offsets.end());
        return offsets[offsets.size() / 2];
    }
};

// `during` runs once the first pictures are shown.
PlayedFile PlayToEnd(const std::string& path, const std::function<void()>& beforeOpen = {},
                     const std::function<void()>& during = {}) {
    PlayedFile played;
    Session session;
    std::mutex mutex;
    session.core.SetPictureObserver([&](int64_t pictureMs) {
        const int64_t heardMs = session.core.GetHeardAudioMs();
        std::lock_guard<std::mutex> lock(mutex);
        played.pictures.emplace_back(pictureMs, heardMs);
    });
    auto pictureCount = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return played.pictures.size();
    };
    if (beforeOpen) beforeOpen();
    played.opened = session.core.OpenFile(path.c_str()) == 1;
    if (!played.opened) return played;
    played.durationMs = session.core.GetDuration();
    session.core.Play();
    WaitUntil([&] { return pictureCount() >= 5; }, engine_tests::kPictureWaitMs);
    if (during) during();
    const uint64_t startMs = platform::TickMs64();
    const int64_t startHeardMs = session.core.GetHeardAudioMs();
    uint64_t rateWallMs = 0;
    int64_t rateHeardMs = 0;
    const uint64_t giveUpMs = startMs + kEndWaitMs;
    while (!session.notify.WaitFor(platform::kWmCommand, ID_END_OF_FILE, 20) && platform::TickMs64() < giveUpMs) {
        played.positions.push_back(session.core.GetPosition());
        if (rateWallMs == 0 && platform::TickMs64() - startMs >= 1000) {
            rateWallMs = platform::TickMs64() - startMs;
            rateHeardMs = session.core.GetHeardAudioMs() - startHeardMs;
        }
    }
    played.ended = session.EndNotices() > 0;
    played.positionAtEndMs = session.core.GetPosition();
    if (rateWallMs > 0 && startHeardMs >= 0) played.heardRate = double(rateHeardMs) / double(rateWallMs);
    played.endNotices = session.EndNoticesOnceStopped();
    return played;
}

void ExpectPlayedToTheEnd(const PlayedFile& played, size_t pictures, const std::string& name) {
    ASSERT_TRUE(played.opened) << name;
    EXPECT_TRUE(played.ended) << name;
    EXPECT_EQ(played.endNotices, 1u) << name;
    EXPECT_EQ(played.pictures.size(), pictures) << name;
    // The position moves on to the end of the file, never beyond it.
    EXPECT_GE(played.positionAtEndMs, played.durationMs - 200) << name;
    for (int64_t positionMs : played.positions) {
        ASSERT_LE(positionMs, played.durationMs) << name;
        ASSERT_GE(positionMs, 0) << name;
    }
}

// ---------------------------------------------------------------------------------------------
// Sound in the output's format

// The output is opened with the header's channels and rate; sound in another layout or rate is
// converted, so it is heard at its own pace: one second of sound per second.
TEST(SoundInTheOutputsFormat, IsHeardAtItsOwnPace) {
    fixtures::TempDir dir;
    const std::string mono = Recording(dir, "mono_aac", "aac", {"--aac-channels", "1"});
    const std::string lyingRate = Recording(dir, "lying_rate", "aac");
    ASSERT_FALSE(mono.empty());
    ASSERT_FALSE(lyingRate.empty());
    // The header says 8000 samples a second; the AAC inside carries 16000.
    ASSERT_TRUE(EditRecording(lyingRate, [](record_format::FileHeader& header, auto&) { header.sampleRate = 8000; }));
    for (const std::string& path : {mono, lyingRate}) {
        const PlayedFile played = PlayToEnd(path);
        ExpectPlayedToTheEnd(played, 75, path);
        EXPECT_GT(played.heardRate, 0.7) << path;
        EXPECT_LT(played.heardRate, 1.4) << path;
    }
}

// ---------------------------------------------------------------------------------------------
// Short sound frames: no wait of theirs goes below zero or wraps, and the output, fed in blocks
// of its own length, never runs dry: they are heard at their own pace.

TEST(ShortSoundFrames, PlayToOneEndAtTheirOwnPace) {
    fixtures::TempDir dir;
    const struct {
        const char* name;
        std::vector<std::string> sound;
    } cases[] = {
        {"opus_10ms.mkv", {"-c:a", "libopus", "-frame_duration", "10"}},
        {"opus_2_5ms.mkv", {"-c:a", "libopus", "-frame_duration", "2.5"}},
        {"pcm_2ms_packets.mkv", {"-af", "asetnsamples=n=96", "-c:a", "pcm_s16le"}},
    };
    std::vector<std::string> paths;
    for (const auto& c : cases) {
        paths.push_back(Ffmpeg(dir, c.name, Join({Picture(2), Tone(2, 48000), kH264, c.sound})));
    }
    paths.push_back(Recording(dir, "g711_10ms", "mulaw", {"--g711-frame-ms", "10"}, 2.0));
    for (const std::string& path : paths) {
        ASSERT_FALSE(path.empty());
        const PlayedFile played = PlayToEnd(path);
        ExpectPlayedToTheEnd(played, 50, path);
        EXPECT_GT(played.heardRate, 0.7) << path;
        EXPECT_LT(played.heardRate, 1.4) << path;
    }
}

// ---------------------------------------------------------------------------------------------
// When the sound stops, the pictures go on at their own pace to the end.

TEST(WhenTheSoundStops, PicturesGoOnToTheEnd) {
    fixtures::TempDir dir;
    const std::string shortSound =
        Ffmpeg(dir, "short_sound.mkv", Join({Picture(3), Tone(1, 16000), kH264, {"-c:a", "aac"}}));
    ASSERT_FALSE(shortSound.empty());
    // G.711 bytes under a header that says AAC: nothing decodes.
    const std::string undecodable = Recording(dir, "undecodable", "mulaw");
    ASSERT_FALSE(undecodable.empty());
    ASSERT_TRUE(EditRecording(undecodable, [](record_format::FileHeader& header, auto&) {
        header.audioCodec = record_format::kAudioAac;
    }));
    ExpectPlayedToTheEnd(PlayToEnd(shortSound), 75, "sound shorter than the pictures");
    ExpectPlayedToTheEnd(PlayToEnd(undecodable), 75, "sound that cannot be decoded");
}

TEST(WhenTheSoundStops, WithoutASoundServerFilesPlaySilently) {
    fixtures::TempDir dir;
    const std::string path = Recording(dir, "no_server", "mulaw");
    ASSERT_FALSE(path.empty());
    std::unique_ptr<NoSoundServer> noServer;
    const PlayedFile played = PlayToEnd(path, [&] { noServer = std::make_unique<NoSoundServer>(); });
    ExpectPlayedToTheEnd(played, 75, "no sound server");
}

TEST(WhenTheSoundStops, ASoundServerThatGoesAwayLeavesThePicturesPlaying) {
    fixtures::TempDir dir;
    const std::string path = Recording(dir, "server_gone", "mulaw");
    ASSERT_FALSE(path.empty());
    PrivateSoundServer server;
    ASSERT_TRUE(server.Started());
    UseSoundServer useIt(server.Address());
    const PlayedFile played = PlayToEnd(path, {}, [&] { server.Kill(); });
    ExpectPlayedToTheEnd(played, 75, "server gone");
}

// ---------------------------------------------------------------------------------------------
// The clock the pictures follow: the sound heard, by presentation times, from one origin.

TEST(PicturesFollowTheSoundHeard, InStepOnFieldFiles) {
    fixtures::TempDir dir;
    const std::string g711Long = Recording(dir, "g711_40ms", "mulaw", {"--g711-frame-ms", "40"}, 4.0);
    // Sound that starts half a second after the pictures, as cameras do.
    const std::string lateSound = Recording(dir, "late_sound", "mulaw", {}, 4.0, 0.5);
    const std::string bFrames = Ffmpeg(dir, "bframes.mp4", Join({Picture(4), Tone(4, 48000), kH264, {"-bf", "3", "-c:a", "aac"}}));
    const std::string transportStream = Ffmpeg(
        dir, "offset.ts", Join({Picture(4), Tone(4, 48000), kH264, {"-bf", "0", "-c:a", "aac", "-output_ts_offset", "3600"}}));
    for (const std::string& path : {g711Long, lateSound, bFrames, transportStream}) {
        ASSERT_FALSE(path.empty());
        const PlayedFile played = PlayToEnd(path);
        ExpectPlayedToTheEnd(played, 100, path);
        EXPECT_LT(std::abs(played.MedianOffset()), 60) << path;
        ASSERT_FALSE(played.pictures.empty());
        EXPECT_LT(played.pictures.front().first, 600) << path << ": pictures count from the file's start";
    }
}

}  // namespace
