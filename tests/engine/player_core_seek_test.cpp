// Seeks on the inputs where a seek used to go wrong: recordings with a single key frame, targets in
// the last group of pictures, before the first key frame and at the very end; containers with long
// groups of pictures and with B-frames. Each case checks the first picture shown after the seek,
// that playback goes on from there, and that a later seek is taken and lands too.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/engine/test_session.h"
#include "tests/support/container_fixtures.h"
#include "tests/support/fixtures.h"

namespace {

using engine_tests::kPictureWaitMs;
using engine_tests::Session;
using engine_tests::WaitUntil;

constexpr int64_t kPictureIntervalMs = 40;  // 25 pictures a second in every fixture
// A jump between two pictures shown one after the other longer than this is a seek landing.
constexpr int64_t kJumpMs = 3 * kPictureIntervalMs;

// A recording of 160x120 at 25 pictures a second with G.711 sound, a key frame every second.
std::string MakeSourceRecording(const fixtures::TempDir& dir, double seconds) {
    fixtures::ClipOptions clip;
    clip.seconds = seconds;
    const std::string input = fixtures::MakeClip(dir, "source", clip);
    if (input.empty()) return "";
    fixtures::RecordingOptions options;
    options.reencode = true;
    return fixtures::MakeRecording(dir, input, "source.rec", options);
}

// Rewrites the recording at `path` frame by frame; `edit` may change the header and the frames.
using RecordingEdit = std::function<void(record_format::FileHeader&, std::vector<fixtures::RawFrame>&)>;

std::string EditedRecording(const fixtures::TempDir& dir, const std::string& path, const std::string& name,
                            const RecordingEdit& edit) {
    record_format::FileHeader header;
    std::vector<fixtures::RawFrame> frames = fixtures::DecodeRecording(fixtures::ReadBytes(path), &header);
    if (frames.empty()) return "";
    edit(header, frames);
    const std::string edited = dir.File(name);
    return fixtures::WriteBytes(edited, fixtures::EncodeRecording(header, frames)) ? edited : "";
}

// Short event clips: the recorder marks only the first picture as a key frame.
void KeepOnlyTheFirstKeyFrame(record_format::FileHeader&, std::vector<fixtures::RawFrame>& frames) {
    bool first = true;
    for (fixtures::RawFrame& frame : frames) {
        if (frame.kind != record_format::kKindVideoKey) continue;
        if (!first) frame.kind = record_format::kKindVideoDelta;
        first = false;
    }
}

// A recording that starts in the middle of a group of pictures: its first key frame is gone, so
// the pictures before the next one cannot be decoded.
void DropTheFirstKeyFrame(record_format::FileHeader&, std::vector<fixtures::RawFrame>& frames) {
    const auto key = std::find_if(frames.begin(), frames.end(),
                                  [](const fixtures::RawFrame& f) { return f.kind == record_format::kKindVideoKey; });
    if (key != frames.end()) frames.erase(key);
}

void Unchanged(record_format::FileHeader&, std::vector<fixtures::RawFrame>&) {}

struct SeekCase {
    const char* name;
    std::function<std::string(const fixtures::TempDir&)> make;
    // The target, from the file's duration.
    std::function<int64_t(int64_t durationMs)> target;
    // Where the first picture after the seek must be, from the target and the first picture the
    // file showed when played from its start.
    std::function<int64_t(int64_t targetMs, int64_t firstPictureMs)> expectedLanding;
};

void PrintTo(const SeekCase& c, std::ostream* out) { *out << c.name; }

std::function<std::string(const fixtures::TempDir&)> Recording(double seconds, RecordingEdit edit) {
    return [seconds, edit](const fixtures::TempDir& dir) {
        const std::string source = MakeSourceRecording(dir, seconds);
        return source.empty() ? source : EditedRecording(dir, source, "edited.rec", edit);
    };
}

std::function<std::string(const fixtures::TempDir&)> Container(double seconds, int keyFrameInterval, int bFrames) {
    return [=](const fixtures::TempDir& dir) {
        fixtures::ContainerShape shape;
        shape.width = 160;
        shape.height = 120;
        shape.seconds = seconds;
        shape.keyFrameInterval = keyFrameInterval;
        shape.bFrames = bFrames;
        return fixtures::MakeContainerFile(dir, fixtures::ContainerKind::Mp4H264Aac, shape);
    };
}

// ffmpeg's test picture (160x120, 25 per second) and a tone, encoded with `output` options.
std::function<std::string(const fixtures::TempDir&)> FfmpegClip(const std::string& name, double seconds,
                                                                std::vector<std::string> output) {
    return [=](const fixtures::TempDir& dir) {
        const std::string length = std::to_string(seconds);
        const std::string path = dir.File(name);
        std::vector<std::string> argv = {
            "ffmpeg", "-nostdin", "-y", "-v", "error",
            "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=" + length,
            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=" + length,
            "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"};
        argv.insert(argv.end(), output.begin(), output.end());
        argv.push_back(path);
        return fixtures::RunProgram(argv, path + ".log") == 0 ? path : "";
    };
}

std::function<int64_t(int64_t)> At(int64_t targetMs) {
    return [targetMs](int64_t) { return targetMs; };
}
int64_t AtTheEnd(int64_t durationMs) { return durationMs; }
int64_t AtTheTarget(int64_t targetMs, int64_t) { return targetMs; }
int64_t AtTheFirstPicture(int64_t, int64_t firstPictureMs) { return firstPictureMs; }
// The sound of a three-second clip runs on past its last picture, at 74 × 40 ms: the end of the
// duration has no picture of its own, so the last one is shown.
int64_t AtTheLastPictureOfThreeSeconds(int64_t, int64_t firstPictureMs) { return firstPictureMs + 2960; }

const SeekCase kSeekCases[] = {
    {"recording_with_a_single_key_frame", Recording(4.0, KeepOnlyTheFirstKeyFrame), At(2500), AtTheTarget},
    {"recording_target_in_the_last_group", Recording(4.0, Unchanged), At(3500), AtTheTarget},
    // Nothing before the first key frame can be shown: the seek lands on it.
    {"recording_target_before_the_first_key_frame", Recording(4.0, DropTheFirstKeyFrame), At(200),
     AtTheFirstPicture},
    {"recording_target_at_the_end", Recording(3.0, Unchanged), AtTheEnd, AtTheLastPictureOfThreeSeconds},
    {"container_with_four_second_groups", Container(5.0, 100, 0), At(2500), AtTheTarget},
    {"container_target_in_the_last_group", Container(5.0, 100, 0), At(4500), AtTheTarget},
    {"container_with_b_frames", Container(4.0, 25, 2), At(2500), AtTheTarget},
    // No index: sought by a search on time stamps. Time stamps that start an hour in, as a cut of
    // a longer capture has.
    {"transport_stream_starting_an_hour_in",
     FfmpegClip("late_start.ts", 5.0, {"-g", "50", "-bf", "0", "-c:a", "aac", "-output_ts_offset", "3600"}),
     At(3100), AtTheTarget},
    // B-frames in a program stream: many pictures, the later key frame among them, carry no time
    // stamp at all. Whether the key frame the landing decodes from has one depends on where the
    // search on stamps left the input; the seek back to 1 s has to go back to the file's first byte.
    {"program_stream_with_untimed_pictures",
     FfmpegClip("untimed.mpg", 8.0, {"-g", "100", "-c:a", "mp2", "-f", "mpeg"}), At(5100), AtTheTarget},
};

// The first picture after the first jump in the pictures shown from index `from` on; -1 if none.
int64_t LandingAfter(const std::vector<int64_t>& times, size_t from, size_t* landingIndex) {
    for (size_t i = std::max<size_t>(from, 1); i < times.size(); ++i) {
        if (std::llabs(times[i] - times[i - 1]) > kJumpMs) {
            *landingIndex = i;
            return times[i];
        }
    }
    return -1;
}

// Seeks and returns the index of the landing picture in the session's pictures, after checking
// it lands within one picture interval of `expectedMs` and that playback goes on from it.
size_t SeekAndExpectLanding(Session& session, int64_t targetMs, int64_t expectedMs) {
    EXPECT_TRUE(WaitUntil([&] { return session.core.SeekTo(targetMs) == 1; }, kPictureWaitMs))
        << "a seek to " << targetMs << " ms was never taken";
    const size_t before = session.Pictures();
    size_t landing = 0;
    EXPECT_TRUE(WaitUntil([&] { return LandingAfter(session.PictureTimes(), before, &landing) >= 0; }, kPictureWaitMs))
        << "no picture from the target was shown";
    const std::vector<int64_t> times = session.PictureTimes();
    if (landing == 0) return 0;
    EXPECT_LE(std::llabs(times[landing] - expectedMs), kPictureIntervalMs)
        << "first picture after the seek to " << targetMs << " ms: " << times[landing] << " after " << times[landing - 1];
    return landing;
}

class SeekLanding : public testing::TestWithParam<SeekCase> {};

TEST_P(SeekLanding, ShowsThePictureAtTheTargetPlaysOnAndTakesALaterSeek) {
    fixtures::TempDir dir;
    const std::string path = GetParam().make(dir);
    ASSERT_FALSE(path.empty());
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(session.WaitForPictures(5));
    const int64_t firstPictureMs = session.PictureTimes().front();
    const int64_t durationMs = session.core.GetDuration();
    ASSERT_GT(durationMs, 0);

    const int64_t targetMs = GetParam().target(durationMs);
    const size_t landing =
        SeekAndExpectLanding(session, targetMs, GetParam().expectedLanding(targetMs, firstPictureMs));
    ASSERT_GT(landing, 0u);
    const bool atTheEnd = targetMs >= durationMs - kPictureIntervalMs;
    if (atTheEnd) {
        EXPECT_TRUE(session.WaitForEnd()) << "the film must end after a seek to its end";
        return;
    }
    // Playback goes on from the landing picture, in order.
    ASSERT_TRUE(session.WaitForPictures(landing + 6));
    const std::vector<int64_t> times = session.PictureTimes();
    for (size_t i = landing + 1; i <= landing + 5; ++i) {
        EXPECT_GT(times[i], times[i - 1]);
        EXPECT_LE(times[i] - times[i - 1], kJumpMs);
    }
    EXPECT_EQ(session.EndNotices(), 0u);

    // A later seek back is taken and lands as well.
    SeekAndExpectLanding(session, 1000, std::max<int64_t>(1000, firstPictureMs));
}

// A SeekTo that comes while the read thread is taking the previous one is either refused or
// performed: every seek reported as taken shows its own target, in the order they were taken.
TEST(SeekRequests, EverySeekTakenIsPerformed) {
    fixtures::TempDir dir;
    const std::string path = MakeSourceRecording(dir, 4.0);
    ASSERT_FALSE(path.empty());
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(session.WaitForPictures(5));
    const size_t start = session.Pictures();
    std::vector<int64_t> taken;
    // Finds each taken target's picture after the previous one's; true when all are there.
    auto allLanded = [&] {
        const std::vector<int64_t> times = session.PictureTimes();
        size_t at = start;
        for (int64_t target : taken) {
            while (at < times.size() && std::llabs(times[at] - target) > kPictureIntervalMs) ++at;
            if (at == times.size()) return false;
            ++at;
        }
        return true;
    };
    for (int round = 0; round < 4; ++round) {
        const int64_t targetMs = round % 2 == 0 ? 3000 : 1000;
        ASSERT_TRUE(WaitUntil([&] { return session.core.SeekTo(targetMs) == 1; }, kPictureWaitMs));
        taken.push_back(targetMs);
        if (session.core.SeekTo(targetMs - 500) == 1) taken.push_back(targetMs - 500);
        ASSERT_TRUE(WaitUntil(allLanded, kPictureWaitMs)) << "round " << round << ": a seek taken was not performed";
    }
}

// A recording whose recorder marked no frame as a key frame: its pictures decode (their payloads
// carry what the decoder needs) but there is no key frame to seek to.
void MarkNoKeyFrames(record_format::FileHeader&, std::vector<fixtures::RawFrame>& frames) {
    for (fixtures::RawFrame& frame : frames) {
        if (frame.kind == record_format::kKindVideoKey) frame.kind = record_format::kKindVideoDelta;
    }
}

TEST(SeekRequests, OneThatCannotBeMadeLeavesPlaybackGoingAndALaterOneIsTaken) {
    fixtures::TempDir dir;
    const std::string path = Recording(3.0, MarkNoKeyFrames)(dir);
    ASSERT_FALSE(path.empty());
    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    ASSERT_EQ(session.core.Play(), 1);
    ASSERT_TRUE(session.WaitForPictures(5));
    const size_t before = session.Pictures();
    ASSERT_TRUE(WaitUntil([&] { return session.core.SeekTo(2500) == 1; }, kPictureWaitMs));
    ASSERT_TRUE(WaitUntil([&] { return session.core.SeekTo(2000) == 1; }, kPictureWaitMs))
        << "a later seek is taken";
    ASSERT_TRUE(session.WaitForEnd());
    const std::vector<int64_t> times = session.PictureTimes();
    size_t landing = 0;
    EXPECT_LT(LandingAfter(times, before, &landing), 0) << "playback jumped at " << landing;
    EXPECT_EQ(times.back(), times.front() + 2960) << "played on to the last picture";
    EXPECT_EQ(session.EndNotices(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Inputs, SeekLanding, testing::ValuesIn(kSeekCases),
                         [](const testing::TestParamInfo<SeekCase>& info) { return std::string(info.param.name); });

}  // namespace
