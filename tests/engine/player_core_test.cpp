// Sessions played end to end: real decoders, the off-screen video target and the test sound
// server, on clips made by the test.

#include "engine/player_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "platform/offscreen_video_target.h"
#include "platform/recording_window.h"
#include "tests/engine/test_session.h"
#include "tests/support/container_fixtures.h"
#include "tests/support/fixtures.h"

namespace fixtures {
void PrintTo(const ContainerRecipe& recipe, std::ostream* out) { *out << recipe.name; }
}  // namespace fixtures

namespace {

using fixtures::ContainerKind;
using engine_tests::kEndWaitMs;
using engine_tests::kPictureWaitMs;
using engine_tests::kSettleMs;
using engine_tests::Session;
using engine_tests::WaitUntil;

// ---------------------------------------------------------------------------------------------
// Inputs

struct RecordingKind {
    const char* name;
    const char* video;
    const char* audio;
};

void PrintTo(const RecordingKind& kind, std::ostream* out) { *out << kind.name; }

std::string MakeRecordingFile(const fixtures::TempDir& dir, const RecordingKind& kind, double seconds,
                              int keyFrameInterval = 25) {
    fixtures::ClipOptions clip;
    clip.seconds = seconds;
    clip.keyFrameInterval = keyFrameInterval;
    const std::string input = fixtures::MakeClip(dir, std::string("source_") + kind.name, clip);
    if (input.empty()) return "";
    fixtures::RecordingOptions options;
    options.video = kind.video;
    options.audio = kind.audio;
    options.keyFrameInterval = keyFrameInterval;
    options.reencode = true;
    return fixtures::MakeRecording(dir, input, std::string(kind.name) + ".rec", options);
}

fixtures::ContainerShape ShortShape(double seconds = 1.0) {
    fixtures::ContainerShape shape;
    shape.width = 160;
    shape.height = 120;
    shape.seconds = seconds;
    return shape;
}

// ---------------------------------------------------------------------------------------------
// Playing to the end

constexpr int64_t kOnePictureMs = 40;  // the fixtures' 25 pictures per second

void ExpectPlaysToEnd(const std::string& path, size_t expectedPictures) {
    Session session;
    ASSERT_EQ(session.attached, 1);
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    EXPECT_GT(session.core.GetDuration(), 0);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(session.WaitForEnd());
    // The position counts milliseconds from the start, whatever the stream's own time base.
    EXPECT_LE(session.core.GetPosition(), session.core.GetDuration() + kOnePictureMs);
    // The last pictures may still be on their way when the sound has reported the end.
    EXPECT_TRUE(session.WaitForPictures(expectedPictures));
    EXPECT_EQ(session.core.StopPlay(), 1);
    EXPECT_FALSE(session.core.IsOpened());
    EXPECT_EQ(session.EndNotices(), 1u);
    EXPECT_EQ(session.Pictures(), expectedPictures);
    const std::vector<int64_t> times = session.PictureTimes();
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << "pictures out of order";
    EXPECT_GE(session.target.PresentCount(), 1u);
}

class ContainerPlayback : public testing::TestWithParam<fixtures::ContainerRecipe> {};

TEST_P(ContainerPlayback, PlaysEveryPictureToTheEndWithOneEndNotice) {
    fixtures::TempDir dir;
    const std::string path = fixtures::MakeContainerFile(dir, GetParam().kind, ShortShape());
    ASSERT_FALSE(path.empty());
    ExpectPlaysToEnd(path, 25);
}

// Every kind plays, those without sound too.
std::vector<fixtures::ContainerRecipe> PlayableContainers() { return fixtures::AllContainerRecipes(); }

INSTANTIATE_TEST_SUITE_P(Files, ContainerPlayback, testing::ValuesIn(PlayableContainers()),
                         [](const testing::TestParamInfo<fixtures::ContainerRecipe>& info) {
                             return std::string(info.param.name);
                         });

class RecordingPlayback : public testing::TestWithParam<RecordingKind> {};

TEST_P(RecordingPlayback, PlaysEveryPictureToTheEndWithOneEndNotice) {
    fixtures::TempDir dir;
    const std::string path = MakeRecordingFile(dir, GetParam(), 1.0);
    ASSERT_FALSE(path.empty());
    ExpectPlaysToEnd(path, 25);
}

INSTANTIATE_TEST_SUITE_P(Files, RecordingPlayback,
                         testing::Values(RecordingKind{"h264_mulaw", "h264", "mulaw"},
                                         RecordingKind{"h264_alaw", "h264", "alaw"},
                                         RecordingKind{"h264_aac", "h264", "aac"},
                                         RecordingKind{"h264_silent", "h264", "none"},
                                         RecordingKind{"hevc_mulaw", "hevc", "mulaw"},
                                         RecordingKind{"hevc_silent", "hevc", "none"}),
                         [](const testing::TestParamInfo<RecordingKind>& info) { return std::string(info.param.name); });

platform::PresentedPixels PlayToEndAndKeepLastPicture(const std::string& path) {
    Session session;
    if (session.core.OpenFile(path.c_str()) != 1 || session.core.Play() != 1 || !session.WaitForEnd()) return {};
    return session.target.LastPicture();
}

// Mean absolute difference of the colour channels of two pictures of one size (0..255).
double MeanChannelDifference(const platform::PresentedPixels& a, const platform::PresentedPixels& b) {
    double sum = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            for (int shift : {0, 8, 16}) {
                sum += std::abs(static_cast<int>((a.At(x, y) >> shift) & 0xFF) - static_cast<int>((b.At(x, y) >> shift) & 0xFF));
            }
        }
    }
    return sum / (3.0 * a.width * a.height);
}

