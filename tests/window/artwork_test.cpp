// The shipped frame pictures decode, at the sizes the frame cuts and stretches them to.

#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

namespace {

QString Picture(const char* name) { return QStringLiteral(TELVANE_SOURCE_DIR "/data/pictures/") + name; }

TEST(ShippedArtwork, BackgroundHoldsCaptionRowsBodyRowsAndUnusedSides) {
    const QImage background(Picture("background.png"));
    ASSERT_FALSE(background.isNull());
    EXPECT_GT(background.width(), 40);
    EXPECT_GT(background.height(), 43);
}

TEST(ShippedArtwork, EveryCaptionButtonPictureIsTwentyPixelsSquare) {
    for (const char* kind : {"min", "max", "restore", "close"})
        for (const char* state : {"normal", "hover", "click"}) {
            const QString name = QString::fromLatin1(kind) + state + ".png";
            const QImage picture(Picture(name.toLatin1().constData()));
            ASSERT_FALSE(picture.isNull()) << name.toStdString();
            EXPECT_EQ(picture.size(), QSize(20, 20)) << name.toStdString();
        }
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

}  // namespace
