// The image button: which frame each mouse state shows, how strips and tooltip texts are taken,
// and the command it posts on a press.

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "control_test_support.h"
#include "controls/m_button.h"

using namespace platform;
using namespace control_test;

namespace {

constexpr QRgb kRed = 0xFFE00000, kGreen = 0xFF00E000, kBlue = 0xFF0000E0;
constexpr QRgb kYellow = 0xFFE0E000, kCyan = 0xFF00E0E0, kMagenta = 0xFFE000E0;
constexpr QRgb kUntouched = 0xFF123456;
constexpr int kFrame = 10;
constexpr int kButtonSize = 24;

// A strip whose normal, pressed and hover frames are the given colours, left to right.
QImage Strip(QRgb normal, QRgb pressed, QRgb hover) {
    QImage strip(3 * kFrame, kFrame, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(0, 0, kFrame, kFrame, QColor::fromRgba(normal));
    painter.fillRect(kFrame, 0, kFrame, kFrame, QColor::fromRgba(pressed));
    painter.fillRect(2 * kFrame, 0, kFrame, kFrame, QColor::fromRgba(hover));
    return strip;
}

// What the button paints over a window that showed kUntouched: no background is painted for it.
QImage Rendered(CMButton& button) {
    QImage image(button.size(), QImage::Format_ARGB32);
    image.fill(kUntouched);
    button.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QRgb Centre(CMButton& button) { return Rendered(button).pixel(kButtonSize / 2, kButtonSize / 2); }

bool AllPixels(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != colour) return false;
    return true;
}

QRgb FirstPixel(const std::unique_ptr<QImage>& picture) { return picture->pixel(0, 0); }

class ImageButton : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(m_parent.Create(134));
        m_parent.show();
    }

    // Creates the button in the parent with the pictures already written to images/.
    void CreateButton(std::initializer_list<const char*> pictures, int id = 42) {
        ASSERT_TRUE(m_button.Create(IDD_MBUTTON, &m_parent));
        for (const char* picture : pictures) m_button.SetImage(QString::fromLatin1(picture));
        m_button.m_nID = id;
        m_button.MoveWindow(0, 0, kButtonSize, kButtonSize);
        m_button.ShowWindow(SW_SHOW);
    }

    // The first move asks for hover and leave; the hover comes from the event loop.
    void Hover() {
        Move(m_button, QPoint(5, 5));
        ASSERT_TRUE(PumpUntil([this] { return m_button.m_nState == CMButton::kHover; }));
    }

    PictureFolder m_folder;
    CommandRecorder m_parent;
    CMButton m_button;
};

