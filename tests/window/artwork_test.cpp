// The shipped frame and control pictures decode, at the sizes the windows cut and stretch them to.

#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "control_art.h"

namespace {

QString Picture(const char* name) { return QStringLiteral(TELVANE_SOURCE_DIR "/data/pictures/") + name; }

TEST(ShippedArtwork, BackgroundHoldsCaptionRowsBodyRowsAndUnusedSides) {
    const QImage background(Picture("background.png"));
    ASSERT_FALSE(background.isNull());
    EXPECT_GT(background.width(), 40);
    EXPECT_GT(background.height(), 43);
}

TEST(ShippedArtwork, EveryCaptionButtonPictureIsTwentyPixelsSquareAndItsTwinForty) {
    for (const char* kind : {"min", "max", "restore", "close"})
        for (const char* state : {"normal", "hover", "click"})
            for (const auto& [suffix, side] : {std::pair{".png", 20}, std::pair{"@2x.png", 40}}) {
                const QString name = QString::fromLatin1(kind) + state + suffix;
                const QImage picture(Picture(name.toLatin1().constData()));
                ASSERT_FALSE(picture.isNull()) << name.toStdString();
                EXPECT_EQ(picture.size(), QSize(side, side)) << name.toStdString();
            }
    const QImage background(Picture("background.png")), twin(Picture("background@2x.png"));
    EXPECT_EQ(twin.size(), background.size() * 2);
}

TEST(ShippedArtwork, IconHoldsTheCaptionsSizeAmongOthers) {
    QImageReader reader(Picture("Orvex.ico"));
    ASSERT_GT(reader.imageCount(), 1);
    bool has24 = false;
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull());
        has24 = has24 || image.size() == QSize(24, 24);
    }
    EXPECT_TRUE(has24);
}

// The controls' pictures: what the panes cut out of them and how they stretch it.

QString Image(const QString& name) { return QStringLiteral(TELVANE_SOURCE_DIR "/data/images/") + name; }

QImage ShippedImage(const QString& name) {
    return QImage(Image(name)).convertToFormat(QImage::Format_ARGB32);
}

bool ColumnsEqual(const QImage& image, int a, int b) {
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(a, y) != image.pixel(b, y)) return false;
    return true;
}

bool RowsEqual(const QImage& image, int a, int b) {
    for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, a) != image.pixel(x, b)) return false;
    return true;
}

// Pixels alone: a "@2x" file loads with the ratio its name gives, a drawn picture with its own.
QImage PixelsOf(QImage image) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1);
    return image;
}

TEST(ShippedArtwork, ControlPicturesAndTheirDoubleSizeTwinsAreWhatTheGeneratorDraws) {
    // A picture edited by hand, or a generator change not rendered again, shows up here.
    const std::vector<artwork::NamedPicture> plain = artwork::DrawControlPictures(1);
    const std::vector<artwork::NamedPicture> twins = artwork::DrawControlPictures(2);
    ASSERT_EQ(plain.size(), twins.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(twins[i].fileName, artwork::ScaledFileName(plain[i].fileName, 2));
        EXPECT_EQ(twins[i].image.size(), plain[i].image.size() * 2) << twins[i].fileName.toStdString();
        for (const artwork::NamedPicture* picture : {&plain[i], &twins[i]}) {
            const QImage shipped = ShippedImage(picture->fileName);
            ASSERT_FALSE(shipped.isNull()) << picture->fileName.toStdString();
            EXPECT_EQ(PixelsOf(shipped), PixelsOf(picture->image)) << picture->fileName.toStdString();
        }
    }
}

TEST(ShippedArtwork, ButtonStripsHoldThreeDistinctSquareFramesOfTheButtonsSize) {
    for (const artwork::ButtonStrip& strip : artwork::ButtonStrips()) {
        const QString name = QString::fromLatin1(strip.fileName);
        const QImage image = ShippedImage(name);
        ASSERT_EQ(image.size(), QSize(3 * strip.frameSize, strip.frameSize)) << strip.fileName;
        const int h = image.height();
        const QImage normal = image.copy(0, 0, h, h), pressed = image.copy(h, 0, h, h), hover = image.copy(2 * h, 0, h, h);
        EXPECT_NE(normal, pressed) << strip.fileName;
        EXPECT_NE(normal, hover) << strip.fileName;
        EXPECT_NE(pressed, hover) << strip.fileName;
    }
}

TEST(ShippedArtwork, SliderStripsScaleToBothTrackThicknessesWithAnEvenMiddle) {
    for (const char* name : {"strip1.png", "strip2.png"}) {
        const QImage strip = ShippedImage(QString::fromLatin1(name));
        ASSERT_FALSE(strip.isNull()) << name;
        for (int thickness : {6, 8}) {
            EXPECT_EQ(strip.height() % thickness, 0) << name << " at " << thickness;
            // Both caps come from the picture's ends, 30 x height / thickness columns each.
            EXPECT_GE(strip.width(), 2 * 30 * strip.height() / thickness) << name;
        }
        // The middle piece starts 30 columns in whatever the thickness: from there to 30 columns
        // before the end it must not change, or stretching it would show.
        for (int x = 31; x < strip.width() - 30; ++x) ASSERT_TRUE(ColumnsEqual(strip, 30, x)) << name << " column " << x;
        EXPECT_NE(strip.pixel(0, 0), strip.pixel(30, strip.height() / 2)) << name << " has no rounded end";
    }
}

TEST(ShippedArtwork, SliderThumbIsSquare) {
    const QImage thumb = ShippedImage(QStringLiteral("slider.png"));
    ASSERT_FALSE(thumb.isNull());
    EXPECT_EQ(thumb.width(), thumb.height());
}

TEST(ShippedArtwork, ListArrowsFitTheirRectanglesAndTheThumbStretchesCleanly) {
    for (const char* name : {"up.png", "down.png"})
        EXPECT_EQ(ShippedImage(QString::fromLatin1(name)).size(), QSize(14, 12)) << name;
    EXPECT_NE(ShippedImage(QStringLiteral("up.png")), ShippedImage(QStringLiteral("down.png")));

    const QImage thumb = ShippedImage(QStringLiteral("SliderList.png"));
    ASSERT_EQ(thumb.width(), 14);
    ASSERT_GT(thumb.height(), 10);
    // The thumb is stretched to any length: every row that is shown must be the same.
    for (int y = 1; y < thumb.height() - 10; ++y) ASSERT_TRUE(RowsEqual(thumb, 0, y)) << "row " << y;
    EXPECT_GT(qAlpha(thumb.pixel(7, 0)), 0);
}

}  // namespace
