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

}  // namespace platform
