// Activity found from frame sizes alone, on scenes made for it: a still textured picture with
// sensor noise, and a textured object moving through it at known times. The stretches found lie
// within a second of the movement, for recordings (from the indexer's walk) and for containers
// (from a packet pass), with key frames every 1 to 10 s; noise alone is quiet; gaps and damage
// are marked where they are.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "engine/activity_scan.h"
#include "tests/support/fixtures.h"

namespace {

struct Movement {
    int64_t startMs, endMs;
};

constexpr int64_t kToleranceMs = 1000;
const std::vector<Movement> kMovements = {{4000, 7000}, {13000, 15000}};

class ActivityTest : public ::testing::Test {
protected:
    // A still texture, drawn once.
    std::string Texture() {
        const std::string path = dir.File("texture.png");
        if (!std::ifstream(path).good()) {
            fixtures::RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                  "nullsrc=s=320x240,geq=lum='128+60*sin(X/3)*sin(Y/4)+30*sin(X*Y/50)':cb=128:cr=128",
                                  "-frames:v", "1", path});
        }
        return path;
    }

    // 20 s of the texture with temporal noise of the given strength; a 64-pixel test picture
    // crosses it during kMovements unless still. No B-frames, as cameras send them.
    std::string Scene(const std::string& name, int noise, int keyFrameInterval, bool still = false) {
        std::string enable = "0";
        for (const Movement& m : kMovements) {
            enable += "+between(t," + std::to_string(m.startMs / 1000.0) + "," + std::to_string(m.endMs / 1000.0 - 0.001) + ")";
        }
        if (still) enable = "0";
        const std::string path = dir.File(name + ".mp4");
        const std::string graph = "[0]noise=alls=" + std::to_string(noise) + ":allf=t[bg];[bg][1]overlay=x='mod(t*90,256)':y=90:enable='" + enable + "'";
        const int status = fixtures::RunProgram(
            {"ffmpeg", "-v", "error", "-y", "-loop", "1", "-framerate", "25", "-t", "20", "-i", Texture(), "-f",
             "lavfi", "-i", "testsrc2=s=64x64:r=25:d=20", "-filter_complex", graph, "-c:v", "libx264", "-preset",
             "veryfast", "-bf", "0", "-crf", "23", "-g", std::to_string(keyFrameInterval), "-pix_fmt", "yuv420p",
             path});
        return status == 0 ? path : "";
    }

    std::string AsRecording(const std::string& clip, const std::string& name) {
        fixtures::RecordingOptions options;
        options.audio = "none";
        return fixtures::MakeRecording(dir, clip, name, options);
    }

    fixtures::TempDir dir;
};

std::vector<TimelineSpan> SpansOf(const ActivityTimeline& timeline, TimelineSpanKind kind) {
    std::vector<TimelineSpan> spans;
    for (const TimelineSpan& span : timeline.spans) {
        if (span.kind == kind) spans.push_back(span);
    }
    return spans;
}

void ExpectNear(const std::vector<TimelineSpan>& found, const std::vector<Movement>& expected, const std::string& what) {
    ASSERT_EQ(found.size(), expected.size()) << what;
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_NEAR(found[i].startMs, expected[i].startMs, kToleranceMs) << what << " stretch " << i;
        EXPECT_NEAR(found[i].endMs, expected[i].endMs, kToleranceMs) << what << " stretch " << i;
    }
}

TEST_F(ActivityTest, movement_is_found_within_a_second_in_recordings_and_containers) {
    struct Case {
        const char* name;
        int noise;
        int keyFrameInterval;
    } cases[] = {
        {"key_every_second", 4, 25},
        {"key_every_ten_seconds", 6, 250},
    };
    for (const Case& c : cases) {
        const std::string clip = Scene(c.name, c.noise, c.keyFrameInterval);
        ASSERT_FALSE(clip.empty());
        const std::string recording = AsRecording(clip, std::string(c.name) + ".rec");
        ASSERT_FALSE(recording.empty());
        for (const std::string& file : {clip, recording}) {
            const ActivityTimeline timeline = FindActivity(file.c_str(), 30'000);
            EXPECT_TRUE(timeline.complete) << file;
            ExpectNear(SpansOf(timeline, TimelineSpanKind::Activity), kMovements, file);
        }
    }
}

TEST_F(ActivityTest, a_still_scene_with_strong_noise_is_quiet) {
    const std::string clip = Scene("night", 14, 100, true);
    ASSERT_FALSE(clip.empty());
    const ActivityTimeline timeline = FindActivity(clip.c_str(), 30'000);
    EXPECT_TRUE(timeline.complete);
    EXPECT_TRUE(SpansOf(timeline, TimelineSpanKind::Activity).empty());
}

// The recorder stopped for 3.5 s, and a stretch was overwritten with zeroes later: both are
// marked, and the movement around them is still found.
TEST_F(ActivityTest, a_gap_and_a_damaged_stretch_are_marked) {
    const std::string clip = Scene("gapped", 4, 25);
    ASSERT_FALSE(clip.empty());
    const std::string whole = AsRecording(clip, "whole.rec");
    ASSERT_FALSE(whole.empty());
    record_format::FileHeader header;
    std::vector<fixtures::RawFrame> frames = fixtures::DecodeRecording(fixtures::ReadBytes(whole), &header);
    ASSERT_FALSE(frames.empty());
    const uint64_t startMs = frames.front().timeMs;
    std::erase_if(frames, [&](const fixtures::RawFrame& f) {
        return f.timeMs >= startMs + 8'500 && f.timeMs < startMs + 12'000;
    });
    std::vector<uint8_t> bytes = fixtures::EncodeRecording(header, frames);
    // Zero the frames from 17.5 s to 18 s, headers and all.
    uint64_t offset = record_format::kFileHeaderSize;
    for (const fixtures::RawFrame& frame : frames) {
        const uint64_t next = offset + record_format::kFrameHeaderSize + frame.payload.size();
        if (frame.timeMs >= startMs + 17'500 && frame.timeMs < startMs + 18'000) {
            std::fill(bytes.begin() + int64_t(offset), bytes.begin() + int64_t(next), 0);
        }
        offset = next;
    }
    const std::string damaged = dir.File("damaged.rec");
    ASSERT_TRUE(fixtures::WriteBytes(damaged, bytes));

    const ActivityTimeline timeline = FindActivity(damaged.c_str(), 30'000);
    EXPECT_TRUE(timeline.complete);
    ExpectNear(SpansOf(timeline, TimelineSpanKind::Gap), {{8'500, 12'000}}, "gap");
    ExpectNear(SpansOf(timeline, TimelineSpanKind::Damage), {{17'500, 18'000}}, "damage");
    ExpectNear(SpansOf(timeline, TimelineSpanKind::Activity), kMovements, "activity");
}

}  // namespace
