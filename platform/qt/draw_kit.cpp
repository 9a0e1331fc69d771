#include "platform/qt/draw_kit.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QtMath>
#include <algorithm>

namespace platform {
namespace {

// Prefers the narrowest picture that still reaches the wanted width, so that a stretch only ever
// shrinks a little; failing that, the widest there is.
bool Better(const QImage& candidate, const QImage& best, int preferredWidth) {
    if (best.isNull()) return true;
    const bool bestTooNarrow = best.width() < preferredWidth;
    if (bestTooNarrow) return candidate.width() > best.width();
    return candidate.width() >= preferredWidth && candidate.width() < best.width();
}

// The picture drawn at twice the size, beside the named one: "images/play.png" -> "images/play@2x.png".
QString DoubleSizePath(const QString& path) {
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (dot <= slash + 1) return path + QStringLiteral("@2x");
    return path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
}

qreal ScreenRatio() { return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0; }

QImage ReadPicture(const QString& path, int preferredWidth) {
    QImageReader reader(path);
    QImage best;
    const int count = std::max(1, reader.imageCount());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i)) break;
        QImage image = reader.read();
        if (!image.isNull() && Better(image, best, preferredWidth)) best = std::move(image);
    }
    return best;
}

}  // namespace

QRect ToQRect(const Rect& rect) { return QRect(rect.left, rect.top, rect.Width(), rect.Height()); }

Rect ToRect(const QRect& rect) {
    return Rect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

std::unique_ptr<QImage> LoadPicture(const QString& path, int preferredWidth) {
    const qreal ratio = ScreenRatio();
    if (ratio > 1) {
        QImage large = ReadPicture(DoubleSizePath(path), 0);
        if (!large.isNull()) {
            large.setDevicePixelRatio(2);
            return std::make_unique<QImage>(std::move(large));
        }
    }
    return std::make_unique<QImage>(ReadPicture(path, qCeil(preferredWidth * ratio)));
}

QSize PictureSize(const QImage& picture) { return picture.deviceIndependentSize().toSize(); }

bool CanDraw(const QImage* picture) { return picture && !picture->isNull(); }

Rect ClipToPicture(const Rect& source, const QImage& picture) {
    if (picture.isNull() || source.IsEmpty()) return Rect{};
    const QSize size = PictureSize(picture);
    const Rect clipped{std::max(source.left, 0), std::max(source.top, 0), std::min(source.right, size.width()),
                       std::min(source.bottom, size.height())};
    return clipped.IsEmpty() ? Rect{} : clipped;
}

void DrawImageRect(QPainter& painter, const QImage& picture, const Rect& dest, const Rect& source) {
    if (dest.IsEmpty() || source.IsEmpty()) return;
    const Rect clipped = ClipToPicture(source, picture);
    if (clipped.IsEmpty()) return;
    // Every source pixel keeps the size it was asked to have on the destination.
    const double scaleX = double(dest.Width()) / source.Width();
    const double scaleY = double(dest.Height()) / source.Height();
    const QRectF target(dest.left + (clipped.left - source.left) * scaleX,
                        dest.top + (clipped.top - source.top) * scaleY, clipped.Width() * scaleX,
                        clipped.Height() * scaleY);
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const qreal ratio = picture.devicePixelRatio();
    const QRectF pixels(clipped.left * ratio, clipped.top * ratio, clipped.Width() * ratio, clipped.Height() * ratio);
    painter.drawImage(target, picture, pixels);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

void DrawImage(QPainter& painter, const QImage* picture, const Rect& dest) {
    if (!CanDraw(picture)) return;
    const QSize size = PictureSize(*picture);
    DrawImageRect(painter, *picture, dest, Rect{0, 0, size.width(), size.height()});
}

OffscreenImage::OffscreenImage(QSize size, QRgb clearColour, qreal ratio) : m_size(size) {
    if (size.isEmpty() || ratio <= 0) return;
    m_image = QImage(QSize(qCeil(size.width() * ratio), qCeil(size.height() * ratio)), QImage::Format_ARGB32_Premultiplied);
    if (m_image.isNull()) return;  // too large to allocate: nothing is drawn
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(QColor::fromRgb(clearColour));  // fromRgb drops the alpha
    m_painter.begin(&m_image);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
}

void OffscreenImage::CopyTo(QPainter& target, QPoint at, const QRect& source) {
    if (!IsValid() || m_bCopied) return;
    m_bCopied = true;
    m_painter.end();
    const QRectF logical = source.isNull() ? QRectF(QPointF(0, 0), QSizeF(m_size)) : QRectF(source);
    const qreal ratio = m_image.devicePixelRatio();
    const QRectF pixels(logical.x() * ratio, logical.y() * ratio, logical.width() * ratio, logical.height() * ratio);
    target.drawImage(QRectF(QPointF(at), logical.size()), m_image, pixels);
}

void ComposeOffscreen(QPainter& target, QSize size, QRgb clearColour, const std::function<void(QPainter&)>& draw,
                      QPoint at) {
    OffscreenImage image(size, clearColour, target.device() ? target.device()->devicePixelRatioF() : 1.0);
    if (!image.IsValid()) return;
    draw(image.Painter());
    image.CopyTo(target, at);
}

}  // namespace platform