// Full-range MJPEG, 4:2:2 and 10-bit pictures reach the screen with the colours of the same
// picture in plain 8-bit 4:2:0, but for the small differences of their compression (about 3.5).
TEST(PictureFormats, ShowTheSameColoursAsPlain420) {
    fixtures::TempDir dir;
    const std::string reference = fixtures::MakeContainerFile(dir, ContainerKind::Mp4H264Aac, ShortShape());
    ASSERT_FALSE(reference.empty());
    const platform::PresentedPixels expected = PlayToEndAndKeepLastPicture(reference);
    ASSERT_GT(expected.width, 0);
    for (ContainerKind kind : {ContainerKind::AviMjpegMulaw, ContainerKind::MkvH264Yuv422, ContainerKind::MkvHevc10Bit}) {
        const std::string path = fixtures::MakeContainerFile(dir, kind, ShortShape());
        ASSERT_FALSE(path.empty());
        const platform::PresentedPixels shown = PlayToEndAndKeepLastPicture(path);
        const char* name = fixtures::RecipeOf(kind).name;
        ASSERT_EQ(shown.width, expected.width) << name;
        ASSERT_EQ(shown.height, expected.height) << name;
        EXPECT_LT(MeanChannelDifference(shown, expected), 6.0) << name;
    }
}

// ---------------------------------------------------------------------------------------------
// Refusals

TEST(OpenFile, RefusesWhatCannotBePlayedAndSaysWhy) {
    fixtures::TempDir dir;
    const std::string garbage = dir.File("garbage.mp4");
    ASSERT_TRUE(fixtures::WriteBytes(garbage, std::vector<uint8_t>(4096, 0x5A)));
    struct Case {
        const char* name;
        const char* path;
        std::string reasonHas;  // besides the file's name
    } cases[] = {
        {"null path", nullptr, "no file was named"},
        {"missing file", "/nonexistent/clip.mp4", "No such file or directory"},
        {"not a media file", garbage.c_str(), ""},
    };
    for (const Case& c : cases) {
        Session session;
        ASSERT_EQ(session.attached, 1);
        EXPECT_EQ(session.core.OpenFile(c.path), 0) << c.name;
        EXPECT_FALSE(session.core.IsOpened()) << c.name;
        EXPECT_EQ(session.core.Play(), 0) << c.name;
        const std::string reason = session.core.GetOpenError();
        const std::string named = c.path ? std::string(c.path) + ": " : "";
        EXPECT_EQ(reason.rfind(named, 0), 0u) << c.name << ": " << reason;
        EXPECT_GT(reason.size(), named.size()) << c.name << ": " << reason;
        EXPECT_NE(reason.find(c.reasonHas), std::string::npos) << c.name << ": " << reason;
    }
}

