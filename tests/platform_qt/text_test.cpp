// Fonts sized the way pixel-sized fonts are asked for, and the path ellipsis of a path control.

#include <QFontMetrics>
#include <gtest/gtest.h>

#include "platform/qt/fonts.h"
#include "platform/qt/static.h"
#include "window_test_support.h"

using namespace platform;

namespace {

struct PixelFontCase {
    int height;
    int averageWidth;
};

TEST(PixelFont, CellHeightAndAverageWidthAreThoseAskedFor) {
    const PixelFontCase cases[] = {{17, 8}, {13, 7}, {17, 4}, {13, 12}, {40, 18}};
    for (const PixelFontCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.height << " by " << c.averageWidth);
        const QFontMetrics metrics(MakePixelFont(QStringLiteral("Arial"), c.height, c.averageWidth, 400));
        EXPECT_LE(metrics.height(), c.height);
        EXPECT_GE(metrics.height(), c.height - 1);
        EXPECT_NEAR(metrics.averageCharWidth(), c.averageWidth, 1);
    }
}

TEST(PixelFont, WeightNegativeAndOddSizes) {
    EXPECT_TRUE(MakePixelFont(QStringLiteral("Arial"), 17, 8, 700).bold());
    EXPECT_FALSE(MakePixelFont(QStringLiteral("Arial"), 17, 8, 400).bold());
    // A negative height is the character height alone: the font's own pixel size.
    EXPECT_EQ(MakePixelFont(QStringLiteral("Arial"), -12, 0, 400).pixelSize(), 12);
    // Sizes no one asks for on purpose still give a usable font.
    for (int height : {0, 1, 100000, -100000}) {
        const QFont font = MakePixelFont(QStringLiteral("No Such Family"), height, -3, 5000);
        EXPECT_GT(QFontMetrics(font).height(), 0) << height;
    }
}

struct EllipsisCase {
    const char* path;
    const char* shown;  // what fits into the width of this text
};

TEST(PathEllipsis, KeepsTheBeginningAndTheWholeFileName) {
    const QFontMetrics metrics(DialogFont());
    const EllipsisCase cases[] = {
        {"/rec/a.avi", "/rec/a.avi"},
        {"/home/user/videos/2024/cam1/clip.avi", "/home/user/vi\u2026/clip.avi"},
        {"/home/user/videos/2024/cam1/clip.avi", "/h\u2026/clip.avi"},
        {"/home/user/videos/2024/cam1/clip.avi", "\u2026/clip.avi"},
        {"X0.25     /rec/cameras/front/a.avi", "X0.25     /rec\u2026/a.avi"},
        {"/rec/cameras/front/", "/rec/cam\u2026/"},
    };
    for (const EllipsisCase& c : cases) {
        const QString shown = QString::fromUtf8(c.shown);
        SCOPED_TRACE(shown.toStdString());
        EXPECT_EQ(ElidePath(QString::fromUtf8(c.path), metrics, metrics.horizontalAdvance(shown)), shown);
    }
}

TEST(PathEllipsis, FileNameTooLongAloneKeepsTheBeginningAndTheEndOfTheName) {
    const QFontMetrics metrics(DialogFont());
    const QString path = QStringLiteral("/rec/a-very-long-recording-name-from-the-front-door-camera.mp4");
    const int width = metrics.horizontalAdvance(QStringLiteral("/rec/a-very-long"));
    const QString shown = ElidePath(path, metrics, width);
    EXPECT_LE(metrics.horizontalAdvance(shown), width);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/re"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".mp4"))) << shown.toStdString();

    for (int narrow : {0, -5, 3}) EXPECT_LE(metrics.horizontalAdvance(ElidePath(path, metrics, narrow)), std::max(narrow, 0) + metrics.horizontalAdvance(QChar(0x2026)));
    EXPECT_EQ(ElidePath(QString(), metrics, 10), QString());
}

}  // namespace
