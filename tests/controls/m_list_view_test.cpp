// The skinned list: its layout and scroll arithmetic, the item limits, scrolling with the thumb,
// the track and the wheel, and the rows' looks rendered offscreen.

#include <gtest/gtest.h>

#include "control_test_support.h"
#include "controls/m_list_view.h"

using namespace platform;
using namespace control_test;

namespace {

constexpr QRgb kListBackground = 0xFF263035, kSelectedFill = 0xFF668B8B, kHoverFill = 0xFF68838B;
constexpr QRgb kUp = 0xFFFF0000, kDown = 0xFF00FF00, kKnob = 0xFF0000FF, kKnobHiddenRows = 0xFFFFFF00;
constexpr int kListWidth = 200, kListHeight = 300, kTrackLength = 272;
constexpr int kListId = 19;
// A point on the rows' right end, clear of any text.
constexpr int kRowProbeX = kListWidth - 20;

// Blue with a yellow band in the 10 lowest rows, which the list never shows.
QImage KnobPicture() {
    QImage image = Solid(14, 40, kKnob);
    for (int y = 30; y < 40; ++y)
        for (int x = 0; x < 14; ++x) image.setPixel(x, y, kKnobHiddenRows);
    return image;
}

QString Name(int i) { return QStringLiteral("recording %1.mp4").arg(i); }

class ListTest : public ::testing::Test {
protected:
    void SetUp() override {
        pictures.Write(QStringLiteral("up.png"), Solid(14, 12, kUp));
        pictures.Write(QStringLiteral("down.png"), Solid(14, 12, kDown));
        pictures.Write(QStringLiteral("SliderList.png"), KnobPicture());
        ASSERT_TRUE(host.Create(134, nullptr));
        ASSERT_TRUE(list.Create(IDD_MLISTVIEW, &host));
        list.m_nID = kListId;
        list.MoveWindow(0, 0, kListWidth, kListHeight);
        list.ShowWindow(SW_SHOW);
        ShowOnScreen(host);
    }

    void Fill(int count) {
        for (int i = 0; i < count; ++i) ASSERT_TRUE(list.AddItem(Name(i)));
    }
    QImage Shot() { return list.grab().toImage(); }
    // The first move asks for the hover notification, which comes a moment later.
    void Hover(QPoint point) {
        Move(list, point);
        ASSERT_TRUE(PumpUntil([this] { return list.m_bHover == 1; }));
    }

