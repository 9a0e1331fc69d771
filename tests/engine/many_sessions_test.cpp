// Sixteen sessions side by side in one process, as a grid of cameras plays them: each opens its own
// file, its own output and its own workers, every one plays to its end, and the one with sound is
// heard while the others are silent.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/engine/test_session.h"
#include "tests/support/fixtures.h"

namespace {

using engine_tests::Session;
using engine_tests::WaitUntil;

constexpr int kSessions = 16;
constexpr int kRecordings = kSessions / 2;  // the rest are containers

// One file per session: a recording is held by the session that opens it.
std::vector<std::string> MakeGridFiles(const fixtures::TempDir& dir) {
    fixtures::ClipOptions silentClip;
    silentClip.seconds = 1.0;
    silentClip.audioEncoder = "";
    const std::string silentContainer = fixtures::MakeClip(dir, "silent", silentClip);
    fixtures::RecordingOptions silent;
    silent.audio = "none";
    const std::string silentRecording = fixtures::MakeRecording(dir, silentContainer, "silent.rec", silent);
    fixtures::ClipOptions soundClip;
    soundClip.seconds = 1.0;
    const std::string soundSource = fixtures::MakeClip(dir, "sound", soundClip);
    const std::string withSound = fixtures::MakeRecording(dir, soundSource, "sound.rec");
    if (silentContainer.empty() || silentRecording.empty() || withSound.empty()) return {};
    std::vector<std::string> files = {withSound};
    for (int i = 1; i < kSessions; ++i) {
        const bool recording = i < kRecordings;
        const std::string copy = dir.File("camera" + std::to_string(i) + (recording ? ".rec" : ".mp4"));
        std::filesystem::copy_file(recording ? silentRecording : silentContainer, copy);
        files.push_back(copy);
    }
    return files;
}

TEST(SixteenSessions, PlayAtOnceEachToItsEndWithSoundFromOne) {
    fixtures::TempDir dir;
    const std::vector<std::string> files = MakeGridFiles(dir);
    ASSERT_EQ(files.size(), size_t{kSessions});
    std::vector<std::unique_ptr<Session>> sessions;
    for (const std::string& file : files) {
        sessions.push_back(std::make_unique<Session>());
        ASSERT_EQ(sessions.back()->attached, 1);
        ASSERT_EQ(sessions.back()->core.OpenFile(file.c_str()), 1) << sessions.back()->core.GetOpenError();
    }
    for (auto& session : sessions) ASSERT_EQ(session->core.Play(), 1);

    Session& heard = *sessions.front();
    EXPECT_TRUE(WaitUntil([&] { return heard.core.GetHeardAudioMs() > 0; }, engine_tests::kEndWaitMs))
        << "the session with sound is heard";
    for (size_t i = 1; i < sessions.size(); ++i) EXPECT_EQ(sessions[i]->core.GetHeardAudioMs(), -1) << i;

    for (size_t i = 0; i < sessions.size(); ++i) {
        ASSERT_TRUE(sessions[i]->WaitForEnd()) << "session " << i << " ends";
        // One second at 25 pictures a second; a busy machine may show a late picture or two less.
        EXPECT_GE(sessions[i]->Pictures(), 20u) << "session " << i;
        EXPECT_EQ(sessions[i]->EndNotices(), 1u) << "session " << i;
    }
    for (auto& session : sessions) EXPECT_EQ(session->core.StopPlay(), 1);
}

}  // namespace
