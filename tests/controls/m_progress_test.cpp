// The skinned slider: its value and drawing arithmetic, the command it posts on release, and its
// pictures rendered offscreen.

#include <gtest/gtest.h>

#include <QPainter>
#include <atomic>
#include <thread>

#include "control_test_support.h"
#include "controls/m_progress.h"

using namespace platform;
using namespace control_test;

namespace {

Rect XYWH(int x, int y, int width, int height) { return Rect{x, y, x + width, y + height}; }

constexpr QRgb kBackground = 0xFF00161E, kTrack = 0xFF0000FF, kFill = 0xFFFF0000, kThumb = 0xFF00FF00;
constexpr int kWidth = 400, kHeight = 20, kMargin = 8;
constexpr int kSliderId = 10;

// Transparent but for a 2 x 2 corner, so the thumb's place shows without hiding the fill under it.
QImage ThumbPicture() {
    QImage image = Solid(2 * kMargin, 2 * kMargin, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) image.setPixel(x, y, kThumb);
    return image;
}

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        pictures.Write(QStringLiteral("strip1.png"), Solid(120, 16, kTrack));
        pictures.Write(QStringLiteral("strip2.png"), Solid(120, 16, kFill));
        pictures.Write(QStringLiteral("slider.png"), ThumbPicture());
        ASSERT_TRUE(host.Create(134, nullptr));
        ASSERT_TRUE(slider.Create(IDD_MPROGRESS, &host));
        slider.m_nID = kSliderId;
        slider.m_nMargin = kMargin;
        slider.m_nMax = 1000;
        slider.MoveWindow(0, 0, kWidth, kHeight);
        slider.ShowWindow(SW_SHOW);
        ShowOnScreen(host);
    }

    QRgb PixelAt(int x, int y) { return slider.grab().toImage().pixel(x, y); }

    // The first move asks for the hover notification, which comes a moment later.
    void Hover(QPoint point) {
        Move(slider, point);
        ASSERT_TRUE(PumpUntil([this] { return slider.m_bHover == 1; }));
    }

    PictureFolder pictures;
    CommandRecorder host;
    CMProgress slider;
};

// The value under the pointer is the one whose fill ends there: the share of the track's length
// (W - 2m) the pointer is along it.
TEST(SliderArithmetic, PointerXGivesAValueProportionalAlongTheTrack) {
    struct Case {
        int x;
        uint32_t max;
        uint32_t value;
    };
    constexpr uint32_t kFiveHoursMs = 5 * 3600 * 1000;
    for (const Case& c : {Case{-3, 1000, 0}, Case{0, 1000, 0}, Case{kMargin, 1000, 0}, Case{kMargin + 1, 1000, 2},
                          Case{200, 1000, 500}, Case{kWidth - kMargin - 1, 1000, 997},
                          Case{kWidth - kMargin, 1000, 1000}, Case{kWidth + 50, 1000, 1000},
                          // (x - m) x max is beyond 32 bits here.
                          Case{300, kFiveHoursMs, 13687500}, Case{kWidth - kMargin - 1, 0xFFFFFFFFu, 4283782484u},
                          Case{200, 0, 0}})
        EXPECT_EQ(CMProgress::ValueAtX(c.x, kWidth, kMargin, c.max), c.value) << "x " << c.x << " max " << c.max;
}

TEST(SliderArithmetic, FillLengthReachesPastTheTrackEndOnlyWhenNotHovered) {
    struct Case {
        int width;
        uint32_t pos, max;
        bool hovered;
        int length;
    };
    for (const Case& c : {Case{kWidth, 1000, 1000, false, 386}, Case{kWidth, 1000, 1000, true, 384},
                          Case{kWidth, 0, 1000, false, 2}, Case{kWidth, 0, 1000, true, 2},
                          Case{kWidth, 500, 1000, true, 194}, Case{kWidth, 0, 0, false, 0},
                          Case{kWidth, 0, 0, true, 0},
                          Case{kWidth, 17999999, 18000000, false, 385},
                          // The owner lowered the range below the value.
                          Case{kWidth, 5000, 1000, false, 386}, Case{kWidth, 5000, 1000, true, 384},
                          // Narrower than its two margins: nothing to fill.
                          Case{10, 1000, 1000, false, -4}})
        EXPECT_EQ(CMProgress::FillLength(c.width, kMargin, c.pos, c.max, c.hovered), c.length)
            << c.pos << "/" << c.max << " width " << c.width << " hovered " << c.hovered;
}

