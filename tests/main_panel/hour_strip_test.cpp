// A one-hour recording's activity strip is filled in by the background walk soon after the file
// opens, and the repeated stretches of one scene read as one continuous recording.

#include <gtest/gtest.h>

#include "shell/activity_strip.h"
#include "tests/main_panel/main_panel_test_support.h"
#include "tests/support/fixtures.h"

using namespace main_panel_test;

namespace {

constexpr int64_t kHourMs = 3'600'000;
// Generous: the sanitized player on a busy machine; a benchmark prints the real figure.
constexpr int kStripDeadlineMs = 60'000;

// An hour of a tiny 4 s scene, repeated with its times moved on: each repeat starts on a key frame.
std::string HourRecording(const fixtures::TempDir& dir) {
    fixtures::ClipOptions options;
    options.width = 64;
    options.height = 48;
    options.seconds = 4.0;
    options.keyFrameInterval = 25;
    options.audioEncoder = "";
    const std::string clip = fixtures::MakeClip(dir, "scene", options);
    fixtures::RecordingOptions recording;
    recording.audio = "none";
    const std::string scene = clip.empty() ? "" : fixtures::MakeRecording(dir, clip, "scene.rec", recording);
    if (scene.empty()) return {};
    record_format::FileHeader header;
    const std::vector<fixtures::RawFrame> frames = fixtures::DecodeRecording(fixtures::ReadBytes(scene), &header);
    if (frames.empty()) return {};
    const uint64_t sceneMs = 4000;
    std::vector<fixtures::RawFrame> hour;
    for (uint64_t repeat = 0; repeat * sceneMs < uint64_t(kHourMs); ++repeat) {
        for (fixtures::RawFrame frame : frames) {
            frame.timeMs += repeat * sceneMs;
            hour.push_back(std::move(frame));
        }
    }
    const std::string path = dir.File("hour.rec");
    return fixtures::WriteBytes(path, fixtures::EncodeRecording(header, hour)) ? path : "";
}

TEST(HourStrip, a_one_hour_recordings_strip_is_complete_soon_after_opening) {
    fixtures::TempDir dir;
    const std::string hour = HourRecording(dir);
    ASSERT_FALSE(hour.empty());
    TestPanel panel;
    panel.Drop(QString::fromStdString(hour));
    ASSERT_TRUE(PumpUntil([&] { return panel.m_pActivityStrip->Timeline().complete; }, kStripDeadlineMs))
        << "walked to " << panel.m_pActivityStrip->Timeline().walkedMs << " ms";
    const ActivityTimeline& timeline = panel.m_pActivityStrip->Timeline();
    EXPECT_GE(timeline.walkedMs, kHourMs - 100);
    for (const TimelineSpan& span : timeline.spans) {
        EXPECT_EQ(span.kind, TimelineSpanKind::Activity) << span.startMs << "-" << span.endMs;
    }
}

}  // namespace
