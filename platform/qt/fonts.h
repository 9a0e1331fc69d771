#pragma once
// Fonts named the way the drawing code names them, sized in points at 96 dpi whatever the screen
// says, falling back to the generic sans-serif family (with a CJK-capable one first) when the
// named family is not installed.

#include <QFont>
#include <QString>

namespace platform {

QFont MakeFont(const QString& family, double points, bool bold = false);
// The dialogs' own font ("MS Shell Dlg" 8).
QFont DialogFont();

// A font measured the way the drawing code's pixel-sized fonts are: a positive heightPx is the
// whole character cell (ascent plus descent), a negative one the character height alone, 0 the
// default size; averageWidthPx, when positive, is the average character width, reached by
// stretching the face. weight runs from 100 (thin) to 900 (black), 400 being normal.
QFont MakePixelFont(const QString& family, int heightPx, int averageWidthPx, int weight);

}  // namespace platform