TEST(SliderArithmetic, TrackIsTwoCapsAndAStretchedMiddle) {
    using Piece = CMProgress::Piece;
    const auto pieces = CMProgress::TrackPieces(kWidth, kHeight, kMargin, QSize(120, 16));
    EXPECT_EQ(pieces[0], (Piece{XYWH(8, 6, 30, 8), XYWH(0, 0, 60, 16)}));
    EXPECT_EQ(pieces[1], (Piece{XYWH(38, 6, 324, 8), XYWH(30, 0, 60, 16)}));
    EXPECT_EQ(pieces[2], (Piece{XYWH(362, 6, 30, 8), XYWH(60, 0, 60, 16)}));
}

TEST(SliderArithmetic, ShortFillIsTwoHalvesLongFillIsCapsAndMiddle) {
    using Piece = CMProgress::Piece;
    struct Case {
        int length;
        std::vector<Piece> pieces;
    };
    const QSize picture(120, 16);
    const Case cases[] = {
        {0, {}},
        {-4, {}},
        {1, {Piece{XYWH(8, 6, 0, 8), XYWH(0, 0, 0, 16)}, Piece{XYWH(8, 6, 0, 8), XYWH(120, 0, 0, 16)}}},
        {40, {Piece{XYWH(8, 6, 20, 8), XYWH(0, 0, 40, 16)}, Piece{XYWH(28, 6, 20, 8), XYWH(80, 0, 40, 16)}}},
        {60, {Piece{XYWH(8, 6, 30, 8), XYWH(0, 0, 60, 16)}, Piece{XYWH(38, 6, 30, 8), XYWH(60, 0, 60, 16)}}},
        {61,
         {Piece{XYWH(8, 6, 38, 8), XYWH(0, 0, 60, 16)}, Piece{XYWH(38, 6, 1, 8), XYWH(30, 0, 60, 16)},
          Piece{XYWH(39, 6, 30, 8), XYWH(60, 0, 60, 16)}}},
        {386,
         {Piece{XYWH(8, 6, 38, 8), XYWH(0, 0, 60, 16)}, Piece{XYWH(38, 6, 326, 8), XYWH(30, 0, 60, 16)},
          Piece{XYWH(364, 6, 30, 8), XYWH(60, 0, 60, 16)}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMProgress::FillPieces(c.length, kHeight, kMargin, picture), c.pieces) << "length " << c.length;
}

TEST(SliderArithmetic, ThumbFollowsTheFillButStaysInsideTheSlider) {
    struct Case {
        int fillLength;
        Rect thumb;
    };
    for (const Case& c : {Case{0, XYWH(4, 2, 16, 16)}, Case{2, XYWH(6, 2, 16, 16)}, Case{194, XYWH(198, 2, 16, 16)},
                          Case{384, XYWH(384, 2, 16, 16)}})
        EXPECT_EQ(CMProgress::ThumbRect(c.fillLength, kWidth, kHeight, kMargin), c.thumb) << c.fillLength;
}

TEST(SliderArithmetic, ValueTextsByTipMode) {
    struct Case {
        int mode;
        uint32_t pos, max;
        const char* text;
    };
    for (const Case& c : {Case{0, 123, 1000, "123"}, Case{0, 3000000000u, 4000000000u, "3000000000"},
                          Case{1, 0, 1000, "0:0"}, Case{1, 59999, 100000, "0:59"}, Case{1, 65000, 100000, "1:5"},
                          Case{1, 3600000, 4000000, "60:0"}, Case{2, 32767, 65535, "49%"},
                          Case{2, 65535, 65535, "100%"}, Case{2, 4000000000u, 4200000000u, "95%"},
                          // No range yet: a press still sets a value, and its text must not divide by 0.
                          Case{2, 0, 0, "0%"}})
        EXPECT_EQ(CMProgress::ValueText(c.mode, c.pos, c.max), QString::fromLatin1(c.text))
            << "mode " << c.mode << " value " << c.pos;
}

TEST_F(SliderTest, SetPosRefusesValuesOutsideTheRange) {
    slider.m_nMax = 0;
    EXPECT_FALSE(slider.SetPos(0));
    slider.m_nMax = 1000;
    EXPECT_TRUE(slider.SetPos(400));
    EXPECT_FALSE(slider.SetPos(1001));
    EXPECT_EQ(slider.GetPos(), 400u);
    EXPECT_TRUE(slider.SetPos(1000));
    EXPECT_EQ(slider.GetPos(), 1000u);
}

TEST_F(SliderTest, ClickPostsOneCommandOnReleaseWithTheNewValue) {
    uint32_t seenByOwner = 0;
    host.onCommand = [&] { seenByOwner = slider.GetPos(); };
    Press(slider, QPoint(200, 10));
    ASSERT_TRUE(host.Flush());
    EXPECT_TRUE(host.commands.empty()) << "nothing is posted before the release";
    Release(slider, QPoint(200, 10));
    ASSERT_TRUE(host.Flush());
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].wParam, WParam{kSliderId});
    EXPECT_EQ(host.commands[0].lParam, 0);
    EXPECT_EQ(seenByOwner, 500u);

    Release(slider, QPoint(250, 10));
    ASSERT_TRUE(host.Flush());
    EXPECT_EQ(host.commands.size(), 1u) << "a release without a change posts nothing";
}

