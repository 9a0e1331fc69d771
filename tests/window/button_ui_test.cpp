// The owner-drawn push button: its four looks rendered offscreen, and hover tracking.

#include <QPainter>
#include <gtest/gtest.h>

#include "controls/button_ui.h"
#include "platform/qt/dialog.h"
#include "window_test_support.h"

using namespace platform;
using window_test::PumpUntil;

namespace {

constexpr int kWidth = 60, kHeight = 24;
constexpr QRgb kTransparent = 0;
constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00, kCyan = 0xFF00FFFF,
               kMagenta = 0xFFFF00FF, kGreen = 0xFF008000, kWhite = 0xFFFFFFFF, kSilver = 0xFFC0C0C0;

class CountingButton : public CButtonUI {
public:
    int hovers = 0;

protected:
    void OnMouseHover(UINT flags, Point point) override {
        ++hovers;
        CButtonUI::OnMouseHover(flags, point);
    }
};

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.Create(134, nullptr));
        ASSERT_TRUE(button.Create(QString(), WS_VISIBLE, Rect{10, 10, 10 + kWidth, 10 + kHeight}, &host, 5));
        button.m_crNormalFill = 0xFFFF0000;
        button.m_crNormalBorder = 0xFF0000FF;
        button.m_crHoverFill = 0xFFFFFF00;
        button.m_crHoverBorder = 0xFF00FFFF;
        button.m_crPressedFill = 0xFFFF00FF;
        button.m_crPressedBorder = 0xFF008000;
        button.m_crNormalText = button.m_crHoverText = button.m_crPressedText = 0xFF00FF00;
    }

    QImage Render(UINT itemState, int hover) {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        DRAWITEMSTRUCT item;
        item.dc = &painter;
        item.itemState = itemState;
        item.rcItem = Rect{0, 0, 7, 7};  // ignored: the shape fills the client rectangle
        button.m_bHover = hover;
        button.DrawItem(item);
        return image;
    }

    CDialogEx host{134};
    CountingButton button;
};

TEST(ButtonLook, PressedWinsThenHoverThenDisabled) {
    using Look = CButtonUI::Look;
    struct Case {
        UINT state;
        int hover;
        Look look;
    };
    for (const Case& c : {Case{0, 0, Look::Normal}, Case{0, 1, Look::Hover}, Case{ODS_SELECTED, 1, Look::Pressed},
                          Case{ODS_DISABLED, 0, Look::Disabled}, Case{ODS_DISABLED, 1, Look::Hover},
                          Case{ODS_SELECTED | ODS_DISABLED, 0, Look::Pressed}})
        EXPECT_EQ(CButtonUI::ChooseLook(c.state, c.hover), c.look) << c.state << " hover " << c.hover;
}

TEST_F(ButtonTest, BindingMakesTheButtonOwnerDrawn) {
    EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, BS_OWNERDRAW);
}

struct LookCase {
    const char* name;
    int style;
    UINT state;
    int hover;
    QRgb fill, border;
    QRgb rightInner;   // the column just inside the right outline, x = R - 2
    QRgb bottomInner;  // the row just inside the bottom outline, y = B - 2
};

class ButtonLooks : public ButtonTest, public ::testing::WithParamInterface<LookCase> {};

TEST_P(ButtonLooks, FillOutlineAndPressedLinesSitWhereTheShapeSays) {
    const LookCase& c = GetParam();
    button.m_nStyle = c.style;
    const QImage image = Render(c.state, c.hover);
    EXPECT_EQ(image.pixel(6, kHeight / 2), c.fill) << "fill inside";
    EXPECT_EQ(image.pixel(kWidth / 2, kHeight / 2), c.fill) << "no text, only the shape";
    EXPECT_EQ(image.pixel(0, kHeight / 2), c.border) << "left outline";
    EXPECT_EQ(image.pixel(kWidth / 2, 0), c.border) << "top outline";
    EXPECT_EQ(image.pixel(kWidth - 2, kHeight / 2), c.rightInner);
    EXPECT_EQ(image.pixel(kWidth / 2, kHeight - 2), c.bottomInner);
}


INSTANTIATE_TEST_SUITE_P(
    Shapes, ButtonLooks,
    ::testing::Values(
        LookCase{"rounded_normal", 2, 0, 0, kRed, kBlue, kRed, kRed},
        LookCase{"rounded_hover", 2, 0, 1, kYellow, kCyan, kYellow, kYellow},
        LookCase{"rounded_disabled", 2, ODS_DISABLED, 0, kWhite, kSilver, kWhite, kWhite},
        // the pressed outline stands one pixel in, with an extra line outside it
        LookCase{"rounded_pressed", 2, ODS_SELECTED, 0, kMagenta, kGreen, kGreen, kGreen},
        LookCase{"square_normal", 0, 0, 0, kRed, kBlue, kRed, kRed},
        LookCase{"square_hover", 0, 0, 1, kYellow, kCyan, kYellow, kYellow},
        LookCase{"square_disabled", 0, ODS_DISABLED, 0, kWhite, kSilver, kWhite, kWhite},
        LookCase{"square_pressed", 0, ODS_SELECTED, 0, kMagenta, kGreen, kMagenta, kMagenta}),
    [](const ::testing::TestParamInfo<LookCase>& info) { return std::string(info.param.name); });