TEST(OpenFile, RefusesWithoutARenderer) {
    fixtures::TempDir dir;
    const std::string path = fixtures::MakeContainerFile(dir, ContainerKind::Mp4H264Aac, ShortShape());
    ASSERT_FALSE(path.empty());
    CPlayerCore neverAttached;
    EXPECT_EQ(neverAttached.OpenFile(path.c_str()), 0);
    EXPECT_EQ(neverAttached.StopPlay(), 0);

    platform::RecordingWindow notify;
    CPlayerCore failedAttach;
    EXPECT_EQ(failedAttach.Attach(nullptr, notify.Handle()), 0);
    EXPECT_EQ(failedAttach.OpenFile(path.c_str()), 0);
}

TEST(OpenFile, RefusesASecondFileWhilePlayingAndPlaysTheFirstOn) {
    fixtures::TempDir dir;
    const std::string container = fixtures::MakeContainerFile(dir, ContainerKind::Mp4H264Aac, ShortShape());
    const std::string recording = MakeRecordingFile(dir, RecordingKind{"first", "h264", "mulaw"}, 1.0);
    ASSERT_FALSE(container.empty());
    ASSERT_FALSE(recording.empty());
    Session session;
    ASSERT_EQ(session.core.OpenFile(recording.c_str()), 1);
    EXPECT_EQ(session.core.GetOpenError(), "");
    ASSERT_EQ(session.core.Play(), 1);
    // A file of the other kind must not change how the running workers read their input.
    EXPECT_EQ(session.core.OpenFile(container.c_str()), 0);
    EXPECT_NE(session.core.GetOpenError().find(container), std::string::npos);
    EXPECT_TRUE(session.core.IsPlaying());
    ASSERT_TRUE(session.WaitForEnd());
    EXPECT_EQ(session.Pictures(), 25u);
}

// ---------------------------------------------------------------------------------------------
// Pause, step, speed

class LongRecording : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new fixtures::TempDir();
        s_path = MakeRecordingFile(*s_dir, RecordingKind{"long_mulaw", "h264", "mulaw"}, 8.0);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override { ASSERT_FALSE(s_path.empty()); }

    // Open and play until a few pictures are shown.
    void StartPlaying(Session& session) {
        ASSERT_EQ(session.core.OpenFile(s_path.c_str()), 1);
        ASSERT_EQ(session.core.Play(), 1);
        ASSERT_TRUE(session.WaitForPictures(5));
    }

    static fixtures::TempDir* s_dir;
    static std::string s_path;
};

fixtures::TempDir* LongRecording::s_dir = nullptr;

// Nothing written: the output's clock stands still but for a few ms of its own smoothing, where
// playing would have moved it by the whole time waited.
void ExpectNoSoundHeardSince(const Session& session, int64_t heardMs) {
    EXPECT_GE(heardMs, 0);
    EXPECT_LT(session.core.GetHeardAudioMs() - heardMs, 60);
}
std::string LongRecording::s_path;

