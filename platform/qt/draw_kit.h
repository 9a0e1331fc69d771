#pragma once
// The drawing every skinned window shares: rectangle conversion, pictures loaded from files,
// stretched picture drawing and off-screen composition. User-interface thread only, except the
// conversions, which any thread may call.
//
// A picture has two ways of being absent, and they draw differently on purpose: a file that does
// not load still gives a picture object, one that draws nothing (a null QImage); a picture never
// set is a null pointer, and its owner usually draws nothing at all, not even its background.

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

#include "platform/geometry.h"

namespace platform {

// Rect's right and bottom are exclusive, QRect's are inclusive: only widths and heights match.
QRect ToQRect(const Rect& rect);
Rect ToRect(const QRect& rect);

// Never null. Holds a null QImage when the file is missing or cannot be decoded. Of a file with
// several pictures (an icon), takes the narrowest at least preferredWidth wide, else the widest.
// On a screen of more than one device pixel per logical pixel it loads the picture drawn at
// twice the size, named with "@2x" before the extension, when there is one, as a picture of device
// pixel ratio 2; an icon's preferred width is scaled the same way. Reads the application's screens:
// user-interface thread.
std::unique_ptr<QImage> LoadPicture(const QString& path, int preferredWidth = 0);

// The size a picture is drawn at and cut in, in logical pixels: a "@2x" picture's is half its
// pixel size. Source rectangles given to the functions below are in these units.
QSize PictureSize(const QImage& picture);

// True when picture is set and loaded, so that drawing it shows something.
bool CanDraw(const QImage* picture);

// The part of source that lies on picture; empty when none does or the picture is null.
Rect ClipToPicture(const Rect& source, const QImage& picture);

// Stretches the source rectangle of picture (pixels) onto dest, smoothly. Draws nothing for a null
// picture or an empty rectangle. A source reaching past the picture is clipped to it, and dest
// shrinks in proportion, so what is drawn is never stretched differently from what was asked.
void DrawImageRect(QPainter& painter, const QImage& picture, const Rect& dest, const Rect& source);
// The whole picture stretched onto dest; nothing for a null pointer or a picture that did not load.
void DrawImage(QPainter& painter, const QImage* picture, const Rect& dest);

// An off-screen image cleared to an opaque colour, drawn into and then copied to its target in
// one drawImage, so the target never shows a half-drawn state. The painter it hands out smooths
// stretched pictures and text; callers that want anti-aliased shapes add that hint themselves.
class OffscreenImage {
public:
    // The alpha of clearColour is ignored: the image is opaque. An empty size gives an image that
    // cannot be drawn into (IsValid false) and copies nothing. The size is logical; the image holds
    // size x ratio device pixels, so what is drawn stays sharp on a high-density screen. Give it the
    // ratio of the device it is copied to.
    OffscreenImage(QSize size, QRgb clearColour, qreal ratio = 1);
    OffscreenImage(const OffscreenImage&) = delete;
    OffscreenImage& operator=(const OffscreenImage&) = delete;

    bool IsValid() const { return !m_image.isNull(); }
    QSize Size() const { return m_size; }
    // Only while IsValid.
    QPainter& Painter() { return m_painter; }
    // Ends the drawing and copies source (logical; the whole image when null) to target with its
    // top-left corner at `at`. Once only: later calls copy nothing.
    void CopyTo(QPainter& target, QPoint at = QPoint(0, 0), const QRect& source = QRect());

private:
    QSize m_size;
    QImage m_image;
    QPainter m_painter;
    bool m_bCopied = false;
};

// Composes a size image cleared to clearColour with draw, at the device pixel ratio of target's
// device, then copies it to target at `at`. Draw is not called for an empty size.
void ComposeOffscreen(QPainter& target, QSize size, QRgb clearColour, const std::function<void(QPainter&)>& draw,
                      QPoint at = QPoint(0, 0));

}  // namespace platform
