// A recording played while the recorder is still writing it: the session reads on as the file
// grows, and ends only once the writing has stopped. The recording is written by
// telvane-record-writer in real time, frame by frame, as a recorder writes one.

#include "engine/player_core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "engine/record/record_file.h"
#include "tests/engine/test_session.h"
#include "tests/support/fixtures.h"

namespace {

using engine_tests::kEndWaitMs;
using engine_tests::kPictureWaitMs;
using engine_tests::kSettleMs;
using engine_tests::Session;
using engine_tests::WaitUntil;

// The complete frames written so far.
std::vector<fixtures::RawFrame> FramesWritten(const std::string& path) {
    record_format::FileHeader header;
    return fixtures::DecodeRecording(fixtures::ReadBytes(path), &header);
}

// Ms from the first frame written to the last one, 0 before two frames are there.
uint64_t MsWritten(const std::string& path) {
    const std::vector<fixtures::RawFrame> frames = FramesWritten(path);
    return frames.size() < 2 ? 0 : frames.back().timeMs - frames.front().timeMs;
}

size_t VideoFrames(const std::vector<fixtures::RawFrame>& frames) {
    size_t count = 0;
    for (const fixtures::RawFrame& frame : frames) {
        if (frame.kind == record_format::kKindVideoKey || frame.kind == record_format::kKindVideoDelta) ++count;
    }
    return count;
}

// The duration a reader learns from the finished file, opened as a copier opens it, beside the
// session that holds it.
int64_t DurationOfFinishedFile(const std::string& path) {
    CRecordFile file;
    if (!file.Open(path.c_str(), PosixReadFile::Sharing::Shared) || !file.WaitIndexComplete(kEndWaitMs)) return -1;
    return static_cast<int64_t>(file.GetDuration());
}

TEST(GrowingRecording, PlaysOnAsItIsWrittenAndEndsOnlyAfterTheWriterStops) {
    fixtures::TempDir dir;
    fixtures::ClipOptions clip;
    clip.seconds = 4.0;
    const std::string input = fixtures::MakeClip(dir, "source", clip);
    ASSERT_FALSE(input.empty());
    fixtures::RecordingOptions options;
    options.writerArguments = {"--realtime"};
    const std::string path = dir.File("growing.rec");
    std::future<std::string> writer =
        std::async(std::launch::async, [&] { return fixtures::MakeRecording(dir, input, "growing.rec", options); });
    ASSERT_TRUE(WaitUntil([&] { return MsWritten(path) >= 1000; }, kPictureWaitMs)) << "the writer wrote nothing";

    Session session;
    ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
    const int64_t durationAtOpen = session.core.GetDuration();
    ASSERT_EQ(session.core.Play(), 1);
    // Played past where the file ended when it was opened, the duration following the file.
    EXPECT_TRUE(WaitUntil([&] { return session.core.GetPosition() > durationAtOpen + 500; }, kEndWaitMs))
        << "duration at open " << durationAtOpen << ", position " << session.core.GetPosition();
    EXPECT_GT(session.core.GetDuration(), durationAtOpen + 500);

    ASSERT_EQ(writer.get(), path);
    // The end waits for the writer's silence, which has only just begun.
    EXPECT_EQ(session.EndNotices(), 0u) << "ended while the recording was being written";
    ASSERT_TRUE(session.WaitForEnd());
    EXPECT_EQ(session.core.GetDuration(), DurationOfFinishedFile(path));
    // The last pictures may still be on their way when the sound has reported the end.
    EXPECT_TRUE(session.WaitForPictures(VideoFrames(FramesWritten(path))));
    EXPECT_EQ(session.core.StopPlay(), 1);
    EXPECT_EQ(session.EndNotices(), 1u);
    EXPECT_EQ(session.Pictures(), VideoFrames(FramesWritten(path))) << "every picture written was shown";
}

}  // namespace