TEST_F(SliderTest, DragMovesTheValueAndReportsOnceOnRelease) {
    Move(slider, QPoint(100, 10));
    Press(slider, QPoint(100, 10));
    Move(slider, QPoint(200, 10), Qt::LeftButton);
    Move(slider, QPoint(kWidth - 2, 10), Qt::LeftButton);
    EXPECT_EQ(slider.GetPos(), 1000u);
    EXPECT_EQ(slider.m_ToolTip.GetText(), QStringLiteral("1000"));
    Release(slider, QPoint(kWidth - 2, 10));
    ASSERT_TRUE(host.Flush());
    EXPECT_EQ(host.commands.size(), 1u);
}

TEST_F(SliderTest, LeavingEndsTheDragAndTheChangeWaitsForTheNextReleaseOnTheSlider) {
    Move(slider, QPoint(100, 10));
    Press(slider, QPoint(100, 10));
    Leave(slider);
    ASSERT_TRUE(host.Flush());
    EXPECT_TRUE(host.commands.empty());
    EXPECT_EQ(slider.m_bDragging, 0);

    Move(slider, QPoint(300, 10));
    EXPECT_EQ(slider.GetPos(), 239u) << "the value stays where the drag left it";
    Release(slider, QPoint(300, 10));
    ASSERT_TRUE(host.Flush());
    EXPECT_EQ(host.commands.size(), 1u);
}

TEST_F(SliderTest, TooltipShowsTheValueInItsMode) {
    slider.m_nTipMode = CMProgress::kTipMinutesSeconds;
    slider.m_nMax = 3600000;
    Press(slider, QPoint(kWidth, 10));
    EXPECT_EQ(slider.m_ToolTip.GetText(), QStringLiteral("60:0"));
    Release(slider, QPoint(kWidth, 10));
}

TEST_F(SliderTest, FullFillEndsPastTheTrackUnlessHovered) {
    ASSERT_TRUE(slider.SetPos(1000));
    // Not hovered: 386 pixels from the track start at 8, 2 beyond the track's end at 392.
    EXPECT_EQ(PixelAt(393, 10), kFill);
    EXPECT_EQ(PixelAt(394, 10), kBackground);
    EXPECT_EQ(PixelAt(384, 2), kBackground) << "no thumb without the pointer";

    Hover(QPoint(50, 10));
    EXPECT_EQ(PixelAt(391, 10), kFill);
    EXPECT_EQ(PixelAt(392, 10), kBackground);
    EXPECT_EQ(PixelAt(384, 2), kThumb);
    EXPECT_EQ(PixelAt(383, 2), kBackground);
}

