#include "control_art.h"
#include "canvas.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace artwork {
namespace {

// The frame's palette, so the controls sit with the caption buttons.
const QColor kPanel(0, 22, 30);
const QColor kGlyphHover(60, 214, 232);
const QColor kGlyphPressed(235, 248, 250);
const QColor kHoverPlate(255, 255, 255, 26);
const QColor kPressedPlate(0, 126, 144, 200);
const QColor kTrack(40, 66, 78);
const QColor kFill(0, 170, 190);
const QColor kFillTop(40, 198, 216);
const QColor kThumbFace(232, 242, 245);
const QColor kListGlyph(150, 172, 180);
const QColor kListThumb(100, 124, 134);

// Glyphs are drawn on a 24-unit grid and scaled to the frame.
constexpr double kGrid = 24.0;

enum class Look { Normal, Pressed, Hover };
constexpr Look kStripOrder[] = {Look::Normal, Look::Pressed, Look::Hover};

QPen Stroke(const QColor& ink, double width) {
    QPen pen(ink, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QPainterPath Polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    auto point = points.begin();
    path.moveTo(*point);
    for (++point; point != points.end(); ++point) path.lineTo(*point);
    path.closeSubpath();
    return path;
}

void FillShape(QPainter& p, const QPainterPath& shape, const QColor& ink) {
    // A thin outline in the same ink rounds the corners of filled shapes.
    p.setPen(Stroke(ink, 0.8));
    p.setBrush(ink);
    p.drawPath(shape);
}

void Line(QPainter& p, const QColor& ink, double width, std::initializer_list<QPointF> points) {
    QPainterPath path;
    auto point = points.begin();
    path.moveTo(*point);
    for (++point; point != points.end(); ++point) path.lineTo(*point);
    p.setPen(Stroke(ink, width));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

bool IsRound(Glyph glyph) { return glyph == Glyph::Play || glyph == Glyph::Pause; }

void DrawRing(QPainter& p, const QColor& ink) {
    p.setPen(Stroke(ink, 1.1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 10.6, 10.6);
}

void DrawSpeaker(QPainter& p, const QColor& ink) {
    FillShape(p, Polygon({{4, 9.5}, {7.5, 9.5}, {12, 5.5}, {12, 18.5}, {7.5, 14.5}, {4, 14.5}}), ink);
}

void DrawTransport(QPainter& p, Glyph glyph, const QColor& ink) {
    switch (glyph) {
    case Glyph::Play:
        DrawRing(p, ink);
        FillShape(p, Polygon({{9.6, 7.4}, {16.8, 12}, {9.6, 16.6}}), ink);
        break;
    case Glyph::Pause:
        DrawRing(p, ink);
        FillShape(p, Polygon({{8.6, 7.6}, {10.9, 7.6}, {10.9, 16.4}, {8.6, 16.4}}), ink);
        FillShape(p, Polygon({{13.1, 7.6}, {15.4, 7.6}, {15.4, 16.4}, {13.1, 16.4}}), ink);
        break;
    case Glyph::FrameStep:
        FillShape(p, Polygon({{6, 6.5}, {14, 12}, {6, 17.5}}), ink);
        FillShape(p, Polygon({{15.5, 6.5}, {18, 6.5}, {18, 17.5}, {15.5, 17.5}}), ink);
        break;
    case Glyph::Stop: FillShape(p, Polygon({{6.5, 6.5}, {17.5, 6.5}, {17.5, 17.5}, {6.5, 17.5}}), ink); break;
    case Glyph::Slower:
        FillShape(p, Polygon({{12, 6.5}, {4, 12}, {12, 17.5}}), ink);
        FillShape(p, Polygon({{20, 6.5}, {12, 12}, {20, 17.5}}), ink);
        break;
    case Glyph::Faster:
        FillShape(p, Polygon({{4, 6.5}, {12, 12}, {4, 17.5}}), ink);
        FillShape(p, Polygon({{12, 6.5}, {20, 12}, {12, 17.5}}), ink);
        break;
    default: break;
    }
}

void DrawVolume(QPainter& p, Glyph glyph, const QColor& ink) {
    DrawSpeaker(p, ink);
    if (glyph == Glyph::VolumeOn) {
        p.setPen(Stroke(ink, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(8.5, 8.5, 7, 7), -50 * 16, 100 * 16);
        p.drawArc(QRectF(5.5, 5.5, 13, 13), -50 * 16, 100 * 16);
    } else {
        Line(p, ink, 1.8, {{15, 9.5}, {20, 14.5}});
        Line(p, ink, 1.8, {{20, 9.5}, {15, 14.5}});
    }
}

void DrawPlaylist(QPainter& p, Glyph glyph, const QColor& ink) {
    for (double y : {7.0, 12.0, 17.0}) Line(p, ink, 1.8, {{4, y}, {13.5, y}});
    if (glyph == Glyph::HidePlaylist) Line(p, ink, 1.8, {{16.5, 8}, {20.5, 12}, {16.5, 16}});
    else Line(p, ink, 1.8, {{20.5, 8}, {16.5, 12}, {20.5, 16}});
}

void DrawFiles(QPainter& p, Glyph glyph, const QColor& ink) {
    switch (glyph) {
    case Glyph::Open:
        Line(p, ink, 1.6, {{3.5, 18}, {3.5, 6.5}, {9, 6.5}, {11, 8.8}, {20.5, 8.8}, {20.5, 18}, {3.5, 18}});
        Line(p, ink, 1.6, {{3.5, 11.5}, {20.5, 11.5}});
        break;
    case Glyph::Convert:
        Line(p, ink, 1.7, {{4.5, 8.5}, {19, 8.5}});
        Line(p, ink, 1.7, {{15.5, 5}, {19, 8.5}, {15.5, 12}});
        Line(p, ink, 1.7, {{19.5, 15.5}, {5, 15.5}});
        Line(p, ink, 1.7, {{8.5, 12}, {5, 15.5}, {8.5, 19}});
        break;
    case Glyph::Add:
        Line(p, ink, 2.0, {{12, 5.5}, {12, 18.5}});
        Line(p, ink, 2.0, {{5.5, 12}, {18.5, 12}});
        break;
    case Glyph::Delete:
        Line(p, ink, 1.6, {{5, 7}, {19, 7}});
        Line(p, ink, 1.5, {{10, 7}, {10, 4.8}, {14, 4.8}, {14, 7}});
        Line(p, ink, 1.6, {{6.8, 7}, {7.8, 19.2}, {16.2, 19.2}, {17.2, 7}});
        Line(p, ink, 1.3, {{10.5, 10.5}, {10.5, 16}});
        Line(p, ink, 1.3, {{13.5, 10.5}, {13.5, 16}});
        break;
    default: break;
    }
}

void DrawView(QPainter& p, Glyph glyph, const QColor& ink) {
    if (glyph == Glyph::Snapshot) {
        p.setPen(Stroke(ink, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(3.5, 7.5, 17, 11.5), 2, 2);
        Line(p, ink, 1.6, {{8.5, 7.5}, {9.8, 5}, {14.2, 5}, {15.5, 7.5}});
        p.drawEllipse(QPointF(12, 13.2), 3.3, 3.3);
        return;
    }
    Line(p, ink, 1.8, {{4.5, 9}, {4.5, 4.5}, {9, 4.5}});
    Line(p, ink, 1.8, {{15, 4.5}, {19.5, 4.5}, {19.5, 9}});
    Line(p, ink, 1.8, {{19.5, 15}, {19.5, 19.5}, {15, 19.5}});
    Line(p, ink, 1.8, {{9, 19.5}, {4.5, 19.5}, {4.5, 15}});
}

void DrawGlyph(QPainter& p, Glyph glyph, const QColor& ink) {
    switch (glyph) {
    case Glyph::Play:
    case Glyph::Pause:
    case Glyph::FrameStep:
    case Glyph::Stop:
    case Glyph::Slower:
    case Glyph::Faster: DrawTransport(p, glyph, ink); break;
    case Glyph::VolumeOn:
    case Glyph::VolumeOff: DrawVolume(p, glyph, ink); break;
    case Glyph::HidePlaylist:
    case Glyph::ShowPlaylist: DrawPlaylist(p, glyph, ink); break;
    case Glyph::Open:
    case Glyph::Convert:
    case Glyph::Add:
    case Glyph::Delete: DrawFiles(p, glyph, ink); break;
    case Glyph::Snapshot:
    case Glyph::FullScreen: DrawView(p, glyph, ink); break;
    }
}

QColor PlateOf(Look look) {
    switch (look) {
    case Look::Hover: return kHoverPlate;
    case Look::Pressed: return kPressedPlate;
    case Look::Normal: break;
    }
    return Qt::transparent;
}

QColor InkOf(Look look) {
    switch (look) {
    case Look::Hover: return kGlyphHover;
    case Look::Pressed: return kGlyphPressed;
    case Look::Normal: break;
    }
    return kGlyph;
}

void DrawPlate(QPainter& p, Glyph glyph, Look look) {
    p.setPen(Qt::NoPen);
    p.setBrush(PlateOf(look));
    if (IsRound(glyph)) p.drawEllipse(QPointF(12, 12), 11.6, 11.6);
    else p.drawRoundedRect(QRectF(0.5, 0.5, 23, 23), 3.5, 3.5);
}

void DrawFrame(QPainter& p, Glyph glyph, Look look, int frameSize, int index) {
    p.save();
    p.translate(index * frameSize, 0);
    p.scale(frameSize / kGrid, frameSize / kGrid);
    DrawPlate(p, glyph, look);
    DrawGlyph(p, glyph, InkOf(look));
    p.restore();
}

// A bar with fully rounded ends across the whole picture: cut into caps and a middle and scaled to
// any thickness, the ends stay round.
QImage DrawBar(const QColor& top, const QColor& bottom, int scale) {
    QImage image = Blank(kSliderStripWidth, kSliderStripHeight, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient shade(0, 0, 0, kSliderStripHeight);
    shade.setColorAt(0, top);
    shade.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    const double radius = kSliderStripHeight / 2.0;
    p.drawRoundedRect(QRectF(0, 0, kSliderStripWidth, kSliderStripHeight), radius, radius);
    return image;
}

void DrawSheetRow(QPainter& p, const QImage& image, int zoom, int& y) {
    constexpr int kGap = 12;
    p.drawImage(QPoint(kGap, y), image);
    const QSize big = image.size() * zoom;
    // Nearest-neighbour enlargement shows the real pixels.
    p.drawImage(QRect(QPoint(2 * kGap + image.width(), y), big), image);
    y += std::max(image.height(), big.height()) + kGap;
}

}  // namespace

const std::vector<ButtonStrip>& ButtonStrips() {
    // Sizes of the buttons in the panes' layouts.
    static const std::vector<ButtonStrip> strips = {
        {"play.png", Glyph::Play, 50},         {"puse.png", Glyph::Pause, 50},
        {"frame.png", Glyph::FrameStep, 23},   {"stop.png", Glyph::Stop, 23},
        {"slow.png", Glyph::Slower, 23},       {"speed.png", Glyph::Faster, 23},
        {"volopen.png", Glyph::VolumeOn, 27},  {"volclose.png", Glyph::VolumeOff, 27},
        {"hide.png", Glyph::HidePlaylist, 25}, {"show.png", Glyph::ShowPlaylist, 25},
        {"open.png", Glyph::Open, 25},         {"convert.png", Glyph::Convert, 25},
        {"add.png", Glyph::Add, 22},           {"delete.png", Glyph::Delete, 22},
        {"snapshot.png", Glyph::Snapshot, 25}, {"fullscreen.png", Glyph::FullScreen, 25},
    };
    return strips;
}

QImage DrawButtonStrip(Glyph glyph, int frameSize, int scale) {
    QImage image = Blank(3 * frameSize, frameSize, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int index = 0; index < 3; ++index) DrawFrame(p, glyph, kStripOrder[index], frameSize, index);
    return image;
}

QImage DrawSliderTrack(int scale) { return DrawBar(kTrack, kTrack, scale); }
QImage DrawSliderFill(int scale) { return DrawBar(kFillTop, kFill, scale); }

QImage DrawSliderThumb(int scale) {
    QImage image = Blank(kSliderThumbSize, kSliderThumbSize, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(kSliderThumbSize / 2.0, kSliderThumbSize / 2.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kFill);
    p.drawEllipse(centre, 23.0, 23.0);
    p.setBrush(kThumbFace);
    p.drawEllipse(centre, 16.0, 16.0);
    return image;
}

QImage DrawListArrow(bool up, int scale) {
    QImage image = Blank(kListArrowWidth, kListArrowHeight, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double tip = up ? 3.5 : 8.5;
    const double base = up ? 8.5 : 3.5;
    Line(p, kListGlyph, 1.6, {{3, base}, {7, tip}, {11, base}});
    return image;
}

// A plain bar with no rounding: it is stretched to any length, and only what does not change along
// its length stays sharp.
QImage DrawListThumb(int scale) {
    QImage image = Blank(kListArrowWidth, kListThumbHeight, scale);
    QPainter p(&image);
    p.fillRect(QRect(4, 0, 6, kListThumbHeight), kListThumb);
    return image;
}

QString ScaledFileName(const QString& fileName, int scale) {
    if (scale == 1) return fileName;
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return fileName.left(dot) + QStringLiteral("@%1x").arg(scale) + fileName.mid(dot);
}

std::vector<NamedPicture> DrawControlPictures(int scale) {
    std::vector<NamedPicture> pictures;
    const auto add = [&](const QString& fileName, QImage image) {
        pictures.push_back({ScaledFileName(fileName, scale), std::move(image)});
    };
    for (const ButtonStrip& strip : ButtonStrips())
        add(QString::fromLatin1(strip.fileName), DrawButtonStrip(strip.glyph, strip.frameSize, scale));
    add(QStringLiteral("strip1.png"), DrawSliderTrack(scale));
    add(QStringLiteral("strip2.png"), DrawSliderFill(scale));
    add(QStringLiteral("slider.png"), DrawSliderThumb(scale));
    add(QStringLiteral("up.png"), DrawListArrow(true, scale));
    add(QStringLiteral("down.png"), DrawListArrow(false, scale));
    add(QStringLiteral("SliderList.png"), DrawListThumb(scale));
    return pictures;
}

QImage DrawContactSheet(const std::vector<NamedPicture>& pictures, int zoom) {
    int width = 0, height = 12;
    for (const NamedPicture& picture : pictures) {
        width = std::max(width, 36 + picture.image.width() * (zoom + 1));
        height += std::max(picture.image.height(), picture.image.height() * zoom) + 12;
    }
    QImage sheet(width, height, QImage::Format_ARGB32);
    sheet.fill(kPanel);
    QPainter p(&sheet);
    int y = 12;
    for (const NamedPicture& picture : pictures) DrawSheetRow(p, picture.image, zoom, y);
    return sheet;
}

}  // namespace artwork
