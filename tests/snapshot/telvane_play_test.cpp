// telvane-play end to end: it plays a file to its end through the engine, takes a snapshot at the
// moment it is told, and the session refuses one while paused. Needs the sound server the test
// command starts.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

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
    fixtures::TempDir dir;
};

TEST_F(TelvanePlayTest, plays_to_the_end_and_snapshots_only_while_playing) {
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
    EXPECT_FALSE(std::filesystem::exists(paused));
}

TEST_F(TelvanePlayTest, a_file_that_does_not_open_gives_status_1) {
    const std::string notMedia = dir.File("not-media.mp4");
    std::ofstream(notMedia) << "plain text, not a video";
    const std::string log = dir.File("play.log");

    EXPECT_EQ(fixtures::RunProgram({PlayerPath(), notMedia}, log), 1);
    EXPECT_EQ(ReadReport(log)["ended_by"], "not_opened");
}

// The recorder's clock of the first picture: a recording's own stamps in the local zone with its
// offset, and an MP4's creation time; a file without one says so.
TEST_F(TelvanePlayTest, prints_the_recorded_start_of_recordings_and_of_containers_with_a_creation_time) {
    fixtures::ClipOptions clipOptions;
    clipOptions.seconds = 1.0;
    clipOptions.audioEncoder = "";
    const std::string clip = fixtures::MakeClip(dir, "clip", clipOptions);
    ASSERT_FALSE(clip.empty());
    fixtures::RecordingOptions recordingOptions;
    recordingOptions.startMs = 1'765'360'805'250;  // 2025-12-10 10:00:05.250 UTC
    recordingOptions.audio = "none";
    const std::string recording = fixtures::MakeRecording(dir, clip, "camera.rec", recordingOptions);
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

}  // namespace
