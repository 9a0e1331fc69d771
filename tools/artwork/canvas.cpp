#include "canvas.h"

namespace artwork {

QImage Blank(int width, int height, int scale) {
    QImage image(width * scale, height * scale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace artwork
