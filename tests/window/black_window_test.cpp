// The skinned frame: its rectangles, its caption buttons and cursors driven by synthetic mouse
// events, dragging and resizing through the caption poller, and the frame it paints.

#include <QDir>
#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>
#include <vector>

#include "shell/black_window.h"
#include "window_test_support.h"

using namespace platform;
using window_test::FakePointer;
using window_test::PumpUntil;

namespace {

class Frame : public CBlackWindow {
public:
    explicit Frame(bool resizable = true) : CBlackWindow(102) {
        m_bShowIcon = m_bShowTitle = m_bShowMinButton = m_bShowMaxButton = m_bShowCloseButton = 1;
        m_bResizable = resizable ? 1 : 0;
        m_bMovable = 1;
    }

    using CBlackWindow::ButtonPicture;
    using CBlackWindow::m_bCaptionDrag;
    using CBlackWindow::m_hCaptionThread;
    using CBlackWindow::m_bSizeLeft;
    using CBlackWindow::m_bSizeTop;
    using CBlackWindow::m_nCloseState;
    using CBlackWindow::m_nMaxState;
    using CBlackWindow::m_nMinState;
    using CBlackWindow::m_pRestoreClick;
    using CBlackWindow::m_pRestoreHover;
    using CBlackWindow::m_pRestoreNormal;
    using CBlackWindow::m_pMaxNormal;
    using CBlackWindow::m_rcCaption;
    using CBlackWindow::m_rcCloseButton;
    using CBlackWindow::m_rcContent;
    using CBlackWindow::m_rcIcon;
    using CBlackWindow::m_rcMaxButton;
    using CBlackWindow::m_rcMinButton;
    using CBlackWindow::m_rcTitle;
    using CBlackWindow::m_rcLeftEdge;
    using CBlackWindow::m_rcTopEdge;
    using CBlackWindow::m_rcBottomEdge;
    using CBlackWindow::m_rcRightEdge;
    using CBlackWindow::m_rcTopLeft;
    using CBlackWindow::m_rcBottomLeft;
    using CBlackWindow::m_rcTopRight;
    using CBlackWindow::m_rcBottomRight;

    std::vector<UINT> commands;

protected:
    void OnSysCommand(UINT id, LParam lParam) override {
        commands.push_back(id);
        CBlackWindow::OnSysCommand(id, lParam);
    }
};

// A frame of 400 x 300 at (100, 100), following a pointer the test controls.
class FrameTest : public ::testing::Test {
protected:
    void Open(bool resizable = true) {
        frame = std::make_unique<Frame>(resizable);
        frame->SetPointerQuery(pointer);
        ASSERT_TRUE(frame->Create(102, nullptr));
        frame->MoveWindow(100, 100, 400, 300);
    }