    PictureFolder pictures;
    CommandRecorder host;
    CMListView list;
};

TEST(ListArithmetic, AreasHugTheRightEdgeAndTheRowsFillTheRest) {
    const CMListView::Areas areas = CMListView::LayoutAreas(kListWidth, kListHeight);
    EXPECT_EQ(areas.up, (Rect{184, 2, 198, 14}));
    EXPECT_EQ(areas.down, (Rect{184, 286, 198, 298}));
    EXPECT_EQ(areas.track, (Rect{184, 15, 198, 285}));
    EXPECT_EQ(areas.rows, (Rect{4, 3, 183, 298}));
    EXPECT_EQ(areas.trackLength, kTrackLength);
}

TEST(ListArithmetic, ScrollLayoutOfAListThreeHundredPixelsHigh) {
    struct Case {
        const char* name;
        int items, thumbPos;
        CMListView::ScrollLayout layout;  // thumb, scrolls, V, D, first item, first row's height
    };
    const Case cases[] = {
        {"empty", 0, 0, {kTrackLength, false, 0, 0, 0, 35}},
        {"7 fit", 7, 0, {kTrackLength, false, 7, 0, 0, 35}},
        {"8 scroll the thumb 3 pixels, not the rows", 8, 3, {269, true, 8, 0, 0, 35}},
        {"20 at the top", 20, 0, {233, true, 9, 0, 0, 35}},
        {"20 at the bottom", 20, 39, {233, true, 9, 385, 11, 35}},
        {"20 by pixels: the third item's lowest 7 rows", 20, 10, {233, true, 9, 98, 2, 7}},
        {"100 at the top", 100, 0, {20, true, 9, 0, 0, 35}},
        {"100 at the bottom: the last item is the ninth row", 100, 252, {20, true, 9, 3185, 91, 35}},
        {"1000", 1000, 126, {20, true, 9, 17342, 495, 18}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMListView::ComputeScroll(c.items, kTrackLength, c.thumbPos, kListHeight), c.layout) << c.name;
}

TEST(ListArithmetic, ShortListsShowNoRowsAndShortTracksDoNotScroll) {
    struct Case {
        const char* name;
        int items, trackLength, thumbPos, clientHeight;
        CMListView::ScrollLayout layout;
    };
    const Case cases[] = {
        {"one row's height", 5, 9, 0, 37, {20, true, 0, 0, 0, 35}},
        {"a pixel more", 5, 10, 0, 38, {20, true, 2, 0, 0, 35}},
        {"track shorter than the thumb", 5, -20, 0, 8, {20, true, 0, 0, 0, 35}},
        {"thumb of 20 in a track of 20", 5, 20, 0, 48, {20, true, 2, 0, 0, 35}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMListView::ComputeScroll(c.items, c.trackLength, c.thumbPos, c.clientHeight), c.layout) << c.name;
}

TEST(ListArithmetic, ThumbKeepsTwentyPixelsOnceFewerThanFourPerHiddenItem) {
    struct Case {
        int items, length;
    };
    // T = 272: 7 fit; (T - 20) / k is 4 at k = 63 and 3 at k = 64.
    for (const Case& c : {Case{7, 272}, Case{8, 269}, Case{70, 83}, Case{71, 20}, Case{300, 20}})
        EXPECT_EQ(CMListView::ThumbLength(c.items, kTrackLength), c.length) << c.items << " items";
}

TEST(ListArithmetic, RowUnderThePointer) {
    struct Case {
        int y, firstRowHeight, row;
    };
    for (const Case& c : {Case{3, 35, -1}, Case{4, 35, 0}, Case{38, 35, 0}, Case{39, 35, 1}, Case{0, 7, 0},
                          Case{10, 7, 0}, Case{11, 7, 1}, Case{300, 35, 8}})
        EXPECT_EQ(CMListView::RowAt(c.y, c.firstRowHeight), c.row) << "y " << c.y << " h " << c.firstRowHeight;
}

TEST(ListArithmetic, ThumbStaysWithinItsTravel) {
    struct Case {
        int pos, track, thumb, limited;
    };
    for (const Case& c : {Case{-5, 272, 20, 0}, Case{100, 272, 20, 100}, Case{300, 272, 20, 252},
                          Case{10, 272, 272, 0}, Case{10, 12, 20, 0}})
        EXPECT_EQ(CMListView::LimitThumbPos(c.pos, c.track, c.thumb), c.limited) << c.pos;
}

TEST_F(ListTest, AddItemRefusesLongTextsAndTheThousandAndFirstItem) {
    EXPECT_TRUE(list.AddItem(QString(199, QChar('a'))));
    EXPECT_FALSE(list.AddItem(QString(200, QChar('a'))));
    EXPECT_TRUE(list.AddItem(QString()));
    EXPECT_EQ(list.GetCount(), 2);
    for (int i = 2; i < 1000; ++i) ASSERT_TRUE(list.AddItem(Name(i))) << i;
    EXPECT_FALSE(list.AddItem(QStringLiteral("one too many")));
    EXPECT_EQ(list.GetCount(), 1000);
}

TEST_F(ListTest, ItemTextsByIndexAndTheSelection) {
    QString text;
    EXPECT_FALSE(list.GetSelectedText(text)) << "no items";
    ASSERT_TRUE(list.AddItem(QStringLiteral("first")));
    ASSERT_TRUE(list.AddItem(QString()));
    EXPECT_TRUE(list.GetSelectedText(text)) << "the first item is the selection from the start";
    EXPECT_EQ(text, QStringLiteral("first"));
    EXPECT_FALSE(list.GetItemText(1, text)) << "an empty item";
    EXPECT_FALSE(list.GetItemText(-1, text));
    EXPECT_FALSE(list.GetItemText(2, text));
    list.m_nSel = 5;
    EXPECT_FALSE(list.GetSelectedText(text));
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(ListTest, RemoveAllKeepsTheSelectionForTheNextItems) {
    Fill(5);
    list.m_nSel = 2;
    list.m_bSelShown = 1;
    EXPECT_TRUE(list.RemoveAll());
    EXPECT_EQ(list.GetCount(), 0);
    Fill(5);
    // Row 2 is drawn at client y 3 + 2 x 35.
    EXPECT_EQ(Shot().pixel(kRowProbeX, 3 + 70 + 10), kSelectedFill);
}

TEST_F(ListTest, ScrollBarPicturesAndTheThumbWithoutItsLowestRows) {
    const QImage shot = Shot();
    // Composed at (1, 1): a picture at client x shows one pixel further right and down.
    EXPECT_EQ(shot.pixel(kListWidth - 10, 5), kUp);
    EXPECT_EQ(shot.pixel(kListWidth - 10, kListHeight - 8), kDown);
    EXPECT_EQ(shot.pixel(kListWidth - 10, 16 + kTrackLength - 1), kKnob) << "an empty list's thumb fills the track";
    EXPECT_EQ(shot.pixel(kListWidth - 10, 150), kKnob);
}

TEST_F(ListTest, TrackClickMovesTheThumbThereButNotPastItsTravel) {
    Fill(100);
    Shot();  // the paint measures the thumb
    ASSERT_EQ(list.m_nThumbLen, 20);
    Press(list, QPoint(190, 100));
    Release(list, QPoint(190, 100));
    EXPECT_EQ(list.m_nThumbPos, 85);
    Press(list, QPoint(190, 284));
    Release(list, QPoint(190, 284));
    EXPECT_EQ(list.m_nThumbPos, kTrackLength - 20);
    Press(list, QPoint(190, 15));
    Release(list, QPoint(190, 15));
    EXPECT_EQ(list.m_nThumbPos, 0);
}

TEST_F(ListTest, TrackClickOnAnEmptyListDoesNothing) {
    Press(list, QPoint(190, 100));
    EXPECT_EQ(list.m_nThumbPos, 0);
}

TEST_F(ListTest, DraggingTheThumbScrollsByPixels) {
    Fill(20);
    Shot();
    Move(list, QPoint(190, 20));
    Press(list, QPoint(190, 20));
    ASSERT_EQ(list.m_bThumbDrag, 1);
    Move(list, QPoint(190, 30), Qt::LeftButton);
    EXPECT_EQ(list.m_nThumbPos, 10);
    // Content offset 98: the top row shows the lowest 7 pixels of the third item.
    list.m_nSel = 2;
    list.m_bSelShown = 1;
    const QImage shot = Shot();
    EXPECT_EQ(shot.pixel(kRowProbeX, 3), kSelectedFill);
    EXPECT_EQ(shot.pixel(kRowProbeX, 9), kSelectedFill);
    EXPECT_EQ(shot.pixel(kRowProbeX, 10), kListBackground);
    Move(list, QPoint(190, 290), Qt::LeftButton);
    EXPECT_EQ(list.m_nThumbPos, 39) << "the drag stops at the end of the travel";
    Release(list, QPoint(190, 290));
    EXPECT_EQ(list.m_bThumbDrag, 0);
}

TEST_F(ListTest, WheelMovesTheThumbAPixelPerNotchTowardZero) {
    Fill(100);
    Shot();
    struct Step {
        int delta, pos;
    };
    for (const Step& s : {Step{-120, 1}, Step{-360, 4}, Step{-119, 4}, Step{60, 4}, Step{240, 2}, Step{1200, 0},
                          Step{-120 * 250, 250}, Step{-360, 252}})
    {
        Wheel(list, QPoint(100, 100), s.delta);
        EXPECT_EQ(list.m_nThumbPos, s.pos) << "after " << s.delta;
    }
}

// A touchpad's small deltas add up to notches; a turn back starts counting afresh.
TEST_F(ListTest, SmallWheelDeltasAddUpToWholeNotches) {
    Fill(100);
    Shot();
    struct Step {
        int delta, pos;
    };
    for (const Step& s : {Step{-40, 0}, Step{-40, 0}, Step{-40, 1}, Step{-40, 1}, Step{-40, 1}, Step{-40, 2},
                          Step{-80, 2}, Step{40, 2}, Step{40, 2}, Step{40, 1}})
    {
        Wheel(list, QPoint(100, 100), s.delta);
        EXPECT_EQ(list.m_nThumbPos, s.pos) << "after " << s.delta;
    }
}

TEST_F(ListTest, PressOnAHoveredRowSelectsIt) {
    Fill(5);
    Hover(QPoint(50, 50));  // row 1
    Press(list, QPoint(50, 50));
    Release(list, QPoint(50, 50));
    EXPECT_EQ(list.m_nSel, 1);
    EXPECT_EQ(list.m_bSelShown, 1);
    const QImage shot = Shot();
    EXPECT_EQ(shot.pixel(kRowProbeX, 3 + 35 + 10), kSelectedFill);
    EXPECT_EQ(shot.pixel(kRowProbeX, 3 + 10), kListBackground) << "nothing else looks selected";
}

TEST_F(ListTest, HoverHighlightFollowsThePointerAndStaysAfterLeaving) {
    Fill(5);
    Hover(QPoint(50, 120));  // row 3
    EXPECT_EQ(Shot().pixel(kRowProbeX, 3 + 105 + 10), kHoverFill);
    Move(list, QPoint(50, 160));  // row 4
    EXPECT_EQ(Shot().pixel(kRowProbeX, 3 + 105 + 10), kListBackground);
    EXPECT_EQ(Shot().pixel(kRowProbeX, 3 + 140 + 10), kHoverFill);
    EXPECT_EQ(list.m_bSelShown, 0) << "hovering selects nothing";
    Leave(list);
    EXPECT_EQ(list.m_bHover, 0);
}

TEST_F(ListTest, DoubleClickPostsAfterTheRepaintThatSelectsTheRow) {
    Fill(5);
    QString chosen;
    bool hadSelection = false;
    host.onCommand = [&] { hadSelection = list.GetSelectedText(chosen); };
    Hover(QPoint(50, 120));
    DoubleClickOnly(list, QPoint(50, 120));
    ASSERT_TRUE(host.Flush());
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].wParam, WParam{kListId});
    EXPECT_EQ(host.commands[0].lParam, 0);
    EXPECT_TRUE(hadSelection);
    EXPECT_EQ(chosen, Name(3));
}

TEST_F(ListTest, DoubleClickOnAnEmptyListPostsWithNoSelection) {
    bool hadSelection = true;
    host.onCommand = [&] {
        QString text;
        hadSelection = list.GetSelectedText(text);
    };
    Hover(QPoint(50, 120));
    DoubleClickOnly(list, QPoint(50, 120));
    ASSERT_TRUE(host.Flush());
    EXPECT_EQ(host.commands.size(), 1u);
    EXPECT_FALSE(hadSelection);
}

TEST_F(ListTest, DoubleClickOnTheScrollBarPostsNothing) {
    Fill(5);
    DoubleClickOnly(list, QPoint(190, 100));
    ASSERT_TRUE(host.Flush());
    EXPECT_TRUE(host.commands.empty());
}

TEST_F(ListTest, RefilledWithFewerItemsTheRowsComeBackIntoView) {
    Fill(100);
    Shot();
    Wheel(list, QPoint(100, 100), -120 * 250);
    Wheel(list, QPoint(100, 100), -120 * 10);
    ASSERT_EQ(list.m_nThumbPos, 252);
    // Refilled while hidden, so no paint sees the list empty.
    list.ShowWindow(SW_HIDE);
    list.RemoveAll();
    Fill(20);
    list.ShowWindow(SW_SHOW);
    list.m_nSel = 19;
    list.m_bSelShown = 1;
    const QImage shot = Shot();
    EXPECT_EQ(list.m_nThumbPos, 39);
    // At the bottom of a 20-item list the last item is the ninth row, cut by the lower edge.
    EXPECT_EQ(shot.pixel(kRowProbeX, 3 + 8 * 35 + 5), kSelectedFill);
    EXPECT_EQ(shot.pixel(kListWidth - 10, 16 + 39 + 100), kKnob);
}

TEST_F(ListTest, EmptiedOnScreenTheThumbGoesBackToTheTop) {
    Fill(100);
    Shot();
    Wheel(list, QPoint(100, 100), -120 * 100);
    ASSERT_EQ(list.m_nThumbPos, 100);
    list.RemoveAll();
    EXPECT_EQ(list.m_nThumbPos, 0);
}

TEST_F(ListTest, MissingPicturesLeaveTheScrollBarBlankButTheListWorks) {
    CMListView bare;
    QFile::remove(QStringLiteral("images/up.png"));
    ASSERT_TRUE(bare.Create(IDD_MLISTVIEW, &host));
    bare.MoveWindow(0, 0, kListWidth, kListHeight);
    bare.ShowWindow(SW_SHOW);
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(bare.AddItem(Name(i)));
    bare.m_nSel = 0;
    bare.m_bSelShown = 1;
    const QImage shot = bare.grab().toImage();
    EXPECT_EQ(shot.pixel(kListWidth - 10, 5), kListBackground);
    EXPECT_EQ(shot.pixel(kListWidth - 10, kListHeight - 8), kDown);
    EXPECT_EQ(shot.pixel(kRowProbeX, 13), kSelectedFill);
    Wheel(bare, QPoint(100, 100), -120);
    EXPECT_EQ(bare.m_nThumbPos, 1);
}

TEST_F(ListTest, OddSizesPaintWithoutTrouble) {
    Fill(50);
    for (const QSize size : {QSize(1, 1), QSize(2, 2), QSize(18, 40), QSize(19, 37), QSize(40, 10), QSize(300, 20)}) {
        list.MoveWindow(0, 0, size.width(), size.height());
        Shot();
        Wheel(list, QPoint(0, 0), -120);
        EXPECT_GE(list.m_nThumbPos, 0) << size.width() << "x" << size.height();
    }
}

TEST_F(ListTest, Screenshots) {
    PictureFolder real;  // leaves the test pictures
    const QString data = QStringLiteral(TELVANE_SOURCE_DIR "/data/images/");
    for (const char* name : {"up.png", "down.png", "SliderList.png"})
        real.Write(QString::fromLatin1(name), QImage(data + QString::fromLatin1(name)));
    CMListView shown;
    ASSERT_TRUE(shown.Create(IDD_MLISTVIEW, &host));
    shown.MoveWindow(0, 0, 245, 400);
    shown.ShowWindow(SW_SHOW);
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(shown.AddItem(QStringLiteral("2026-12-10 camera %1 南门.mp4").arg(i)));
    Move(shown, QPoint(60, 100));
    ASSERT_TRUE(PumpUntil([&] { return shown.m_bHover == 1; }));
    Press(shown, QPoint(60, 60));
    Release(shown, QPoint(60, 60));
    Move(shown, QPoint(60, 130));
    SaveShot(shown, QStringLiteral("list-selection-and-hover"));
    Wheel(shown, QPoint(60, 130), -120 * 40);
    SaveShot(shown, QStringLiteral("list-scrolled"));
}

}  // namespace
