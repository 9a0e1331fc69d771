#pragma once
// What the pane tests share: one application whose current directory is the build's bin folder
// (the data folders lie there) with English loaded, event pumping, and a stand-in for the main
// panel that records the commands reaching it.

#include <QApplication>
#include <QMouseEvent>
#include <QString>
#include <functional>
#include <ostream>
#include <vector>

#include "platform/qt/dialog.h"
#include "platform/qt/file_dialog.h"

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace panes_test {

QApplication& App();

// Processes events until condition() holds; false if it never did within a generous limit.
bool PumpUntil(const std::function<bool()>& condition);
// Processes what is queued, and what that posts in turn, for a short while.
void PumpFor(int milliseconds);

// Message boxes are never shown: each one's text is recorded here and answered with OK.
std::vector<QString>& ShownMessages();
// File dialogs are answered by answerer, which also sees what was asked; cancelled by default.
void AnswerFileDialogs(platform::FileDialogAnswerer answerer);

void Press(QWidget& target, QPoint point);
void DoubleClick(QWidget& target, QPoint point);
void KeyPress(QWidget& target, int key);

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
