#pragma once
// Dialog templates: the size, style and controls a dialog window is created with, looked up by the
// template id the dialog class is constructed with. Sizes are in dialog units of the template's
// font; the table itself lives in resources/.

#include <QString>
#include <QRect>
#include <vector>

#include "platform/qt/win_defs.h"

namespace platform {

enum class ControlKind { Button, Static };

struct ControlTemplate {
    ControlKind kind = ControlKind::Static;
    int id = 0;
    QString text;
    UINT style = 0;
    QRect units;  // x, y, width, height in dialog units
};

struct DialogTemplate {
    UINT id = 0;
    UINT style = 0;
    UINT exStyle = 0;
    int widthUnits = 0;
    int heightUnits = 0;
    std::vector<ControlTemplate> controls;
};

// Null when no template has that id. Any thread; the table never changes.
const DialogTemplate* FindDialogTemplate(UINT id);

// Dialog units of the templates' font ("MS Shell Dlg" 8 at 96 dpi: 6 x 13 pixels per 4 x 8 units)
// to pixels, rounded to nearest as the platform's conversion does.
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);
QRect DialogUnitsToPixels(const QRect& units);

}  // namespace platform
