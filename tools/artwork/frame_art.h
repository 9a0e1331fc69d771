#pragma once
// The frame's artwork, drawn flat on the panels' dark colour: the background picture whose top 42
// rows become the caption strip and whose rows from 43 on become the border, the caption buttons
// in three states, and the application icon.

#include <QImage>
#include <QString>

namespace artwork {

enum class ButtonKind { Minimise, Maximise, Restore, Close };
enum class ButtonState { Normal, Hover, Click };

// At the logical size times `scale`, with that device pixel ratio ("@2x" pictures: scale 2).
QImage DrawBackground(int scale = 1);
QImage DrawCaptionButton(ButtonKind kind, ButtonState state, int scale = 1);
QImage DrawIcon(int size);

// "min", "max", "restore", "close" + "normal", "hover", "click".
QString ButtonFileName(ButtonKind kind, ButtonState state);

}  // namespace artwork
