// Kadrel's command line: how it is read, and the program converting without a display.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/fixtures.h"
#include "tools/kadrel/command_line.h"

namespace fs = std::filesystem;

namespace {

using Mode = KadrelArguments::Mode;

TEST(KadrelArguments, are_read_as_the_window_or_the_conversion_form) {
    struct Case {
        std::vector<std::string> arguments;
        Mode mode;
        std::vector<std::string> recordings;
        std::string folder;
        std::optional<uint32_t> language;
    } cases[] = {
        {{"Kadrel"}, Mode::kWindow, {}, "", std::nullopt},
        {{"Kadrel", "2052"}, Mode::kWindow, {}, "", 2052u},
        {{"Kadrel", "1031", "a.rec"}, Mode::kWindow, {"a.rec"}, "", 1031u},
        {{"Kadrel", "a.rec", "1031"}, Mode::kWindow, {"a.rec", "1031"}, "", std::nullopt},
        {{"Kadrel", "99999999"}, Mode::kWindow, {"99999999"}, "", std::nullopt},
        {{"Kadrel", "--to-mp4", "a.rec", "b.rec"}, Mode::kConvert, {"a.rec", "b.rec"}, "", std::nullopt},
        {{"Kadrel", "--to-mp4", "a.rec", "--out", "/o", "b.rec"}, Mode::kConvert, {"a.rec", "b.rec"}, "/o", std::nullopt},
        {{"Kadrel", "--to-mp4", "--", "--out"}, Mode::kConvert, {"--out"}, "", std::nullopt},
        {{"Kadrel", "--to-mp4"}, Mode::kWrong, {}, "", std::nullopt},
        {{"Kadrel", "--to-mp4", "a.rec", "--out"}, Mode::kWrong, {"a.rec"}, "", std::nullopt},
        {{"Kadrel", "--to-mp4", "--fast", "a.rec"}, Mode::kWrong, {}, "", std::nullopt},
        {{"Kadrel", "--help"}, Mode::kHelp, {}, "", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.arguments) line += a + " ";
        KadrelArguments parsed = ParseKadrelArguments(c.arguments);
        EXPECT_EQ(parsed.mode, c.mode) << line;
        EXPECT_EQ(parsed.recordings, c.recordings) << line;
        EXPECT_EQ(parsed.outputFolder, c.folder) << line;
        EXPECT_EQ(parsed.languageId, c.language) << line;
        EXPECT_EQ(parsed.error.empty(), c.mode != Mode::kWrong) << line;
    }
}

// --from and --to go together, in either form, and the end comes after the start.
TEST(KadrelArguments, read_a_stretch_in_both_forms) {
    struct Case {
        std::vector<std::string> arguments;
        Mode mode;
        std::optional<std::pair<int64_t, int64_t>> stretch;
        std::vector<std::string> recordings;
    } cases[] = {
        {{"Kadrel", "--to-mp4", "a.rec", "--from", "1500", "--to", "4000"}, Mode::kConvert, {{1500, 4000}}, {"a.rec"}},
        {{"Kadrel", "--to-mp4", "--to", "4000", "--from", "0", "a.rec"}, Mode::kConvert, {{0, 4000}}, {"a.rec"}},
        {{"Kadrel", "2052", "/v/a.rec", "--from", "1500", "--to", "4000"}, Mode::kWindow, {{1500, 4000}}, {"/v/a.rec"}},
        {{"Kadrel", "2052", "/v/a.rec"}, Mode::kWindow, std::nullopt, {"/v/a.rec"}},
        {{"Kadrel", "--to-mp4", "a.rec", "--from", "1500"}, Mode::kWrong, std::nullopt, {"a.rec"}},
        {{"Kadrel", "--to-mp4", "a.rec", "--from", "4000", "--to", "4000"}, Mode::kWrong, std::nullopt, {"a.rec"}},
        {{"Kadrel", "--to-mp4", "a.rec", "--from", "-5", "--to", "4000"}, Mode::kWrong, std::nullopt, {"a.rec"}},
        {{"Kadrel", "1031", "a.rec", "--to"}, Mode::kWrong, std::nullopt, {"a.rec"}},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.arguments) line += a + " ";
        KadrelArguments parsed = ParseKadrelArguments(c.arguments);
        EXPECT_EQ(parsed.mode, c.mode) << line;
        EXPECT_EQ(parsed.recordings, c.recordings) << line;
        ASSERT_EQ(parsed.stretch.has_value(), c.stretch.has_value()) << line;
        if (c.stretch) {
            EXPECT_EQ(parsed.stretch->fromMs, c.stretch->first) << line;
            EXPECT_EQ(parsed.stretch->toMs, c.stretch->second) << line;
        }
    }
}

