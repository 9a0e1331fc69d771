#pragma once
// The face of the control bar and of the status bar below it, one colour so they read as one strip.

#include <QColor>

inline const QColor kBarColour(0, 22, 30);