TEST_F(LongRecording, PauseHoldsPictureAndSoundAndPlayResumes) {
    Session session;
    StartPlaying(session);
    EXPECT_GT(session.core.GetFrameRate(), 0);
    session.core.Pause();
    EXPECT_FALSE(session.core.IsPlaying());
    const size_t heldPictures = session.WaitForStill();
    // The sound output plays out what it holds, then nothing more is heard.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const int64_t heardMs = session.core.GetHeardAudioMs();
    const int32_t positionMs = session.core.GetPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(session.Pictures(), heldPictures);
    ExpectNoSoundHeardSince(session, heardMs);
    EXPECT_EQ(session.core.GetPosition(), positionMs);

    // The paused picture is the one a reviewer takes.
    const std::string snapshot = s_dir->File("paused.jpg");
    EXPECT_EQ(session.core.TakeSnapshot(snapshot.c_str()), 1);
    EXPECT_TRUE(std::filesystem::exists(snapshot));

    ASSERT_EQ(session.core.Play(), 1);
    EXPECT_TRUE(session.WaitForPictures(heldPictures + 10));
    EXPECT_TRUE(WaitUntil([&] { return session.core.GetHeardAudioMs() > heardMs; }, kPictureWaitMs));
}

TEST_F(LongRecording, EachStepPresentsOnePictureWithoutSoundAndPlayResumes) {
    Session session;
    StartPlaying(session);
    session.core.StepFrame();
    EXPECT_FALSE(session.core.IsPlaying());
    size_t pictures = session.WaitForStill();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the output plays out
    const int64_t heardMs = session.core.GetHeardAudioMs();
    for (int step = 0; step < 3; ++step) {
        session.core.StepFrame();
        ASSERT_TRUE(session.WaitForPictures(pictures + 1));
        EXPECT_EQ(session.WaitForStill(), pictures + 1) << "step " << step;
        pictures = session.Pictures();
    }
    ExpectNoSoundHeardSince(session, heardMs);
    const std::vector<int64_t> times = session.PictureTimes();
    EXPECT_LT(times[times.size() - 2], times.back());

    ASSERT_EQ(session.core.Play(), 1);
    EXPECT_TRUE(session.WaitForPictures(pictures + 10));
    EXPECT_TRUE(WaitUntil([&] { return session.core.GetHeardAudioMs() > heardMs; }, kPictureWaitMs));
}

TEST_F(LongRecording, StepFromAPausePresentsOnePicturePerStep) {
    Session session;
    StartPlaying(session);
    session.core.Pause();
    size_t pictures = session.WaitForStill();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the output plays out
    const int64_t heardMs = session.core.GetHeardAudioMs();
    // The first step may also show the picture the video thread held at the pause, as the first
    // step from playing does; every further step shows exactly one.
    session.core.StepFrame();
    ASSERT_TRUE(session.WaitForPictures(pictures + 1));
    pictures = session.WaitForStill();
    for (int step = 0; step < 2; ++step) {
        session.core.StepFrame();
        ASSERT_TRUE(session.WaitForPictures(pictures + 1)) << "step " << step;
        EXPECT_EQ(session.WaitForStill(), pictures + 1) << "step " << step;
        pictures = session.Pictures();
    }
    ExpectNoSoundHeardSince(session, heardMs);
    EXPECT_FALSE(session.core.IsPlaying());
}

TEST_F(LongRecording, SpeedCodesSetThePaceAndSilenceTheSound) {
    Session session;
    StartPlaying(session);
    auto picturesDuring = [&](uint32_t ms) {
        const size_t before = session.Pictures();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return session.Pictures() - before;
    };
    session.core.SetSpeed(1);  // a quarter: 160 ms per picture at 25 per second
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    const int64_t heardMs = session.core.GetHeardAudioMs();
    const size_t quarter = picturesDuring(1000);
    session.core.SetSpeed(3);  // double: 20 ms per picture
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const size_t twice = picturesDuring(1000);
    EXPECT_LE(quarter, 12u);
    EXPECT_GE(twice, 2 * quarter + 10);
    ExpectNoSoundHeardSince(session, heardMs);
    session.core.SetSpeed(0);
    EXPECT_TRUE(WaitUntil([&] { return session.core.GetHeardAudioMs() > heardMs; }, kPictureWaitMs));
}

// ---------------------------------------------------------------------------------------------
// Seeking

