#pragma once
// What the control tests have of their own beside the application, event pumping and synthetic
// input every widget suite shares: a folder of test pictures made current, and a parent window
// that records the commands its children post.

#include <QImage>
#include <QTemporaryDir>
#include <functional>
#include <vector>

#include "platform/qt/dialog.h"
#include "tests/qt_support/qt_test_support.h"

namespace control_test {

using qt_test::App;
using qt_test::Leave;
using qt_test::Move;
using qt_test::Press;
using qt_test::PumpUntil;
using qt_test::Release;
using qt_test::SaveShot;
using qt_test::Wheel;

// The double-click message alone, without the press and release that come before it.
void DoubleClickOnly(QWidget& target, QPoint point);

// A fresh temporary folder made the current directory, with an images/ folder in it; the previous
// current directory comes back at the end.
class PictureFolder {
public:
    PictureFolder();
    ~PictureFolder();
    // Writes images/<name> as a PNG.
    void Write(const QString& name, const QImage& picture) const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Shows a top-level window at the screen's top-left corner, where the window under a screen point
// can be found, and waits until it is on screen, so repaints asked for at once take place.
void ShowOnScreen(platform::CWnd& window);

// A picture of one colour.
QImage Solid(int width, int height, QRgb colour);

// A top-level dialog that records every WM_COMMAND posted to it. onCommand runs inside the handler,
// where an owner reads what the control chose.
class CommandRecorder : public platform::CDialogEx {
public:
    CommandRecorder();
    platform::LResult WindowProc(platform::MessageId message, platform::WParam wParam,
                                 platform::LParam lParam) override;
    // Posts a marker to itself and processes events until it arrives, so every message posted
    // before has been handled too. False if it never arrived.
    bool Flush();

    std::vector<platform::Message> commands;
    std::function<void()> onCommand;

private:
    bool m_bMarkerSeen = false;
};

}  // namespace control_test