TEST_F(SliderTest, EmptyRangeDrawsTrackWithoutFillAndThumbAtHalfMargin) {
    slider.m_nMax = 0;
    Hover(QPoint(50, 10));
    EXPECT_EQ(PixelAt(kMargin, 10), kTrack);
    EXPECT_EQ(PixelAt(kMargin + 1, 10), kTrack);
    EXPECT_EQ(PixelAt(kMargin / 2, 2), kThumb);
}

TEST_F(SliderTest, LeaveHidesTheThumb) {
    Hover(QPoint(50, 10));
    ASSERT_EQ(PixelAt(6, 2), kThumb);  // fill length 2 at value 0
    Leave(slider);
    EXPECT_EQ(slider.m_bHover, 0);
    EXPECT_EQ(PixelAt(6, 2), kBackground);
}

TEST_F(SliderTest, MissingPicturesLeaveTheBackgroundAndTheSliderStillReports) {
    CMProgress bare;
    QFile::remove(QStringLiteral("images/strip1.png"));
    ASSERT_TRUE(bare.Create(IDD_MPROGRESS, &host));
    bare.m_nMax = 1000;
    bare.MoveWindow(0, 30, kWidth, kHeight);
    bare.ShowWindow(SW_SHOW);
    ASSERT_TRUE(bare.SetPos(500));
    const QImage shot = bare.grab().toImage();
    EXPECT_EQ(shot.pixel(100, 10), kFill);
    EXPECT_EQ(shot.pixel(300, 10), kBackground) << "the track that did not load";
    Press(bare, QPoint(10, 10));
    Release(bare, QPoint(10, 10));
    ASSERT_TRUE(host.Flush());
    EXPECT_EQ(host.commands.size(), 1u);
}

TEST_F(SliderTest, PicturesNeverSetPaintNothing) {
    slider.m_pTrackImage.reset();
    QImage canvas = Solid(kWidth, kHeight, 0xFF123456);
    {
        QPainter painter(&canvas);
        slider.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    EXPECT_EQ(canvas.pixel(200, 10), 0xFF123456u);
}

TEST_F(SliderTest, Threads_SetPosFromWorkerWhileUiPaints) {
    std::atomic<bool> run{true};
    std::atomic<int> accepted{0};
    std::thread worker([&] {
        for (uint32_t i = 0; run; i = (i + 7) % 1200)
            if (slider.SetPos(i)) ++accepted;
    });
    for (int round = 0; round < 200; ++round) {
        if (round % 20 == 0) Press(slider, QPoint(round + 20, 10));
        if (round % 20 == 10) Release(slider, QPoint(round + 20, 10));
        slider.grab();
        QCoreApplication::processEvents();
    }
    run = false;
    worker.join();
    EXPECT_GT(accepted.load(), 0);
    EXPECT_LE(slider.GetPos(), 1000u);
    QCoreApplication::processEvents();
}

TEST_F(SliderTest, Screenshots) {
    PictureFolder real;  // leaves the test pictures
    const QString data = QStringLiteral(TELVANE_SOURCE_DIR "/data/images/");
    for (const char* name : {"strip1.png", "strip2.png", "slider.png"})
        real.Write(QString::fromLatin1(name), QImage(data + QString::fromLatin1(name)));
    CMProgress shown;
    ASSERT_TRUE(shown.Create(IDD_MPROGRESS, &host));
    shown.m_nMargin = kMargin;
    shown.m_nMax = 1000;
    shown.MoveWindow(0, 40, kWidth, kHeight);
    shown.ShowWindow(SW_SHOW);
    ASSERT_TRUE(shown.SetPos(300));
    QCoreApplication::processEvents();
    SaveShot(shown, QStringLiteral("slider-filled"));
    Move(shown, QPoint(150, 10));
    ASSERT_TRUE(PumpUntil([&] { return shown.m_bHover == 1; }));
    SaveShot(shown, QStringLiteral("slider-hovered"));
    Press(shown, QPoint(150, 10));
    Move(shown, QPoint(250, 10), Qt::LeftButton);
    SaveShot(shown, QStringLiteral("slider-dragging"));
    Release(shown, QPoint(250, 10));
}

}  // namespace
