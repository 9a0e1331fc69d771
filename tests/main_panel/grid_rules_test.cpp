// The camera grid's arithmetic: where the tiles lie, and how the recorders' clocks lay the files
// on one line.

#include <gtest/gtest.h>

#include "panels/grid_layout.h"
#include "shell/grid_clock.h"

namespace {

using platform::Rect;

TEST(GridLayout, TilesAreSharedOutRowByRowAndCoverThePaneExactly) {
    struct Case {
        int tiles;
        int side;
    };
    for (const Case c : {Case{0, 1}, Case{1, 1}, Case{2, 2}, Case{4, 2}, Case{5, 3}, Case{9, 3}, Case{10, 4}, Case{16, 4}, Case{20, 4}}) {
        EXPECT_EQ(GridSide(c.tiles), c.side) << c.tiles;
    }
    const Rect pane{10, 20, 711, 421};  // 701 x 401: not divisible by three
    const std::vector<Rect> cells = GridCellRects(9, pane);
    ASSERT_EQ(cells.size(), 9u);
    EXPECT_EQ(cells[0].left, pane.left);
    EXPECT_EQ(cells[0].top, pane.top);
    EXPECT_EQ(cells[8].right, pane.right);
    EXPECT_EQ(cells[8].bottom, pane.bottom);
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i % 3 != 2) {
            EXPECT_EQ(cells[i].right, cells[i + 1].left) << i;
        }
        if (i < 6) {
            EXPECT_EQ(cells[i].bottom, cells[i + 3].top) << i;
        }
    }
    EXPECT_EQ(GridCellRects(20, pane).size(), 16u);
}

TEST(GridClock, FilesLieOnTheLineByTheirClocks) {
    const RecordedClock at10h{ClockKind::DateTime, 1'765'360'800'000};
    const auto later = [&](int64_t ms) { return RecordedClock{ClockKind::DateTime, at10h.startMs + ms}; };
    const GridLine line = LayGridLine({{later(3000), 10000}, {at10h, 5000}, {later(20000), 1000}, {RecordedClock{}, 4000}});
    EXPECT_EQ(line.start.startMs, at10h.startMs);
    ASSERT_EQ(line.tiles.size(), 4u);
    EXPECT_EQ(line.tiles[0].offsetMs, 3000);
    EXPECT_EQ(line.tiles[1].offsetMs, 0);
    EXPECT_EQ(line.tiles[2].offsetMs, 20000);
    EXPECT_EQ(line.tiles[3].offsetMs, 0) << "no clock: from the grid's start";
    EXPECT_EQ(line.lengthMs, 21000) << "from the earliest start to the latest end, gaps included";

    const GridTileSpan& late = line.tiles[0];
    EXPECT_FALSE(late.HasFootageAt(2999));
    EXPECT_TRUE(late.HasFootageAt(3000));
    EXPECT_FALSE(late.HasFootageAt(13000));
    EXPECT_EQ(late.FilePositionAt(4000), 1000);

    const GridLine mixed = LayGridLine({{RecordedClock{ClockKind::TimeOfDay, 36'000'000}, 1000}, {at10h, 1000}});
    EXPECT_EQ(mixed.tiles[1].offsetMs, 0) << "a full date cannot be placed beside a time of day";
}

TEST(GridClock, ATileIsOutOfStepBeyondTwoPictureIntervals) {
    const GridTileSpan tile{2000, 10000};
    struct Case {
        int64_t filePositionMs;
        int64_t gridMs;
        bool outOfStep;
    };
    for (const Case c : {Case{1000, 3000, false}, Case{1080, 3000, false}, Case{920, 3000, false}, Case{1081, 3000, true},
                         Case{919, 3000, true}, Case{0, 5000, true}}) {
        EXPECT_EQ(TileOutOfStep(tile, c.filePositionMs, c.gridMs, 40), c.outOfStep) << c.filePositionMs << " at " << c.gridMs;
    }
}

}  // namespace
