// The shared drawing kit: pictures that fail to load, stretched drawing of part of a picture, and
// off-screen composition copied to its target.

#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/qt/draw_kit.h"
#include "window_test_support.h"

using namespace platform;

namespace {

const QRgb kKitRed = qRgb(255, 0, 0);
const QRgb kKitBlue = qRgb(0, 0, 255);
const QRgb kKitWhite = qRgb(255, 255, 255);

QImage Canvas(int width, int height) {
    QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(kKitWhite);
    return canvas;
}

// Red left half, blue right half.
QImage TwoColourPicture(int width, int height) {
    QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
    picture.fill(kKitBlue);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 2; ++x) picture.setPixel(x, y, kKitRed);
    return picture;
}

// One character per column of row y: r, b, w, or ? for anything else (a smooth blend).
std::string Row(const QImage& image, int y) {
    std::string row;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        row += pixel == kKitRed ? 'r' : pixel == kKitBlue ? 'b' : pixel == kKitWhite ? 'w' : '?';
    }
    return row;
}

TEST(DrawKitPictures, FilesThatDoNotLoadGiveAPictureThatDrawsNothing) {
    QTemporaryDir dir;
    QFile garbage(dir.filePath("garbage.png"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a picture at all");
    garbage.close();
    for (const QString& path : {dir.filePath("missing.png"), dir.filePath("garbage.png"), dir.path(), QString()}) {
        const std::unique_ptr<QImage> picture = LoadPicture(path);
        ASSERT_NE(picture, nullptr) << path.toStdString();
        EXPECT_TRUE(picture->isNull());
        EXPECT_FALSE(CanDraw(picture.get()));
    }
    EXPECT_FALSE(CanDraw(nullptr));

    ASSERT_TRUE(TwoColourPicture(6, 3).save(dir.filePath("good.png")));
    const std::unique_ptr<QImage> good = LoadPicture(dir.filePath("good.png"));
    EXPECT_TRUE(CanDraw(good.get()));
    EXPECT_EQ(good->size(), QSize(6, 3));
}

TEST(DrawKitPictures, AnIconFileGivesTheNarrowestSizeThatReachesTheWantedWidth) {
    const QString icon = QStringLiteral(TELVANE_SOURCE_DIR "/data/pictures/Orvex.ico");
    QImageReader reader(icon);
    int narrowest = INT_MAX, widest = 0;
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const int width = reader.read().width();
        narrowest = std::min(narrowest, width);
        widest = std::max(widest, width);
    }
    ASSERT_LT(narrowest, 24);
    EXPECT_EQ(LoadPicture(icon, 24)->width(), 24);
    EXPECT_EQ(LoadPicture(icon, 0)->width(), narrowest);
    EXPECT_EQ(LoadPicture(icon, widest + 1)->width(), widest);
}

TEST(DrawKitPictures, SourceRectanglesAreClippedToThePicture) {
    const QImage picture = TwoColourPicture(10, 8);
    struct Case {
        Rect source, expected;
    };
    const Case cases[] = {
        {{2, 1, 6, 5}, {2, 1, 6, 5}},       // inside
        {{20, 43, 60, 70}, {}},             // wholly outside
        {{-4, -2, 4, 3}, {0, 0, 4, 3}},     // over the top-left corner
        {{5, 6, 15, 9}, {5, 6, 10, 8}},     // one row and more past the bottom right
        {{3, 3, 3, 7}, {}},                 // empty
    };
    for (const Case& c : cases) {
        const Rect clipped = ClipToPicture(c.source, picture);
        EXPECT_EQ(clipped, c.expected) << c.source.left << "," << c.source.top;
    }
    EXPECT_EQ(ClipToPicture(Rect{0, 0, 4, 4}, QImage()), Rect{});
}

TEST(DrawKitDrawing, StretchesTheSourceOntoTheDestination) {
    QImage canvas = Canvas(12, 4);
    {
        QPainter painter(&canvas);
        DrawImageRect(painter, TwoColourPicture(4, 2), Rect{2, 0, 10, 4}, Rect{0, 0, 4, 2});
    }
    // Smoothing blends the two colours where they meet, never the picture with what lies outside.
    for (int y = 0; y < 4; ++y) {
        const std::string row = Row(canvas, y);
        EXPECT_EQ(row.substr(0, 4), "wwrr");
        EXPECT_EQ(row.substr(8), "bbww");
    }
}

TEST(DrawKitDrawing, ASourcePastThePictureShrinksTheDestinationInProportion) {
    // The source's right half lies past the picture: only the left half of dest is drawn.
    QImage canvas = Canvas(8, 2);
    {
        QPainter painter(&canvas);
        DrawImageRect(painter, TwoColourPicture(4, 1), Rect{0, 0, 8, 2}, Rect{2, 0, 6, 1});
    }
    EXPECT_EQ(Row(canvas, 0), "bbbbwwww");
    EXPECT_EQ(Row(canvas, 1), "bbbbwwww");
}

TEST(DrawKitDrawing, NothingToDrawLeavesTheTargetAlone) {
    const QImage picture = TwoColourPicture(4, 2);
    const QImage nullPicture;
    const struct {
        const QImage* picture;
        Rect dest, source;
    } cases[] = {
        {&nullPicture, {0, 0, 8, 4}, {0, 0, 4, 2}},
        {&picture, {0, 0, 0, 4}, {0, 0, 4, 2}},
        {&picture, {5, 0, 2, 4}, {0, 0, 4, 2}},
        {&picture, {0, 0, 8, 4}, {0, 0, 4, 0}},
        {&picture, {0, 0, 8, 4}, {4, 0, 8, 2}},
    };
    for (const auto& c : cases) {
        QImage canvas = Canvas(8, 4);
        {
            QPainter painter(&canvas);
            DrawImageRect(painter, *c.picture, c.dest, c.source);
            DrawImage(painter, nullptr, c.dest);
            DrawImage(painter, &nullPicture, c.dest);
        }
        EXPECT_EQ(Row(canvas, 0), "wwwwwwww");
    }
}

TEST(DrawKitDrawing, StretchingIsSmoothAndLeavesThePaintersHintAsItWas) {
    QImage picture(2, 1, QImage::Format_ARGB32_Premultiplied);
    picture.setPixel(0, 0, qRgb(0, 0, 0));
    picture.setPixel(1, 0, kKitWhite);
    QImage canvas = Canvas(100, 1);
    QPainter painter(&canvas);
    DrawImageRect(painter, picture, Rect{0, 0, 100, 1}, Rect{0, 0, 2, 1});
    EXPECT_FALSE(painter.testRenderHint(QPainter::SmoothPixmapTransform));
    painter.end();
    const int middle = qRed(canvas.pixel(50, 0));
    EXPECT_GT(middle, 0);
    EXPECT_LT(middle, 255);
}

TEST(DrawKitOffscreen, ComposesOnAnOpaqueClearedImageAndCopiesItWhereAsked) {
    QImage canvas = Canvas(6, 4);
    {
        QPainter painter(&canvas);
        // The clear colour's alpha does not make the image see-through.
        ComposeOffscreen(painter, QSize(4, 2), qRgba(255, 0, 0, 0), [](QPainter& offscreen) {
            offscreen.fillRect(QRect(3, 0, 1, 2), QColor(kKitBlue));
        }, QPoint(1, 1));
    }
    EXPECT_EQ(Row(canvas, 0), "wwwwww");
    EXPECT_EQ(Row(canvas, 1), "wrrrbw");
    EXPECT_EQ(Row(canvas, 2), "wrrrbw");
    EXPECT_EQ(Row(canvas, 3), "wwwwww");
}

TEST(DrawKitOffscreen, AnEmptySizeDrawsAndCopiesNothing) {
    for (const QSize size : {QSize(0, 5), QSize(5, 0), QSize(-3, 4)}) {
        QImage canvas = Canvas(4, 1);
        bool drawn = false;
        {
            QPainter painter(&canvas);
            ComposeOffscreen(painter, size, kKitRed, [&](QPainter&) { drawn = true; });
        }
        EXPECT_FALSE(drawn);
        EXPECT_EQ(Row(canvas, 0), "wwww");
    }
}

TEST(DrawKitOffscreen, CopiesAPartOfTheImageOnce) {
    QImage canvas = Canvas(4, 1);
    QPainter painter(&canvas);
    OffscreenImage offscreen(QSize(4, 3), kKitRed);
    ASSERT_TRUE(offscreen.IsValid());
    offscreen.Painter().fillRect(QRect(0, 2, 4, 1), QColor(kKitBlue));
    offscreen.CopyTo(painter, QPoint(1, 0), QRect(0, 2, 2, 1));
    offscreen.CopyTo(painter, QPoint(0, 0));  // already copied: nothing more
    painter.end();
    EXPECT_EQ(Row(canvas, 0), "wbbw");
}

}  // namespace
