// telvane-play end to end: it plays a file to its end through the engine, takes a snapshot at the
// moment it is told, and the session refuses one while paused. Needs the sound server the test
// command starts.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <libexif/exif-data.h>

#include "tests/support/container_fixtures.h"
#include "tests/support/fixtures.h"

namespace {

std::string PlayerPath() { return std::string(TELVANE_BINARY_DIR) + "/bin/telvane-play"; }

// The "key: value" lines of the report; log lines start with '[' and are skipped.
std::map<std::string, std::string> ReadReport(const std::string& path) {
    std::map<std::string, std::string> report;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(": ");
        if (line.empty() || line[0] == '[' || colon == std::string::npos) continue;
        report[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return report;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

class TelvanePlayTest : public ::testing::Test {
protected:
    std::string SilentClip(double seconds) {
        fixtures::ClipOptions options;
        options.seconds = seconds;
        options.audioEncoder = "";
        return fixtures::MakeClip(dir, "clip", options);
    }
    // The clip as a recording whose clock starts at 2025-12-10 10:00:05.250 UTC.
    std::string ClockedRecording(const std::string& clip) {
        fixtures::RecordingOptions options;
        options.startMs = 1'765'360'805'250;
        options.audio = "none";
        return fixtures::MakeRecording(dir, clip, "camera.rec", options);
    }

    fixtures::TempDir dir;
};

TEST_F(TelvanePlayTest, plays_to_the_end_and_snapshots_while_playing_and_paused) {
    const std::string clip = fixtures::MakeContainerFile(dir, fixtures::ContainerKind::Mp4H264Aac);
    ASSERT_FALSE(clip.empty());
    const std::string playing = dir.File("playing.jpg");
    const std::string paused = dir.File("paused.jpg");
    const std::string log = dir.File("play.log");

    const int status = fixtures::RunProgram(
        {PlayerPath(), "--at", "600:snapshot=" + playing, "--at", "800:pause", "--at",
         "1000:snapshot=" + paused, "--at", "1200:play", clip},
        log);

    ASSERT_EQ(status, 0) << ReadText(log);
    std::map<std::string, std::string> report = ReadReport(log);
    EXPECT_EQ(report["ended_by"], "end_of_file") << ReadText(log);
    EXPECT_NE(report["pictures_presented"], "0");
    EXPECT_TRUE(std::filesystem::is_regular_file(playing)) << ReadText(log);
    EXPECT_TRUE(std::filesystem::is_regular_file(paused)) << "the paused picture is taken too";
}

TEST_F(TelvanePlayTest, a_file_that_does_not_open_gives_status_1_and_its_reason) {
    const std::string notMedia = dir.File("not-media.mp4");
    std::ofstream(notMedia) << "plain text, not a video";
    const std::string missing = dir.File("missing.mp4");
    struct Case {
        std::string file;
        std::string reasonHas;
    } cases[] = {{notMedia, ""}, {missing, "No such file or directory"}};
    for (const Case& c : cases) {
        const std::string log = dir.File("play.log");
        EXPECT_EQ(fixtures::RunProgram({PlayerPath(), c.file}, log), 1) << c.file;
        EXPECT_EQ(ReadReport(log)["ended_by"], "not_opened") << c.file;
        const std::string text = ReadText(log);
        EXPECT_NE(text.find("telvane-play: " + c.file + ": " + c.reasonHas), std::string::npos) << text;
    }
}

// The recorder's clock of the first picture: a recording's own stamps in the local zone with its
// offset, and an MP4's creation time; a file without one says so.
TEST_F(TelvanePlayTest, prints_the_recorded_start_of_recordings_and_of_containers_with_a_creation_time) {
    const std::string clip = SilentClip(1.0);
    ASSERT_FALSE(clip.empty());
    const std::string recording = ClockedRecording(clip);
    ASSERT_FALSE(recording.empty());
    const std::string stamped = dir.File("stamped.mp4");
    ASSERT_EQ(fixtures::RunProgram({"ffmpeg", "-v", "error", "-i", clip, "-c", "copy", "-metadata",
                                    "creation_time=2025-12-10T10:00:05Z", stamped}),
              0);

    struct Case {
        std::string file, zone, expected;
    } cases[] = {
        {recording, "CET-1", "2025-12-10T11:00:05.250+01:00"},
        {recording, "UTC", "2025-12-10T10:00:05.250Z"},
        {stamped, "UTC", "2025-12-10T10:00:05.000Z"},
        {clip, "UTC", "n/a"},
    };
    for (const Case& c : cases) {
        setenv("TZ", c.zone.c_str(), 1);
        const std::string log = dir.File("clock.log");
        ASSERT_EQ(fixtures::RunProgram({PlayerPath(), "--open-only", c.file}, log), 0) << ReadText(log);
        EXPECT_EQ(ReadReport(log)["recorded_start"], c.expected) << c.file << " in " << c.zone;
    }
    unsetenv("TZ");
}

std::string ExifText(ExifData* data, ExifIfd ifd, ExifTag tag) {
    ExifEntry* entry = exif_content_get_entry(data->ifd[ifd], tag);
    if (!entry) return "(none)";
    char value[256];
    return exif_entry_get_value(entry, value, sizeof value);
}

// A snapshot carries the recorder's time of its own picture and names where it comes from: the
// time written must be the clock at the position the description names.
TEST_F(TelvanePlayTest, a_snapshot_carries_its_recorded_time_and_source_in_exif) {
    const std::string clip = SilentClip(fixtures::ClipOptions{}.seconds);
    ASSERT_FALSE(clip.empty());
    const std::string recording = ClockedRecording(clip);
    ASSERT_FALSE(recording.empty());
    const std::string snapshot = dir.File("evidence.jpg");
    const std::string log = dir.File("play.log");
    setenv("TZ", "CET-1", 1);
    const int status = fixtures::RunProgram({PlayerPath(), "--at", "700:snapshot=" + snapshot, recording}, log);
    unsetenv("TZ");
    ASSERT_EQ(status, 0) << ReadText(log);

    std::unique_ptr<ExifData, void (*)(ExifData*)> data(exif_data_new_from_file(snapshot.c_str()), exif_data_unref);
    ASSERT_TRUE(data) << "no EXIF in " << snapshot;
    const std::string description = ExifText(data.get(), EXIF_IFD_0, EXIF_TAG_IMAGE_DESCRIPTION);
    int hours = 0, minutes = 0, seconds = 0, ms = 0;
    ASSERT_EQ(std::sscanf(description.c_str(), "camera.rec at %d:%d:%d.%d", &hours, &minutes, &seconds, &ms), 4)
        << description;
    EXPECT_NE(description.find(recording), std::string::npos) << description;
    const int64_t positionMs = ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
    EXPECT_GT(positionMs, 0);
    // 11:00:05.250 in that zone at position 0.
    const int64_t clockMs = 11 * 3'600'000 + 5'250 + positionMs;
    char expectedTime[32], expectedSubSeconds[8];
    std::snprintf(expectedTime, sizeof expectedTime, "2025:12:10 %02d:%02d:%02d", int(clockMs / 3'600'000),
                  int(clockMs / 60'000 % 60), int(clockMs / 1000 % 60));
    std::snprintf(expectedSubSeconds, sizeof expectedSubSeconds, "%03d", int(clockMs % 1000));
    EXPECT_EQ(ExifText(data.get(), EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL), expectedTime);
    EXPECT_EQ(ExifText(data.get(), EXIF_IFD_EXIF, EXIF_TAG_SUB_SEC_TIME_ORIGINAL), expectedSubSeconds);
    EXPECT_EQ(ExifText(data.get(), EXIF_IFD_EXIF, EXIF_TAG_OFFSET_TIME_ORIGINAL), "+01:00");
}

}  // namespace
