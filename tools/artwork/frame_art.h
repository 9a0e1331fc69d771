#pragma once
// The frame's artwork, drawn flat on the panels' dark colour: the background picture whose top 42
// rows become the caption strip and whose rows from 43 on become the border, the caption buttons
// in three states, and the application icon.

#include <QImage>
#include <QString>

namespace artwork {

enum class ButtonKind { Minimise, Maximise, Restore, Close };
enum class ButtonState { Normal, Hover, Click };

QImage DrawBackground();
QImage DrawCaptionButton(ButtonKind kind, ButtonState state);
QImage DrawIcon(int size);

// "min", "max", "restore", "close" + "normal", "hover", "click".
QString ButtonFileName(ButtonKind kind, ButtonState state);

}  // namespace artwork
