// The main panel's arithmetic: pane rectangles, speed cycles, snapshot names, the converter's
// start and the durations the position slider takes.

#include <gtest/gtest.h>

#include <sstream>

#include <vector>

#include "shell/clip_marks.h"
#include "shell/main_dlg_rules.h"

using namespace main_panel;
using platform::Rect;

namespace {

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

}  // namespace

TEST(PaneLayout, PlaylistColumnOnTheRightWithBarsEndingOnePixelShortOfIt) {
    const auto rects = LayoutRects(kLayoutWithPlaylist, Rect{0, 0, 901, 583});
    ASSERT_TRUE(rects);
    EXPECT_EQ(rects->status, (Rect{0, 0, 655, 38}));
    EXPECT_EQ(rects->play, (Rect{0, 39, 656, 503}));
    EXPECT_EQ(rects->ctrl, (Rect{0, 503, 655, 583}));
    EXPECT_EQ(rects->list, (Rect{656, 0, 901, 583}));
}

TEST(PaneLayout, WithoutPlaylistVideoAndBarsSpanTheFullWidth) {
    const auto rects = LayoutRects(kLayoutWithoutPlaylist, Rect{0, 0, 901, 583});
    ASSERT_TRUE(rects);
    EXPECT_EQ(rects->status, (Rect{0, 0, 901, 38}));
    EXPECT_EQ(rects->play, (Rect{0, 39, 901, 503}));
    EXPECT_EQ(rects->ctrl, (Rect{0, 503, 901, 583}));
    EXPECT_EQ(rects->list, (Rect{}));
}

TEST(PaneLayout, FollowsAClientRectangleThatDoesNotStartAtTheOrigin) {
    const auto rects = LayoutRects(kLayoutWithPlaylist, Rect{10, 20, 1010, 720});
    ASSERT_TRUE(rects);
    EXPECT_EQ(rects->status, (Rect{10, 20, 764, 58}));
    EXPECT_EQ(rects->play, (Rect{10, 59, 765, 640}));
    EXPECT_EQ(rects->list, (Rect{765, 20, 1010, 720}));
}

TEST(PaneLayout, UnknownLayoutGivesNoRectangles) {
    for (int layout : {0, 3, -1}) EXPECT_FALSE(LayoutRects(layout, Rect{0, 0, 900, 600})) << layout;
}

TEST(SpeedCycle, SlowAndFastButtonsStepThroughTheirCodes) {
    struct Case {
        int from;
        int slower;
        int faster;
    };
    const std::vector<Case> cases = {
        {0, 2, 3},  // normal: a half / double
        {2, 1, 3},  // a half: a quarter
        {1, 0, 3},  // a quarter: back to normal
        {3, 2, 4},  // double: slow goes to a half, fast to four times
        {4, 2, 0},  // four times: fast goes back to normal
        {7, 2, 3},  // an unknown code restarts either cycle
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextSlowerSpeed(c.from), c.slower) << "from " << c.from;
        EXPECT_EQ(NextFasterSpeed(c.from), c.faster) << "from " << c.from;
    }
}