TEST(ImageButtonFrames, EachStateShowsItsSquareOfTheStrip) {
    struct Case {
        int state;
        int height;
        Rect source;
    };
    const Case cases[] = {
        {CMButton::kNormal, 23, Rect{0, 0, 23, 23}},
        {CMButton::kPressed, 23, Rect{23, 0, 46, 23}},
        {CMButton::kHover, 23, Rect{46, 0, 69, 23}},
        {CMButton::kPressed, 50, Rect{50, 0, 100, 50}},
        {CMButton::kHover, 50, Rect{100, 0, 150, 50}},
        {7, 25, Rect{0, 0, 25, 25}},
        {-1, 25, Rect{0, 0, 25, 25}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMButton::FrameSource(c.state, c.height), c.source) << "state " << c.state << " height " << c.height;
}

TEST_F(ImageButton, OneStripButtonTakesEachNewPictureInPlaceOfTheLast) {
    m_folder.Write("a.png", Strip(kRed, kRed, kRed));
    m_folder.Write("b.png", Strip(kGreen, kGreen, kGreen));
    EXPECT_TRUE(m_button.SetImage(QStringLiteral("images/a.png")));
    EXPECT_TRUE(m_button.SetImage(QStringLiteral("images/b.png")));
    ASSERT_TRUE(m_button.m_pImage);
    EXPECT_EQ(FirstPixel(m_button.m_pImage), kGreen);
    EXPECT_FALSE(m_button.m_pImage2);
}

TEST_F(ImageButton, TwoStripButtonTakesTwoPicturesAndIgnoresAThird) {
    m_folder.Write("a.png", Strip(kRed, kRed, kRed));
    m_folder.Write("b.png", Strip(kGreen, kGreen, kGreen));
    m_folder.Write("c.png", Strip(kBlue, kBlue, kBlue));
    m_button.m_bTwoImages = 1;
    for (const char* name : {"images/a.png", "images/b.png", "images/c.png"})
        EXPECT_TRUE(m_button.SetImage(QString::fromLatin1(name))) << name;
    ASSERT_TRUE(m_button.m_pImage && m_button.m_pImage2);
    EXPECT_EQ(FirstPixel(m_button.m_pImage), kRed);
    EXPECT_EQ(FirstPixel(m_button.m_pImage2), kGreen);
}

TEST_F(ImageButton, NullPathIsRefusedAndAMissingFileStillSetsAStripThatDrawsNothing) {
    EXPECT_FALSE(m_button.SetImage(nullptr));
    EXPECT_FALSE(m_button.m_pImage);

    EXPECT_TRUE(m_button.SetImage(QStringLiteral("images/missing.png")));
    ASSERT_TRUE(m_button.m_pImage);
    EXPECT_TRUE(m_button.m_pImage->isNull());
}

TEST_F(ImageButton, TooltipTextsFillTheFreeSlotsTheStripCountAllows) {
    CMButton& one = m_button;
    one.SetTipText(QStringLiteral("Open"));
    one.SetTipText(QStringLiteral("Other"));
    EXPECT_EQ(one.m_strTip, QStringLiteral("Open"));
    EXPECT_TRUE(one.m_strTip2.isEmpty());

    CMButton two;
    two.m_bTwoImages = 1;
    ASSERT_TRUE(two.Create(IDD_MBUTTON, &m_parent));
    for (const char* text : {"Play", "Pause", "Third"}) two.SetTipText(QString::fromLatin1(text));
    EXPECT_EQ(two.m_strTip, QStringLiteral("Play"));
    EXPECT_EQ(two.m_strTip2, QStringLiteral("Pause"));
    EXPECT_EQ(two.m_ToolTip.GetText(), QStringLiteral("Play"));
}

TEST_F(ImageButton, CreatedTooltipShowsTheFirstTextGivenAfterCreation) {
    CreateButton({});
    m_button.SetTipText(QStringLiteral("Stop"));
    EXPECT_EQ(m_button.m_ToolTip.GetText(), QStringLiteral("Stop"));
}

TEST_F(ImageButton, PressPostsOneCommandAtOnceEvenIfThePointerThenLeaves) {
    m_folder.Write("stop.png", Strip(kRed, kGreen, kBlue));
    CreateButton({"images/stop.png"}, 3);

    Press(m_button, QPoint(4, 4));
    Leave(m_button);
    ASSERT_TRUE(m_parent.Flush());
    ASSERT_EQ(m_parent.commands.size(), 1u);
    EXPECT_EQ(m_parent.commands[0].message, WM_COMMAND);
    EXPECT_EQ(m_parent.commands[0].wParam, 3u);
    EXPECT_EQ(m_parent.commands[0].lParam, 0);

    // The button-up, wherever it happens, posts nothing more; the next press posts again.
    Release(m_button, QPoint(4, 4));
    ASSERT_TRUE(m_parent.Flush());
    EXPECT_EQ(m_parent.commands.size(), 1u);
    Press(m_button, QPoint(4, 4));
    ASSERT_TRUE(m_parent.Flush());
    EXPECT_EQ(m_parent.commands.size(), 2u);
}

TEST_F(ImageButton, HoverShowsTheHoverFrameAndAPressKeepsThePressedFrameUntilLeaving) {
    m_folder.Write("play.png", Strip(kRed, kGreen, kBlue));
    CreateButton({"images/play.png"});
    EXPECT_EQ(Centre(m_button), kRed);

    Hover();
    EXPECT_EQ(Centre(m_button), kBlue);
    SaveShot(m_button, QStringLiteral("test-strip-hover"));

    Press(m_button, QPoint(5, 5));
    Move(m_button, QPoint(6, 6));
    ASSERT_TRUE(m_parent.Flush());
    EXPECT_EQ(m_button.m_nState, CMButton::kPressed);
    EXPECT_EQ(Centre(m_button), kGreen);

    Leave(m_button);
    EXPECT_EQ(m_button.m_nState, CMButton::kNormal);
    EXPECT_EQ(m_button.m_bTracking, 0);
    EXPECT_EQ(Centre(m_button), kRed);

    // Coming back asks for a new hover.
    Hover();
    EXPECT_EQ(Centre(m_button), kBlue);
}

TEST_F(ImageButton, PressBeforeTheHoverArrivesEndsInTheHoverFrame) {
    m_folder.Write("play.png", Strip(kRed, kGreen, kBlue));
    CreateButton({"images/play.png"});
    Move(m_button, QPoint(5, 5));
    Press(m_button, QPoint(5, 5));
    EXPECT_EQ(Centre(m_button), kGreen);
    ASSERT_TRUE(PumpUntil([this] { return m_button.m_nState == CMButton::kHover; }));
    EXPECT_EQ(Centre(m_button), kBlue);
}

TEST_F(ImageButton, OwnerSwitchesStripsAndTheStatePicksTheFrame) {
    m_folder.Write("play.png", Strip(kRed, kGreen, kBlue));
    m_folder.Write("pause.png", Strip(kYellow, kCyan, kMagenta));
    m_button.m_bTwoImages = 1;
    CreateButton({"images/play.png", "images/pause.png"});
    m_button.m_nImage = 1;
    EXPECT_EQ(Centre(m_button), kYellow);
    Hover();
    EXPECT_EQ(Centre(m_button), kMagenta);
    m_button.m_nImage = 0;
    EXPECT_EQ(Centre(m_button), kBlue);
}

TEST_F(ImageButton, MissingPictureShowsOnlyTheBackgroundAndStillPosts) {
    CreateButton({"images/missing.png"}, 8);
    EXPECT_TRUE(AllPixels(Rendered(m_button), CMButton::kBackground));
    Hover();
    EXPECT_TRUE(AllPixels(Rendered(m_button), CMButton::kBackground));

    Press(m_button, QPoint(3, 3));
    ASSERT_TRUE(m_parent.Flush());
    ASSERT_EQ(m_parent.commands.size(), 1u);
    EXPECT_EQ(m_parent.commands[0].wParam, 8u);
}

TEST_F(ImageButton, StripNeverSetPaintsNothingAtAll) {
    m_folder.Write("play.png", Strip(kRed, kGreen, kBlue));
    m_button.m_bTwoImages = 1;
    CreateButton({"images/play.png"});
    m_button.m_nImage = 1;
    EXPECT_TRUE(AllPixels(Rendered(m_button), kUntouched));

    CMButton bare;
    ASSERT_TRUE(bare.Create(IDD_MBUTTON, &m_parent));
    bare.MoveWindow(30, 0, kButtonSize, kButtonSize);
    EXPECT_TRUE(AllPixels(Rendered(bare), kUntouched));
}

TEST_F(ImageButton, TransparentPartsOfTheStripShowTheBackground) {
    m_folder.Write("clear.png", Strip(qRgba(0, 0, 0, 0), kGreen, kBlue));
    CreateButton({"images/clear.png"});
    EXPECT_TRUE(AllPixels(Rendered(m_button), CMButton::kBackground));
}

TEST_F(ImageButton, PictureWithFewerFramesShowsTheBackgroundForTheFramesItLacks) {
    QImage single(kFrame, kFrame, QImage::Format_ARGB32);
    single.fill(kRed);
    m_folder.Write("single.png", single);
    CreateButton({"images/single.png"});
    EXPECT_TRUE(AllPixels(Rendered(m_button), kRed));
    Hover();
    EXPECT_TRUE(AllPixels(Rendered(m_button), CMButton::kBackground));
    m_button.MoveWindow(0, 0, 0, 0);
    EXPECT_EQ(Rendered(m_button).size(), QSize(0, 0));
}

TEST_F(ImageButton, ShippedStripsShowADifferentFrameInEachState) {
    const QString images = QStringLiteral(TELVANE_SOURCE_DIR "/data/images/");
    for (const char* name : {"play", "stop", "volopen", "open", "add", "snapshot"}) {
        SCOPED_TRACE(name);
        CMButton button;
        ASSERT_TRUE(button.Create(IDD_MBUTTON, &m_parent));
        button.SetImage(images + QString::fromLatin1(name) + QStringLiteral(".png"));
        ASSERT_TRUE(button.m_pImage && !button.m_pImage->isNull());
        button.MoveWindow(0, 0, button.m_pImage->height(), button.m_pImage->height());
        button.ShowWindow(SW_SHOW);
        QImage shots[3];
        const char* const stateNames[3] = {"normal", "hover", "pressed"};
        for (int state : {CMButton::kNormal, CMButton::kHover, CMButton::kPressed}) {
            button.m_nState = state;
            shots[state] = button.grab().toImage().convertToFormat(QImage::Format_ARGB32);
            SaveShot(button, QString::fromLatin1(name) + QLatin1Char('-') + QString::fromLatin1(stateNames[state]));
        }
        EXPECT_NE(shots[0], shots[1]);
        EXPECT_NE(shots[0], shots[2]);
        EXPECT_NE(shots[1], shots[2]);
        // The panels' colour shows in the corners, where the artwork is transparent.
        EXPECT_EQ(shots[0].pixel(0, 0), CMButton::kBackground);
    }
}

}  // namespace