    std::shared_ptr<FakePointer> pointer = std::make_shared<FakePointer>();
    std::unique_ptr<Frame> frame;
};

// --- rectangles ----------------------------------------------------------------------------------

struct RectCase {
    int width, height;
};

class FrameRects : public FrameTest, public ::testing::WithParamInterface<RectCase> {};

TEST_P(FrameRects, FollowTheClientSize) {
    Open();
    const int R = GetParam().width, B = GetParam().height;
    ASSERT_TRUE(frame->CalcFrameRects(Rect{0, 0, R, B}));
    EXPECT_EQ(frame->m_rcContent, (Rect{3, 35, R - 3, B - 3}));
    EXPECT_EQ(frame->m_rcCloseButton, (Rect{R - 30, 7, R - 10, 27}));
    EXPECT_EQ(frame->m_rcMaxButton, (Rect{R - 51, 7, R - 31, 27}));
    EXPECT_EQ(frame->m_rcMinButton, (Rect{R - 72, 7, R - 52, 27}));
    EXPECT_EQ(frame->m_rcCaption, (Rect{10, 4, R - 77, 35}));
    EXPECT_EQ(frame->m_rcIcon, (Rect{7, 5, 31, 29}));
    EXPECT_EQ(frame->m_rcTitle, (Rect{32, 0, R - 88, 35}));
    EXPECT_EQ(frame->m_rcLeftEdge, (Rect{0, 4, 4, B - 4}));
    EXPECT_EQ(frame->m_rcTopEdge, (Rect{4, 0, R - 4, 4}));
    EXPECT_EQ(frame->m_rcBottomEdge, (Rect{4, B - 4, R - 4, B}));
    EXPECT_EQ(frame->m_rcRightEdge, (Rect{R - 4, 4, R, B - 4}));
    EXPECT_EQ(frame->m_rcTopLeft, (Rect{0, 0, 3, 3}));
    EXPECT_EQ(frame->m_rcBottomLeft, (Rect{0, B - 3, 3, B}));
    EXPECT_EQ(frame->m_rcTopRight, (Rect{R - 3, 0, R, 3}));
    EXPECT_EQ(frame->m_rcBottomRight, (Rect{R - 3, B - 3, R, B}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FrameRects,
                         ::testing::Values(RectCase{908, 603}, RectCase{400, 300}, RectCase{1, 1},
                                           RectCase{5000, 5000}));

TEST_F(FrameTest, RefusedSizesKeepThePreviousRectangles) {
    Open();
    ASSERT_TRUE(frame->CalcFrameRects(Rect{0, 0, 400, 300}));
    for (Rect refused : {Rect{0, 0, 0, 300}, Rect{0, 0, 400, 0}, Rect{0, 0, 5001, 300}, Rect{0, 0, 400, 5001},
                         Rect{10, 0, 5, 300}}) {
        EXPECT_FALSE(frame->CalcFrameRects(refused));
        EXPECT_EQ(frame->m_rcContent, (Rect{3, 35, 397, 297}));
    }
}

TEST(FrameWithoutWindow, RefusesToComputeRectangles) {
    Frame frame;
    EXPECT_FALSE(frame.CalcFrameRects(Rect{0, 0, 400, 300}));
}

class FrameWithoutIcon : public Frame {
public:
    FrameWithoutIcon() { m_bShowIcon = 0; }
};

TEST(FrameWithoutIcon, GivesTheTitleTheIconsPlace) {
    FrameWithoutIcon frame;
    frame.SetPointerQuery(std::make_shared<FakePointer>());
    ASSERT_TRUE(frame.Create(102, nullptr));
    ASSERT_TRUE(frame.CalcFrameRects(Rect{0, 0, 400, 300}));
    EXPECT_EQ(frame.m_rcTitle, (Rect{7, 0, 287, 35}));
    EXPECT_EQ(frame.m_rcIcon, (Rect{}));
}

// --- buttons and cursors -------------------------------------------------------------------------

struct HoverCase {
    QPoint point;
    int min, max, close;
};

class CaptionHover : public FrameTest, public ::testing::WithParamInterface<HoverCase> {};

TEST_P(CaptionHover, HoversOnlyTheButtonUnderThePointer) {
    Open();
    window_test::Move(*frame, GetParam().point);
    EXPECT_EQ(frame->m_nMinState, GetParam().min);
    EXPECT_EQ(frame->m_nMaxState, GetParam().max);
    EXPECT_EQ(frame->m_nCloseState, GetParam().close);
}

// R = 400: close 370..389, maximise 349..368, minimise 328..347; 369 and 348 are the gaps.
INSTANTIATE_TEST_SUITE_P(Points, CaptionHover,
                         ::testing::Values(HoverCase{{370, 7}, 0, 0, 2}, HoverCase{{389, 26}, 0, 0, 2},
                                           HoverCase{{369, 15}, 0, 0, 0}, HoverCase{{368, 15}, 0, 2, 0},
                                           HoverCase{{348, 15}, 0, 0, 0}, HoverCase{{347, 15}, 2, 0, 0},
                                           HoverCase{{390, 15}, 0, 0, 0}, HoverCase{{370, 27}, 0, 0, 0}));

TEST_F(FrameTest, PressAndReleaseOnCloseClosesTheWindow) {
    Open();
    frame->show();
    window_test::Press(*frame, QPoint(380, 15));
    EXPECT_EQ(frame->m_nCloseState, 1);
    window_test::Release(*frame, QPoint(380, 15));
    EXPECT_EQ(frame->commands, std::vector<UINT>{SC_CLOSE});
    EXPECT_EQ(frame->m_nCloseState, 0);
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(FrameTest, MoveBetweenPressAndReleaseTurnsThePressIntoHover) {
    Open();
    window_test::Press(*frame, QPoint(380, 15));
    window_test::Move(*frame, QPoint(381, 15), Qt::LeftButton);
    EXPECT_EQ(frame->m_nCloseState, 2);
    window_test::Release(*frame, QPoint(381, 15));
    EXPECT_TRUE(frame->commands.empty());
}

TEST_F(FrameTest, ReleaseOutsideKeepsThePressedPicture) {
    Open();
    window_test::Press(*frame, QPoint(335, 15));
    window_test::Release(*frame, QPoint(200, 150));
    EXPECT_EQ(frame->m_nMinState, 1);
    EXPECT_TRUE(frame->commands.empty());
}

TEST_F(FrameTest, HoverIsNotTrackedOverTheContent) {
    Open();
    window_test::Move(*frame, QPoint(380, 15));
    window_test::Move(*frame, QPoint(380, 40));
    EXPECT_EQ(frame->m_nCloseState, 2);
}

TEST_F(FrameTest, MaximiseButtonShowsRestorePicturesWhileMaximised) {
    Open();
    frame->show();
    frame->LoadFrameImages();
    EXPECT_EQ(frame->ButtonPicture(1, 0), frame->m_pMaxNormal.get());
    window_test::Press(*frame, QPoint(355, 15));
    window_test::Release(*frame, QPoint(355, 15));
    ASSERT_EQ(frame->commands, std::vector<UINT>{SC_MAXIMIZE});
    ASSERT_TRUE(frame->IsZoomed());
    EXPECT_EQ(frame->ButtonPicture(1, 0), frame->m_pRestoreNormal.get());
    EXPECT_EQ(frame->ButtonPicture(1, 1), frame->m_pRestoreClick.get());
    EXPECT_EQ(frame->ButtonPicture(1, 2), frame->m_pRestoreHover.get());

    Rect client;
    frame->GetClientRect(&client);
    const QPoint maxButton(client.right - 45, 15);
    window_test::Press(*frame, maxButton);
    window_test::Release(*frame, maxButton);
    EXPECT_EQ(frame->commands.back(), SC_RESTORE);
    EXPECT_FALSE(frame->IsZoomed());
}

TEST_F(FrameTest, DoubleClickOnCaptionMaximisesAndRestores) {
    Open();
    frame->show();
    window_test::DoubleClick(*frame, QPoint(150, 15));
    EXPECT_TRUE(frame->IsZoomed());
    window_test::DoubleClick(*frame, QPoint(150, 15));
    EXPECT_EQ(frame->commands, (std::vector<UINT>{SC_MAXIMIZE, SC_RESTORE}));
}

TEST_F(FrameTest, UnresizableWindowShowsNoSizingCursorAndDoesNotMaximise) {
    Open(false);
    frame->show();
    window_test::Move(*frame, QPoint(1, 150));
    EXPECT_EQ(frame->cursor().shape(), Qt::ArrowCursor);
    window_test::Press(*frame, QPoint(1, 150));
    EXPECT_EQ(frame->m_bSizeLeft, 0);
    window_test::Release(*frame, QPoint(1, 150));
    window_test::DoubleClick(*frame, QPoint(150, 15));
    EXPECT_FALSE(frame->IsZoomed());
    EXPECT_EQ(frame->commands, std::vector<UINT>{SC_RESTORE});
}

struct CursorCase {
    QPoint point;
    Qt::CursorShape shape;
};

class SizingCursor : public FrameTest, public ::testing::WithParamInterface<CursorCase> {};

TEST_P(SizingCursor, FollowsTheZoneUnderThePointer) {
    Open();
    window_test::Move(*frame, GetParam().point);
    EXPECT_EQ(frame->cursor().shape(), GetParam().shape);
}

// 400 x 300: edges 4 deep from 4 pixels off the corners, corners 3 x 3, and an L-shaped band
// around each corner square that belongs to no zone.
INSTANTIATE_TEST_SUITE_P(
    Zones, SizingCursor,
    ::testing::Values(CursorCase{{0, 150}, Qt::SizeHorCursor}, CursorCase{{399, 150}, Qt::SizeHorCursor},
                      CursorCase{{200, 3}, Qt::SizeVerCursor}, CursorCase{{200, 296}, Qt::SizeVerCursor},
                      CursorCase{{2, 2}, Qt::SizeFDiagCursor}, CursorCase{{399, 299}, Qt::SizeFDiagCursor},
                      CursorCase{{0, 299}, Qt::SizeBDiagCursor}, CursorCase{{397, 0}, Qt::SizeBDiagCursor},
                      CursorCase{{3, 0}, Qt::ArrowCursor}, CursorCase{{0, 3}, Qt::ArrowCursor},
                      CursorCase{{3, 3}, Qt::ArrowCursor}, CursorCase{{396, 3}, Qt::ArrowCursor},
                      CursorCase{{200, 150}, Qt::ArrowCursor}));

// --- the caption poller --------------------------------------------------------------------------

TEST_F(FrameTest, CaptionDragFollowsThePointerUntilTheButtonIsReleased) {
    Open();
    frame->show();
    ASSERT_TRUE(window_test::SettlePointer(*pointer, Point{250, 115}, true));  // where the press happens
    window_test::Press(*frame, QPoint(150, 15));
    pointer->Set(Point{290, 135}, true);
    ASSERT_TRUE(PumpUntil([&] { return frame->pos() == QPoint(140, 120); }));
    pointer->Set(Point{600, 600}, true);  // running ahead of the window
    ASSERT_TRUE(PumpUntil([&] { return frame->pos() == QPoint(450, 585); }));
    EXPECT_EQ(frame->size(), QSize(400, 300));

    pointer->Set(Point{600, 600}, false);  // released anywhere
    ASSERT_TRUE(PumpUntil([&] { return frame->m_bCaptionDrag == 0; }));
    ASSERT_TRUE(window_test::SettlePointer(*pointer, Point{700, 700}, false));
    window_test::PumpFor(10);
    EXPECT_EQ(frame->pos(), QPoint(450, 585));
}

struct ResizeCase {
    QPoint press;        // client point of the press
    QPoint drag;         // how far the pointer moves
    QRect expected;      // the window afterwards
};

class PollerResize : public FrameTest, public ::testing::WithParamInterface<ResizeCase> {};

TEST_P(PollerResize, MovesTheDraggedEdgesAndKeepsTheOthers) {
    Open();
    frame->show();
    const QPoint start = QPoint(100, 100) + GetParam().press;
    ASSERT_TRUE(window_test::SettlePointer(*pointer, Point{start.x(), start.y()}, true));
    window_test::Press(*frame, GetParam().press);
    const QPoint end = start + GetParam().drag;
    pointer->Set(Point{end.x(), end.y()}, true);
    ASSERT_TRUE(PumpUntil([&] { return frame->geometry() == GetParam().expected; }))
        << "window at " << frame->geometry().x() << "," << frame->geometry().y() << " "
        << frame->geometry().width() << "x" << frame->geometry().height();
    pointer->Set(Point{end.x(), end.y()}, false);
    ASSERT_TRUE(PumpUntil([&] { return frame->m_bSizeLeft == 0 && frame->m_bSizeTop == 0; }));
}

INSTANTIATE_TEST_SUITE_P(
    Edges, PollerResize,
    ::testing::Values(ResizeCase{{1, 150}, {-20, 7}, QRect(80, 100, 420, 300)},     // left keeps right
                      ResizeCase{{200, 1}, {9, -25}, QRect(100, 75, 400, 325)},     // top keeps bottom
                      ResizeCase{{398, 150}, {30, 0}, QRect(100, 100, 430, 300)},   // right
                      ResizeCase{{200, 298}, {0, 40}, QRect(100, 100, 400, 340)},   // bottom
                      ResizeCase{{1, 1}, {10, 10}, QRect(110, 110, 390, 290)},      // top-left
                      ResizeCase{{398, 298}, {-50, -20}, QRect(100, 100, 350, 280)},
                      ResizeCase{{1, 298}, {-5, 5}, QRect(95, 100, 405, 305)},
                      ResizeCase{{398, 1}, {5, 5}, QRect(100, 105, 405, 295)},
                      // past the smallest size the dragged edge stops, the opposite one stays
                      ResizeCase{{1, 150}, {1000, 0}, QRect(380, 100, 120, 300)},
                      ResizeCase{{200, 1}, {0, 1000}, QRect(100, 360, 400, 40)}));

TEST_F(FrameTest, WithoutAGlobalPointerTheCompositorTakesDragAndResize) {
    frame = std::make_unique<Frame>();
    frame->SetPointerQuery(CreateNoPointerQuery());
    ASSERT_TRUE(frame->Create(102, nullptr));
    EXPECT_FALSE(frame->m_hCaptionThread.IsStarted());  // nothing to poll
    frame->MoveWindow(100, 100, 400, 300);
    frame->show();
    window_test::Press(*frame, QPoint(150, 15));
    EXPECT_EQ(frame->m_bCaptionDrag, 0);
    window_test::Release(*frame, QPoint(150, 15));
    window_test::Press(*frame, QPoint(1, 150));
    EXPECT_EQ(frame->m_bSizeLeft, 0);
    window_test::Release(*frame, QPoint(1, 150));
    window_test::PumpFor(20);
    EXPECT_EQ(frame->geometry(), QRect(100, 100, 400, 300));
}

TEST(ResizeArithmetic, AppliesEveryRaisedFlagOnce) {
    SizingEdges both;
    both.left = both.topLeft = true;  // the left edge moves twice, as two raised zones ask
    const Rect result = ResizeWindowRect(Rect{100, 100, 500, 400}, both, -10, -5, 1, 1, 5000);
    EXPECT_EQ(result, (Rect{80, 95, 500, 400}));
}

TEST_F(FrameTest, DestructionJoinsThePollerWhileItPostsMoves) {
    Open();
    frame->show();
    ASSERT_TRUE(window_test::SettlePointer(*pointer, Point{250, 115}, true));
    window_test::Press(*frame, QPoint(150, 15));
    for (int i = 0; i < 20; ++i) {
        pointer->Set(Point{250 + i, 115}, true);
        window_test::PumpFor(2);
    }
    frame.reset();  // must neither hang nor touch a freed window
    SUCCEED();
}

// --- the painted frame ---------------------------------------------------------------------------

QRgb PictureColour(int index) { return qRgb(20 + index * 15, 200 - index * 10, 40 + index * 12); }

const char* const kButtonFiles[12] = {"minnormal",   "minhover",     "minclick",     "maxnormal",
                                      "maxhover",    "maxclick",     "restorenormal", "restorehover",
                                      "restoreclick", "closenormal", "closehover",   "closeclick"};

// A background whose caption rows, body rows and unused side columns have colours of their own.
void WritePictures(const QString& folder) {
    QDir(folder).mkpath("pictures");
    QImage background(100, 100, QImage::Format_RGB32);
    background.fill(qRgb(0, 0, 255));
    QPainter painter(&background);
    painter.fillRect(20, 0, 60, 42, QColor(200, 0, 0));
    painter.fillRect(20, 43, 60, 57, QColor(0, 200, 0));
    painter.end();
    ASSERT_TRUE(background.save(folder + "/pictures/background.png"));
    for (int i = 0; i < 12; ++i) {
        QImage button(20, 20, QImage::Format_RGB32);
        button.fill(PictureColour(i));
        ASSERT_TRUE(button.save(folder + "/pictures/" + kButtonFiles[i] + ".png"));
    }
}

TEST_F(FrameTest, PaintsCaptionBorderAndButtonStatesFromThePictures) {
    window_test::ScopedWorkingFolder folder;
    WritePictures(folder.Path());
    Open();
    frame->show();
    auto shot = [&] { return frame->grab().toImage(); };

    QImage image = shot();
    EXPECT_EQ(image.pixel(150, 2), qRgb(200, 0, 0));      // caption strip
    EXPECT_EQ(image.pixel(0, 150), qRgb(0, 200, 0));      // left border from the body strip
    EXPECT_EQ(image.pixel(399, 150), qRgb(0, 200, 0));    // the side columns are never used
    EXPECT_EQ(image.pixel(200, 298), qRgb(0, 200, 0));
    EXPECT_EQ(image.pixel(380, 15), PictureColour(9));    // close, normal
    EXPECT_EQ(image.pixel(337, 15), PictureColour(0));    // minimise, normal

    window_test::Move(*frame, QPoint(380, 15));
    EXPECT_EQ(shot().pixel(380, 15), PictureColour(10));  // close, hover
    window_test::Press(*frame, QPoint(337, 15));
    EXPECT_EQ(shot().pixel(337, 15), PictureColour(2));   // minimise, pressed
}

TEST_F(FrameTest, UndecodableOrMissingPicturesLeaveAPlainFrame) {
    window_test::ScopedWorkingFolder folder;
    QDir(folder.Path()).mkpath("pictures");
    QFile broken(folder.Path() + "/pictures/background.png");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    Open();
    frame->show();
    const QImage image = frame->grab().toImage();
    EXPECT_EQ(image.pixel(150, 2), qRgb(0, 22, 30));
    EXPECT_EQ(image.pixel(0, 150), qRgb(0, 22, 30));
    EXPECT_EQ(image.pixel(380, 15), qRgb(0, 22, 30));
}

}  // namespace