TEST(SpeedCycle, ThreePressesFromNormalComeBackToNormal) {
    std::vector<int> slow;
    std::vector<int> fast;
    for (int s = 0, f = 0, i = 0; i < 3; ++i) {
        slow.push_back(s = NextSlowerSpeed(s));
        fast.push_back(f = NextFasterSpeed(f));
    }
    EXPECT_EQ(slow, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(fast, (std::vector<int>{3, 4, 0}));
}

TEST(SnapshotName, DateAndTimeWithoutLeadingZeros) {
    struct Case {
        std::tm time;
        const char* name;
    };
    const std::vector<Case> cases = {
        {LocalTime(2016, 3, 3, 9, 5, 7), "2016_3_3-9_5_7.jpg"},
        {LocalTime(2024, 12, 31, 23, 59, 59), "2024_12_31-23_59_59.jpg"},
        {LocalTime(2025, 1, 1, 0, 0, 0), "2025_1_1-0_0_0.jpg"},
    };
    for (const Case& c : cases) EXPECT_EQ(SnapshotFileName(c.time).toStdString(), c.name);
}

TEST(SnapshotName, PathIsTheFolderFollowedByTheName) {
    EXPECT_EQ(SnapshotPath(QStringLiteral("/rec/"), LocalTime(2016, 3, 3, 9, 5, 7)).toStdString(),
              "/rec/2016_3_3-9_5_7.jpg");
}

TEST(Converter, EveryPlayerNameInThePathBecomesTheConverterName) {
    struct Case {
        const char* player;
        const char* converter;
    };
    const std::vector<Case> cases = {
        {"/opt/telvane/bin/Quillon", "/opt/telvane/bin/Kadrel"},
        {"/home/u/Quillon/build/Quillon", "/home/u/Kadrel/build/Kadrel"},
        {"/usr/bin/quillon", "/usr/bin/quillon"},  // the match is case-sensitive
        {"/usr/bin/player", "/usr/bin/player"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConverterPath(QString::fromUtf8(c.player)).toStdString(), c.converter);
}

TEST(Converter, ArgumentsAreItsPathAndTheLanguageInDecimal) {
    EXPECT_EQ(ConverterArguments(QStringLiteral("/a b/Kadrel"), 0x409),
              (QStringList{QStringLiteral("/a b/Kadrel"), QStringLiteral("1033")}));
    EXPECT_EQ(ConverterArguments(QStringLiteral("/x/Kadrel"), 0x804).at(1), QStringLiteral("2052"));
    // After the language: the playing file, and the marked clip when there is one.
    EXPECT_EQ(ConverterArguments(QStringLiteral("/x/Kadrel"), 0x407, QStringLiteral("/v/a b.rec")),
              (QStringList{"/x/Kadrel", "1031", "/v/a b.rec"}));
    EXPECT_EQ(ConverterArguments(QStringLiteral("/x/Kadrel"), 0x407, QStringLiteral("/v/c.rec"), std::make_pair(1500, 4000)),
              (QStringList{"/x/Kadrel", "1031", "/v/c.rec", "--from", "1500", "--to", "4000"}));
}

// Marks never cross: the later one set wins, and a lone mark runs to the file's end or from its start.
TEST(ClipMarksRules, MarksNeverCrossAndALoneMarkReachesTheFilesEnd) {
    using Stretch = std::optional<std::pair<int64_t, int64_t>>;
    struct Case {
        const char* steps;  // s<ms> sets the start, e<ms> the end, in order
        Stretch stretch;    // of a file 10 s long
    } cases[] = {
        {"", std::nullopt},
        {"s2000", Stretch({2000, 10000})},
        {"e3000", Stretch({0, 3000})},
        {"s2000 e5000", Stretch({2000, 5000})},
        {"e5000 s2000", Stretch({2000, 5000})},
        {"s2000 e5000 s6000", Stretch({6000, 10000})},   // a start past the end drops the end
        {"s2000 e5000 e1000", Stretch({0, 1000})},       // an end before the start drops the start
        {"s2000 e2000", Stretch({0, 2000})},
        {"s10000", std::nullopt},                          // nothing left to export
    };
    for (const Case& c : cases) {
        ClipMarks marks;
        std::istringstream steps(c.steps);
        for (std::string step; steps >> step;) {
            const int64_t ms = std::stoll(step.substr(1));
            if (step[0] == 's') marks.SetStart(ms);
            else marks.SetEnd(ms);
        }
        EXPECT_EQ(marks.Stretch(10000), c.stretch) << c.steps;
    }
}

// A recording runs for up to a day, one still being written past five hours: the slider takes any
// known duration, so its labels and a click on it work however long the file is.
TEST(PositionSlider, TakesAnyKnownDurationUpToItsThirtyTwoBits) {
    struct Case {
        int64_t durationMs;
        std::optional<uint32_t> range;
    };
    const std::vector<Case> cases = {
        {0, std::nullopt},
        {-5, std::nullopt},
        {1, 1},
        {60'000, 60'000},
        {18'000'000, 18'000'000},  // five hours
        {24 * 3'600'000, 86'400'000},
        {UINT32_MAX, UINT32_MAX},
        // Its low 32 bits alone would read as one second.
        {(int64_t{1} << 32) + 1000, UINT32_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(SliderRangeForDuration(c.durationMs), c.range) << c.durationMs;
}
