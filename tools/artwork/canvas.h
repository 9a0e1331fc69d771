#pragma once
// What the frame's and the controls' pictures share: the glyph colour, so the controls sit with
// the caption buttons, and the blank picture every drawing starts from.

#include <QColor>
#include <QImage>

namespace artwork {

inline const QColor kGlyph(190, 208, 214);

// A picture of width x height logical pixels at `scale` device pixels each: a painter on it draws
// in logical units, so one drawing serves the plain picture and its "@2x" twin.
QImage Blank(int width, int height, int scale);

}  // namespace artwork