std::string Kadrel() { return TELVANE_BINARY_DIR "/bin/Kadrel"; }

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The program with no display to open, as a script on a server runs it.
int RunWithoutDisplay(std::vector<std::string> arguments, const std::string& log) {
    std::vector<std::string> argv = {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", Kadrel()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return fixtures::RunProgram(argv, log);
}

class KadrelProgramTest : public ::testing::Test {
protected:
    std::string Recording(const std::string& name) {
        if (m_clip.empty()) {
            fixtures::ClipOptions clip;
            clip.seconds = 0.6;
            m_clip = fixtures::MakeClip(m_dir, "clip", clip);
        }
        return fixtures::MakeRecording(m_dir, m_clip, name);
    }

    fixtures::TempDir m_dir;
    std::string m_clip;
};

TEST_F(KadrelProgramTest, converts_every_recording_into_the_output_folder_and_exits_0) {
    std::string first = Recording("first.rec"), second = Recording("second.rec");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    const std::string out = m_dir.File("new/out");  // made by the program
    const std::string log = m_dir.File("run.log");
    EXPECT_EQ(RunWithoutDisplay({"--to-mp4", first, second, "--out", out}, log), kExitConverted) << ReadText(log);
    EXPECT_TRUE(fs::exists(out + "/first.mp4"));
    EXPECT_TRUE(fs::exists(out + "/second.mp4"));
    const std::string text = ReadText(log);
    EXPECT_NE(text.find("[1/2] first.rec -> " + out + "/first.mp4"), std::string::npos) << text;
    EXPECT_NE(text.find("2 of 2 converted"), std::string::npos) << text;
}

TEST_F(KadrelProgramTest, one_failure_makes_the_exit_status_1_and_the_others_still_convert) {
    std::string good = Recording("good.rec");
    ASSERT_FALSE(good.empty());
    const std::string bad = m_dir.File("bad.rec");
    ASSERT_TRUE(fixtures::WriteBytes(bad, {'n', 'o', 'p', 'e'}));
    const std::string log = m_dir.File("run.log");
    EXPECT_EQ(RunWithoutDisplay({"--to-mp4", bad, good}, log), kExitSomeFailed);
    EXPECT_TRUE(fs::exists(m_dir.File("good.mp4")));
    EXPECT_FALSE(fs::exists(m_dir.File("bad.mp4")));
    const std::string text = ReadText(log);
    EXPECT_NE(text.find("[1/2] bad.rec: not a recording"), std::string::npos) << text;
    EXPECT_NE(text.find("1 of 2 converted"), std::string::npos) << text;
}

TEST_F(KadrelProgramTest, converts_just_the_stretch_given) {
    std::string recording = Recording("cut.rec");
    ASSERT_FALSE(recording.empty());
    const std::string log = m_dir.File("run.log");
    EXPECT_EQ(RunWithoutDisplay({"--to-mp4", recording, "--from", "0", "--to", "400"}, log), kExitConverted)
        << ReadText(log);
    EXPECT_TRUE(fs::exists(m_dir.File("cut_0-00-00_0-00-00.mp4"))) << ReadText(log);
}

TEST_F(KadrelProgramTest, a_wrong_command_line_exits_2_with_the_usage) {
    const std::vector<std::vector<std::string>> wrong = {{"--to-mp4"}, {"--to-mp4", "x.rec", "--out"}, {"--to-mp4", "-q", "x.rec"}};
    for (const auto& arguments : wrong) {
        const std::string log = m_dir.File("usage.log");
        EXPECT_EQ(RunWithoutDisplay(arguments, log), kExitUsage);
        EXPECT_NE(ReadText(log).find("usage: Kadrel"), std::string::npos);
    }
}

}  // namespace