TEST_F(ButtonTest, PressedLookDrawsFullLinesAlongTheRightAndBottomEdges) {
    for (int style : {0, 2}) {
        button.m_nStyle = style;
        const QImage pressed = Render(ODS_SELECTED, 0);
        const QImage normal = Render(0, 0);
        EXPECT_EQ(pressed.pixel(kWidth - 1, kHeight / 2), kGreen) << style;
        EXPECT_EQ(pressed.pixel(kWidth / 2, kHeight - 1), kGreen) << style;
        EXPECT_NE(normal.pixel(kWidth / 2, kHeight - 1), kGreen) << style;
    }
}

TEST_F(ButtonTest, RoundedNormalLookFillsTheCornersOutsideTheOutlineHoverDoesNot) {
    button.m_nStyle = 2;
    button.m_crHoverFill = button.m_crNormalFill;
    button.m_crNormalBorder = button.m_crHoverBorder = 0x00000000;  // fills only
    const QImage normal = Render(0, 0);
    const QImage hover = Render(0, 1);
    // The inner rectangle's corner pixel lies mostly outside the rounded outline: a quarter of it
    // is covered by the normal look's rectangle, less by the hover look's path.
    EXPECT_NEAR(qAlpha(normal.pixel(1, 1)), 64, 8);
    EXPECT_GT(qAlpha(normal.pixel(1, 1)), qAlpha(hover.pixel(1, 1)) + 8);
    EXPECT_EQ(normal.pixel(0, 0), kTransparent);
    EXPECT_EQ(normal.pixel(kWidth / 2, 0), kTransparent);  // the fill starts inside the outline
    EXPECT_EQ(normal.pixel(4, 4), kRed);
    EXPECT_EQ(hover.pixel(4, 4), kRed);
}

QRect TextBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qGreen(p) > 200 && qRed(p) < 100 && qBlue(p) < 100) bounds |= QRect(x, y, 1, 1);
        }
    return bounds;
}

TEST_F(ButtonTest, PressedTextMovesOnePixelRightAndDown) {
    button.SetWindowText("OK");
    button.m_crNormalFill = button.m_crPressedFill = 0xFF000000;
    button.m_crNormalBorder = button.m_crPressedBorder = 0xFF000000;
    const QRect normal = TextBounds(Render(0, 0));
    const QRect pressed = TextBounds(Render(ODS_SELECTED, 0));
    ASSERT_FALSE(normal.isEmpty());
    EXPECT_EQ(pressed, normal.translated(1, 1));
}

TEST_F(ButtonTest, DefaultColoursGiveBlackOnBlackExceptDisabled) {
    CButtonUI plain;
    ASSERT_TRUE(plain.Create("A", WS_VISIBLE, Rect{0, 0, kWidth, kHeight}, &host, 6));
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED)}) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        DRAWITEMSTRUCT item;
        item.dc = &painter;
        item.itemState = state;
        plain.DrawItem(item);
        painter.end();
        EXPECT_EQ(image.pixel(kWidth / 2, kHeight / 2), 0xFF000000u);
    }
}

TEST_F(ButtonTest, PictureStyleDrawsThePictureAtTheLeftAndMovesTheTextRight) {
    button.SetWindowText("OK");
    const QRect plain = TextBounds(Render(0, 0));
    button.m_nStyle = CButtonUI::kStylePicture;
    button.m_pButtonImage = std::make_unique<QImage>(8, 8, QImage::Format_ARGB32);
    button.m_pButtonImage->fill(QColor(0, 0, 255));
    const QImage image = Render(0, 0);
    EXPECT_EQ(image.pixel(4 + 10, kHeight / 2), kBlue);  // a (height - 4)-pixel square from x = 4
    EXPECT_GT(TextBounds(image).left(), plain.left());
}

TEST_F(ButtonTest, EachEntryAsksForOneHoverAndLeavingRearmsIt) {
    host.show();
    for (int entry = 1; entry <= 2; ++entry) {
        window_test::Enter(button, QPoint(5, 5));
        window_test::Move(button, QPoint(5, 5));
        EXPECT_EQ(button.m_bTrackNeeded, 0);
        ASSERT_TRUE(PumpUntil([&] { return button.m_bHover == 1; }));
        window_test::Move(button, QPoint(6, 5));
        window_test::Move(button, QPoint(7, 6));
        window_test::PumpFor(20);
        EXPECT_EQ(button.hovers, entry);
        window_test::Leave(button);
        EXPECT_EQ(button.m_bHover, 0);
        EXPECT_EQ(button.m_bTrackNeeded, 1);
    }
}

TEST_F(ButtonTest, HoverRequestWhileOutsideGivesALeaveAtOnce) {
    host.show();
    button.TrackMouseEvent(TME_HOVER | TME_LEAVE, 1);
    window_test::PumpFor(20);
    EXPECT_EQ(button.hovers, 0);
    EXPECT_EQ(button.m_bTrackNeeded, 1);
}

}  // namespace
