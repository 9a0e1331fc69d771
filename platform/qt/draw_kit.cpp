#include "platform/qt/draw_kit.h"

#include <QImageReader>
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

}  // namespace

QRect ToQRect(const Rect& rect) { return QRect(rect.left, rect.top, rect.Width(), rect.Height()); }

Rect ToRect(const QRect& rect) {
    return Rect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

std::unique_ptr<QImage> LoadPicture(const QString& path, int preferredWidth) {
    QImageReader reader(path);
    QImage best;
    const int count = std::max(1, reader.imageCount());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i)) break;
        QImage image = reader.read();
        if (!image.isNull() && Better(image, best, preferredWidth)) best = std::move(image);
    }
    return std::make_unique<QImage>(std::move(best));
}

bool CanDraw(const QImage* picture) { return picture && !picture->isNull(); }

Rect ClipToPicture(const Rect& source, const QImage& picture) {
    if (picture.isNull() || source.IsEmpty()) return Rect{};
    const Rect clipped{std::max(source.left, 0), std::max(source.top, 0), std::min(source.right, picture.width()),
                       std::min(source.bottom, picture.height())};
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
    painter.drawImage(target, picture, QRectF(ToQRect(clipped)));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

void DrawImage(QPainter& painter, const QImage* picture, const Rect& dest) {
    if (!CanDraw(picture)) return;
    DrawImageRect(painter, *picture, dest, Rect{0, 0, picture->width(), picture->height()});
}

OffscreenImage::OffscreenImage(QSize size, QRgb clearColour) {
    if (size.isEmpty()) return;
    m_image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    if (m_image.isNull()) return;  // too large to allocate: nothing is drawn
    m_image.fill(QColor::fromRgb(clearColour));  // fromRgb drops the alpha
    m_painter.begin(&m_image);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
}

void OffscreenImage::CopyTo(QPainter& target, QPoint at, const QRect& source) {
    if (!IsValid() || m_bCopied) return;
    m_bCopied = true;
    m_painter.end();
    target.drawImage(at, m_image, source.isNull() ? m_image.rect() : source);
}

void ComposeOffscreen(QPainter& target, QSize size, QRgb clearColour, const std::function<void(QPainter&)>& draw,
                      QPoint at) {
    OffscreenImage image(size, clearColour);
    if (!image.IsValid()) return;
    draw(image.Painter());
    image.CopyTo(target, at);
}

}  // namespace platform
