#include "frame_art.h"
#include "canvas.h"

#include <QPainter>
#include <QPainterPath>

namespace artwork {
namespace {

// The palette: the panels' colour, the frame a step lighter, one teal accent.
const QColor kFrame(10, 38, 50);
const QColor kFrameEdge(22, 58, 72);
const QColor kAccent(0, 170, 190);
const QColor kGlyphBright(255, 255, 255);
const QColor kGlyphDim(150, 172, 180);
const QColor kCloseHover(214, 48, 49);
const QColor kCloseClick(168, 32, 36);

constexpr int kBackgroundSize = 160;
constexpr int kCaptionRows = 42;
constexpr int kButton = 20;

QPen GlyphPen(const QColor& colour) {
    QPen pen(colour, 1.4);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

void DrawCaptionGlyph(QPainter& painter, ButtonKind kind, const QColor& colour) {
    painter.setPen(GlyphPen(colour));
    painter.setBrush(Qt::NoBrush);
    switch (kind) {
    case ButtonKind::Minimise: painter.drawLine(QPointF(6, 10.5), QPointF(14, 10.5)); break;
    case ButtonKind::Maximise: painter.drawRect(QRectF(6.5, 6.5, 7, 7)); break;
    case ButtonKind::Restore: {
        painter.drawRect(QRectF(6.5, 8.5, 5, 5));
        QPainterPath back;
        back.moveTo(8.5, 8.5);
        back.lineTo(8.5, 6.5);
        back.lineTo(13.5, 6.5);
        back.lineTo(13.5, 11.5);
        back.lineTo(11.5, 11.5);
        painter.drawPath(back);
        break;
    }
    case ButtonKind::Close:
        painter.drawLine(QPointF(6.5, 6.5), QPointF(13.5, 13.5));
        painter.drawLine(QPointF(13.5, 6.5), QPointF(6.5, 13.5));
        break;
    }
}

QColor Plate(ButtonKind kind, ButtonState state) {
    if (state == ButtonState::Normal) return Qt::transparent;
    if (kind == ButtonKind::Close) return state == ButtonState::Hover ? kCloseHover : kCloseClick;
    return state == ButtonState::Hover ? QColor(255, 255, 255, 36) : QColor(255, 255, 255, 18);
}

QColor GlyphColour(ButtonKind kind, ButtonState state) {
    if (kind == ButtonKind::Close && state != ButtonState::Normal) return kGlyphBright;
    switch (state) {
    case ButtonState::Hover: return kGlyphBright;
    case ButtonState::Click: return kGlyphDim;
    case ButtonState::Normal: break;
    }
    return kGlyph;
}

}  // namespace

QImage DrawBackground(int scale) {
    QImage image = Blank(kBackgroundSize, kBackgroundSize, scale);
    image.fill(kFrame);
    QPainter painter(&image);
    // Caption strip: a quiet vertical shade, the accent along its top and a hairline below it.
    QLinearGradient shade(0, 0, 0, kCaptionRows);
    shade.setColorAt(0, QColor(14, 46, 60));
    shade.setColorAt(1, kFrame);
    painter.fillRect(0, 0, kBackgroundSize, kCaptionRows, shade);
    painter.fillRect(0, 0, kBackgroundSize, 2, kAccent);
    painter.fillRect(0, kCaptionRows - 1, kBackgroundSize, 1, kFrameEdge);
    // Row 42 is skipped by the frame; the body below is the border colour, one step above the panel.
    painter.fillRect(0, kCaptionRows, kBackgroundSize, 1, kFrameEdge);
    painter.fillRect(0, kCaptionRows + 1, kBackgroundSize, kBackgroundSize - kCaptionRows - 1, kFrame);
    return image;
}

QImage DrawCaptionButton(ButtonKind kind, ButtonState state, int scale) {
    QImage image = Blank(kButton, kButton, scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Plate(kind, state));
    painter.drawRoundedRect(QRectF(0, 0, kButton, kButton), 3, 3);
    DrawCaptionGlyph(painter, kind, GlyphColour(kind, state));
    return image;
}

// A rounded tile in the accent colour holding a play mark.
QImage DrawIcon(int size) {
    QImage image = Blank(size, size, 1);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(0, 188, 208));
    tile.setColorAt(1, QColor(0, 128, 150));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(0, 0, s, s), s * 0.22, s * 0.22);

    QPainterPath play;
    play.moveTo(s * 0.38, s * 0.27);
    play.lineTo(s * 0.74, s * 0.50);
    play.lineTo(s * 0.38, s * 0.73);
    play.closeSubpath();
    painter.setBrush(QColor(255, 255, 255));
    painter.drawPath(play);
    return image;
}

QString ButtonFileName(ButtonKind kind, ButtonState state) {
    static const char* const kinds[] = {"min", "max", "restore", "close"};
    static const char* const states[] = {"normal", "hover", "click"};
    return QString::fromLatin1(kinds[static_cast<int>(kind)]) + QString::fromLatin1(states[static_cast<int>(state)]);
}

}  // namespace artwork