TEST_F(LongRecording, SeekRefusesOutsideTheFileAndBeforeTheClocksSettle) {
    Session session;
    ASSERT_EQ(session.core.SeekTo(0), 0) << "not open";
    ASSERT_EQ(session.core.OpenFile(s_path.c_str()), 1);
    EXPECT_EQ(session.core.SeekTo(1000), 0) << "clocks not settled before playing";
    ASSERT_EQ(session.core.Play(), 1);
    const int64_t durationMs = session.core.GetDuration();
    ASSERT_GT(durationMs, 0);
    EXPECT_EQ(session.core.SeekTo(-1), 0);
    EXPECT_EQ(session.core.SeekTo(durationMs + 1), 0);
    EXPECT_TRUE(WaitUntil([&] { return session.core.SeekTo(durationMs) == 1; }, kPictureWaitMs));
}

// After a seek the first picture shown is the one at the target: its time is within one picture
// interval (40 ms) of the target, though the key frame it was decoded from lies up to a second before.
void ExpectSeekLandsOnTarget(Session& session, int64_t targetMs) {
    ASSERT_TRUE(WaitUntil([&] { return session.core.SeekTo(targetMs) == 1; }, kPictureWaitMs));
    const size_t before = session.Pictures();
    // Pictures already in flight when the seek was asked for may come first; they are all from
    // well before the target.
    auto landed = [&](const std::vector<int64_t>& times) {
        return std::find_if(times.begin() + static_cast<long>(before), times.end(),
                            [&](int64_t ms) { return ms >= targetMs - 1000; });
    };
    ASSERT_TRUE(WaitUntil([&] { const auto times = session.PictureTimes(); return landed(times) != times.end(); },
                          kPictureWaitMs));
    const std::vector<int64_t> times = session.PictureTimes();
    const auto first = landed(times);
    EXPECT_GE(*first, targetMs - 40) << "first picture after the seek";
    EXPECT_LE(*first, targetMs + 40) << "first picture after the seek";
}

TEST_F(LongRecording, SeekLandsOnTheTargetAndPlaysOnToTheEnd) {
    Session session;
    StartPlaying(session);
    ExpectSeekLandsOnTarget(session, 5500);
    EXPECT_GE(session.core.GetPosition(), 5400);
    ASSERT_TRUE(session.WaitForEnd());
    EXPECT_EQ(session.EndNoticesOnceStopped(), 1u);
}

// The sound queued for the old place when a seek is taken is dropped, not played out over the
// pictures of the new place: measured on the stream's clock, no more of the old place is heard
// after the seek than the block the audio thread may be writing when it comes (128 ms here) and
// the output's latency. Played out, the queue would be heard for over a third of a second.
void ExpectSeekDropsTheOldSound(const std::string& path) {
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(WaitUntil([&] { return session.core.GetHeardAudioMs() > 3000; }, kEndWaitMs));
    ASSERT_EQ(session.core.SeekTo(500), 1);
    const int64_t heardAtSeekMs = session.core.GetHeardAudioMs();
    int64_t lastOldMs = heardAtSeekMs;
    ASSERT_TRUE(WaitUntil([&] {
        const int64_t heardMs = session.core.GetHeardAudioMs();
        if (heardMs >= 2000) lastOldMs = std::max(lastOldMs, heardMs);
        return heardMs >= 0 && heardMs < 2000;
    }, kPictureWaitMs));
    EXPECT_LT(lastOldMs - heardAtSeekMs, 200) << "of the old place heard after the seek";
}

// Large sound blocks (AAC at 8 kHz: 128 ms each) leave the most queued when the seek comes.
TEST(SeekSound, TheOldPlaceIsNotPlayedOut) {
    fixtures::TempDir dir;
    const std::string recording = MakeRecordingFile(dir, RecordingKind{"seek_aac", "h264", "aac"}, 6.0);
    ASSERT_FALSE(recording.empty());
    ExpectSeekDropsTheOldSound(recording);
    const std::string mkv = fixtures::MakeContainerFile(dir, ContainerKind::MkvH264Aac, ShortShape(6.0));
    ASSERT_FALSE(mkv.empty());
    ExpectSeekDropsTheOldSound(mkv);
}

