// The command line of telvane-play and the figures it prints.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/telvane_play/play_options.h"
#include "tools/telvane_play/playback_report.h"

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        if (end > start) words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

TEST(PlayOptions, actions_run_in_time_order_and_equal_times_keep_their_order) {
    PlayOptions options;
    std::string error;
    ASSERT_TRUE(ParsePlayOptions(
        Words("--at 3000:snapshot=/tmp/a.jpg --at 1000:seek=0 --at 3000:play --at 0:step clip.mp4"),
        &options, &error))
        << error;

    EXPECT_EQ(options.file, "clip.mp4");
    ASSERT_EQ(options.actions.size(), 4u);
    EXPECT_EQ(options.actions[0].kind, PlayActionKind::Step);
    EXPECT_EQ(options.actions[1].kind, PlayActionKind::Seek);
    EXPECT_EQ(options.actions[1].value, 0);
    EXPECT_EQ(options.actions[2].kind, PlayActionKind::Snapshot);
    EXPECT_EQ(options.actions[2].path, "/tmp/a.jpg");
    EXPECT_EQ(options.actions[3].kind, PlayActionKind::Play);
    EXPECT_EQ(options.actions[3].atMs, 3000);
}

TEST(PlayOptions, speed_time_limit_and_window_size_are_read) {
    PlayOptions options;
    std::string error;
    ASSERT_TRUE(ParsePlayOptions(Words("--speed 4 --for 5000 --window 320x240 --at 10:speed=1 r.dat"),
                                 &options, &error))
        << error;

    EXPECT_TRUE(options.speedGiven);
    EXPECT_EQ(options.speedCode, 4);
    EXPECT_EQ(options.forMs, 5000);
    EXPECT_EQ(options.windowWidth, 320);
    EXPECT_EQ(options.windowHeight, 240);
    EXPECT_EQ(options.actions.at(0).value, 1);
}

TEST(PlayOptions, a_negative_seek_target_is_passed_on_for_the_session_to_refuse) {
    PlayOptions options;
    std::string error;
    ASSERT_TRUE(ParsePlayOptions(Words("--at 10:seek=-1 f.mkv"), &options, &error)) << error;
    EXPECT_EQ(options.actions.at(0).value, -1);
}

TEST(PlayOptions, bad_command_lines_are_refused_with_a_reason) {
    const char* const kBad[] = {
        "",                          // no file
        "a.mp4 b.mp4",               // two files
        "--at 100 f.mp4",            // no action
        "--at x:pause f.mp4",        // time not a number
        "--at -5:pause f.mp4",       // negative time
        "--at 1:jump f.mp4",         // unknown action
        "--at 1:speed=5 f.mp4",      // speed code out of range
        "--at 1:seek=abc f.mp4",     // seek target not a number
        "--at 1:snapshot= f.mp4",    // snapshot without a path
        "--speed 9 f.mp4",
        "--for -1 f.mp4",
        "--window 0x10 f.mp4",
        "--window 100000x10 f.mp4",
        "--window 10 f.mp4",
        "--bogus f.mp4",
        "f.mp4 --at",                // value missing
    };
    for (const char* line : kBad) {
        SCOPED_TRACE(line);
        PlayOptions options;
        std::string error;
        EXPECT_FALSE(ParsePlayOptions(Words(line), &options, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(PlaybackReport, nearest_rank_percentiles) {
    const struct {
        std::vector<int64_t> values;
        double percent;
        int64_t expected;
    } kCases[] = {
        {{7}, 50, 7},
        {{7}, 95, 7},
        {{1, 2, 3, 4}, 50, 2},
        {{4, 3, 2, 1}, 100, 4},
        {{5, 1, 4, 2, 3}, 50, 3},
        {{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160, 170, 180, 190, 200},
         95, 190},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(NearestRankPercentile(c.values, c.percent), c.expected);
    }
}

TEST(PlaybackReport, offset_median_keeps_its_sign_and_p95_is_of_magnitudes) {
    std::vector<int64_t> offsets(19, -10);
    offsets.push_back(300);

    const OffsetSummary summary = SummariseOffsets(offsets);

    EXPECT_EQ(summary.count, 20u);
    EXPECT_EQ(summary.medianMs, -10);
    EXPECT_EQ(summary.p95AbsoluteMs, 10);
    EXPECT_EQ(SummariseOffsets({-40, -40, 5}).p95AbsoluteMs, 40);
    EXPECT_EQ(SummariseOffsets({}).count, 0u);
}

}  // namespace
