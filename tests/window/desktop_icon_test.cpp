// The desktop's icon files are the application icon as the artwork generator draws it, one square
// picture per size.

#include <QImage>
#include <gtest/gtest.h>

#include "frame_art.h"

namespace {

TEST(DesktopIcons, EverySizeIsWhatTheGeneratorDraws) {
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(TELVANE_SOURCE_DIR "/data/icons/telvane-%1.png").arg(size);
        const QImage shipped(path);
        ASSERT_EQ(shipped.size(), QSize(size, size)) << path.toStdString();
        EXPECT_EQ(shipped.convertToFormat(QImage::Format_ARGB32),
                  artwork::DrawIcon(size).convertToFormat(QImage::Format_ARGB32))
            << path.toStdString();
    }
}

}  // namespace