TEST(RecordingSeek, WithoutSoundLandsOnTheTargetAndPlaysOnToTheEnd) {
    fixtures::TempDir dir;
    const std::string path = MakeRecordingFile(dir, RecordingKind{"silent_long", "h264", "none"}, 5.0);
    ASSERT_FALSE(path.empty());
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(session.WaitForPictures(5));
    ExpectSeekLandsOnTarget(session, 3500);
    ASSERT_TRUE(session.WaitForEnd());
    EXPECT_EQ(session.EndNoticesOnceStopped(), 1u);
    EXPECT_EQ(session.PictureTimes().back(), 4960);
}

TEST(RecordingWithoutSound, KeepsItsPaceAfterAPause) {
    fixtures::TempDir dir;
    const std::string path = MakeRecordingFile(dir, RecordingKind{"silent_pause", "h264", "none"}, 5.0);
    ASSERT_FALSE(path.empty());
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(session.WaitForPictures(5));
    session.core.Pause();
    const size_t held = session.WaitForStill();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(session.core.Play(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    // At 25 pictures a second about 10 are due; the paused time is not made up at full speed.
    EXPECT_LE(session.Pictures() - held, 18u);
}

TEST(RecordingSeek, PauseDuringTheSeekHoldsAndPlayResumesAtTheTarget) {
    // Short enough for the reader to have read it all: it then takes the seek at once.
    fixtures::TempDir dir;
    const std::string path = MakeRecordingFile(dir, RecordingKind{"short", "h264", "mulaw"}, 3.0);
    ASSERT_FALSE(path.empty());
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(session.WaitForPictures(5));
    ASSERT_TRUE(WaitUntil([&] { return session.core.SeekTo(2000) == 1; }, kPictureWaitMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the read thread is seeking
    session.core.Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));  // the picture in hand
    const size_t held = session.Pictures();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // longer than the seek takes
    EXPECT_EQ(session.Pictures(), held) << "pictures shown while paused";
    ASSERT_EQ(session.core.Play(), 1);
    EXPECT_TRUE(WaitUntil([&] { return session.PictureTimes().back() >= 2000; }, kPictureWaitMs));
}

TEST(ContainerSeek, LandsNearTheTargetAndPlaysOnToTheEnd) {
    fixtures::TempDir dir;
    const std::string path = fixtures::MakeContainerFile(dir, ContainerKind::MkvH264Aac, ShortShape(6.0));
    ASSERT_FALSE(path.empty());
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(session.WaitForPictures(5));
    ExpectSeekLandsOnTarget(session, 3500);
    ASSERT_TRUE(session.WaitForEnd());
    EXPECT_EQ(session.EndNoticesOnceStopped(), 1u);
    EXPECT_LT(session.Pictures(), 150u) << "the skipped part was not shown";
}

// A file short enough for both queues to hold all of it: the reader has met its end long before
// the pictures get half way, and the seek back must still be performed then.
TEST(ContainerSeek, BackFromNearTheEndAfterTheReaderMetItPlaysOnToOneEnd) {
    fixtures::TempDir dir;
    const std::string path = fixtures::MakeContainerFile(dir, ContainerKind::Mp4H264Aac, ShortShape(3.0));
    ASSERT_FALSE(path.empty());
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(session.WaitForPictures(1));
    const int64_t firstPictureMs = session.PictureTimes().front();
    ASSERT_TRUE(WaitUntil([&] { return session.PictureTimes().back() >= firstPictureMs + 1500; }, kPictureWaitMs));
    ASSERT_EQ(session.EndNotices(), 0u) << "played out before the seek";
    const int32_t positionBefore = session.core.GetPosition();
    const size_t before = session.Pictures();
    ASSERT_EQ(session.core.SeekTo(0), 1);

    auto wentBack = [&](const std::vector<int64_t>& times) {
        const int64_t lastBefore = times[before - 1];
        return std::find_if(times.begin() + static_cast<long>(before), times.end(),
                            [&](int64_t ms) { return ms < lastBefore; });
    };
    // A seek nobody performs shows up as the file playing out instead.
    WaitUntil([&] {
        const auto times = session.PictureTimes();
        return wentBack(times) != times.end() || session.EndNotices() > 0;
    }, kPictureWaitMs);
    std::vector<int64_t> times = session.PictureTimes();
    const auto landed = wentBack(times);
    ASSERT_TRUE(landed != times.end()) << "no picture from before the seek point was shown again";
    const auto landedAt = landed - times.begin();
    EXPECT_EQ(*landed, firstPictureMs) << "the first picture after the seek is the key frame at the start";
    EXPECT_LT(session.core.GetPosition(), positionBefore);

    ASSERT_TRUE(session.WaitForEnd());
    times = session.PictureTimes();
    const std::vector<int64_t> replay(times.begin() + landedAt, times.end());
    EXPECT_TRUE(std::is_sorted(replay.begin(), replay.end())) << "pictures out of order after the seek";
    EXPECT_GE(replay.size(), 70u) << "75 pictures from the start to the end";
    EXPECT_EQ(replay.back(), firstPictureMs + 2960) << "the last picture of the file";
    EXPECT_EQ(session.core.SeekTo(0), 0) << "taken after the end, when nobody would perform it";
    EXPECT_EQ(session.core.StopPlay(), 1);
    EXPECT_EQ(session.EndNotices(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Stopping

enum class StopFrom { Ready, Playing, Paused, Stepping };

std::string StopFromName(StopFrom state) {
    switch (state) {
        case StopFrom::Ready: return "Ready";
        case StopFrom::Playing: return "Playing";
        case StopFrom::Paused: return "Paused";
        case StopFrom::Stepping: return "Stepping";
    }
    return "Unknown";
}

class StopPlay : public LongRecording, public testing::WithParamInterface<StopFrom> {};

TEST_P(StopPlay, EndsEveryWorker) {
    Session session;
    ASSERT_EQ(session.core.OpenFile(s_path.c_str()), 1);
    if (GetParam() != StopFrom::Ready) {
        ASSERT_EQ(session.core.Play(), 1);
        ASSERT_TRUE(session.WaitForPictures(3));
    }
    if (GetParam() == StopFrom::Paused) session.core.Pause();
    if (GetParam() == StopFrom::Stepping) session.core.StepFrame();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(session.core.StopPlay(), 1);
    // Every worker is joined by StopPlay itself, and the sanitizers see any of them still touching
    // the session afterwards.
    EXPECT_FALSE(session.core.IsOpened());
    EXPECT_FALSE(session.core.IsPlaying());
    EXPECT_EQ(session.core.GetPosition(), 0);
    EXPECT_EQ(session.core.GetDuration(), 0);
    const size_t pictures = session.Pictures();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(session.Pictures(), pictures);
    EXPECT_EQ(session.EndNotices(), 0u);
}

INSTANTIATE_TEST_SUITE_P(States, StopPlay,
                         testing::Values(StopFrom::Ready, StopFrom::Playing, StopFrom::Paused, StopFrom::Stepping),
                         [](const testing::TestParamInfo<StopFrom>& info) { return StopFromName(info.param); });

TEST_F(LongRecording, DestroyingAnOpenSessionWithoutStopEndsItsWorkers) {
    for (bool play : {false, true}) {
        Session session;
        ASSERT_EQ(session.core.OpenFile(s_path.c_str()), 1);
        if (play) {
            ASSERT_EQ(session.core.Play(), 1);
            ASSERT_TRUE(session.WaitForPictures(3));
            session.core.Pause();
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Damaged recordings

// One file played to its end: some pictures shown and one end notice, however damaged it is.
void ExpectDamagedFilePlaysToEnd(const std::string& path, const char* name) {
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1) << name;
    ASSERT_EQ(session.core.Play(), 1);
    EXPECT_TRUE(session.WaitForEnd()) << name;
    // The sound may report the end before the first picture that survived the damage is shown.
    EXPECT_TRUE(session.WaitForPictures(1)) << name;
    EXPECT_EQ(session.core.StopPlay(), 1);
    EXPECT_EQ(session.EndNotices(), 1u) << name;
    EXPECT_GT(session.Pictures(), 0u) << name;
}

std::vector<uint8_t> CutShort(std::vector<uint8_t> bytes) {
    bytes.resize(bytes.size() * 6 / 10);
    return bytes;
}

// Scribbles over every 97th byte after the first few kilobytes: headers and payloads alike.
std::vector<uint8_t> Scribbled(std::vector<uint8_t> bytes) {
    for (size_t i = 2048; i < bytes.size(); i += 97) bytes[i] ^= 0xA5;
    return bytes;
}

// Moves the stamp of the recording's middle frame an hour ahead.
std::vector<uint8_t> WithTimeJump(std::vector<uint8_t> bytes) {
    std::vector<size_t> frameOffsets;
    for (size_t at = record_format::kFileHeaderSize; at + record_format::kFrameHeaderSize <= bytes.size();) {
        frameOffsets.push_back(at);
        at += record_format::kFrameHeaderSize + record_format::DecodeFrameHeader(&bytes[at]).payloadSize;
    }
    if (frameOffsets.size() < 3) return {};
    uint8_t* header = &bytes[frameOffsets[frameOffsets.size() / 2]];
    record_format::FrameHeader frame = record_format::DecodeFrameHeader(header);
    frame.timeMs += 3'600'000;
    record_format::EncodeFrameHeader(frame, header);
    return bytes;
}

TEST(DamagedRecording, PlaysWhatItCanAndEnds) {
    fixtures::TempDir dir;
    const std::string withSound = MakeRecordingFile(dir, RecordingKind{"damaged", "h264", "mulaw"}, 2.0);
    const std::string silent = MakeRecordingFile(dir, RecordingKind{"silent", "h264", "none"}, 2.0);
    ASSERT_FALSE(withSound.empty());
    ASSERT_FALSE(silent.empty());
    const std::vector<uint8_t> whole = fixtures::ReadBytes(withSound);
    ASSERT_GT(whole.size(), 4096u);
    const std::pair<const char*, std::vector<uint8_t>> damaged[] = {
        {"cut_short", CutShort(whole)},
        {"scribbled", Scribbled(whole)},
        {"time_jump_without_sound", WithTimeJump(fixtures::ReadBytes(silent))},
    };
    for (const auto& [name, bytes] : damaged) {
        ASSERT_FALSE(bytes.empty()) << name;
        const std::string path = dir.File(std::string(name) + ".rec");
        ASSERT_TRUE(fixtures::WriteBytes(path, bytes));
        ExpectDamagedFilePlaysToEnd(path, name);
    }
}

TEST(DamagedContainer, PlaysWhatItCanAndEnds) {
    fixtures::TempDir dir;
    const std::string path = fixtures::MakeContainerFile(dir, ContainerKind::MkvH264Aac, ShortShape(2.0));
    ASSERT_FALSE(path.empty());
    const std::vector<uint8_t> whole = fixtures::ReadBytes(path);
    const std::pair<const char*, std::vector<uint8_t>> damaged[] = {
        {"cut_short", CutShort(whole)},
        {"scribbled", Scribbled(whole)},
    };
    for (const auto& [name, bytes] : damaged) {
        const std::string damagedPath = dir.File(std::string(name) + ".mkv");
        ASSERT_TRUE(fixtures::WriteBytes(damagedPath, bytes));
        ExpectDamagedFilePlaysToEnd(damagedPath, name);
    }
}

}  // namespace
