#pragma once
// What the pane tests share: one application whose current directory is the build's bin folder
// (the data folders lie there) with English loaded, dialogs answered without showing them, and a
// stand-in for the main panel that records the commands reaching it. Event pumping and synthetic
// input are those every widget suite shares.

#include <QMouseEvent>
#include <QString>
#include <ostream>
#include <vector>

#include "platform/qt/dialog.h"
#include "platform/qt/file_dialog.h"
#include "tests/qt_support/qt_test_support.h"

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace panes_test {

using qt_test::App;
using qt_test::DoubleClick;
using qt_test::KeyPress;
using qt_test::PumpFor;
using qt_test::PumpUntil;

// Message boxes are never shown: each one's text is recorded here and answered with OK.
std::vector<QString>& ShownMessages();
// File dialogs are answered by answerer, which also sees what was asked; cancelled by default.
void AnswerFileDialogs(platform::FileDialogAnswerer answerer);

// A click: the left button pressed and released at point.
void Press(QWidget& target, QPoint point);

// The main panel as the panes see it: a top-level dialog 960 x 650 pixels that records the
// WM_COMMAND ids passing up through its pre-translation from any window of its family (walked),
// and those posted to itself (received).
class CommandRecorder : public platform::CDialogEx {
public:
    CommandRecorder();
    platform::BOOL PreTranslateMessage(platform::Message& message) override;

    std::vector<platform::WParam> walked;
    std::vector<platform::WParam> received;

protected:
    platform::BOOL OnCommand(platform::WParam wParam, platform::LParam lParam) override;
    platform::BOOL OnEraseBkgnd(QPainter& dc) override;  // black, as the main panel paints
};

}  // namespace panes_test
