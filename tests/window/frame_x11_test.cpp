// The skinned frame on a real X display: moved, resized and closed through its own caption with
// the real pointer, which the caption poller follows through its own X connection.

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

#include "platform/qt/pointer_query_x11.h"
#include "private_display.h"
#include "shell/black_window.h"
#include "tests/qt_support/qt_test_support.h"

using namespace platform;
using qt_test::PumpUntil;

namespace {

// The application goes before the private display does: a connection left open to a display
// that went away ends the process with an error.
std::unique_ptr<QApplication> XcbApp() {
    static int argc = 1;
    static char name[] = "frame_x11_test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "xcb");
    return std::make_unique<QApplication>(argc, argv);
}

// Runs xdotool while the user-interface thread keeps handling what the pointer does.
bool Xdo(const QStringList& arguments) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    if (!xdotool.waitForStarted()) return false;
    PumpUntil([&] { return xdotool.state() == QProcess::NotRunning; });
    return xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

bool PointerTo(int x, int y) { return Xdo({"mousemove", QString::number(x), QString::number(y)}); }

class Frame : public CBlackWindow {
public:
    Frame() : CBlackWindow(102) {
        m_bShowIcon = m_bShowTitle = m_bShowMinButton = m_bShowMaxButton = m_bShowCloseButton = 1;
        m_bResizable = 1;
        m_bMovable = 1;
    }
    bool Dragging() const { return m_bCaptionDrag != 0; }
    bool SizingBottomRight() const { return m_bSizeBottomRight != 0; }
    bool SizingLeft() const { return m_bSizeLeft != 0; }
};

TEST(FrameUnderX11, MovesResizesAndClosesThroughItsOwnCaption) {
    if (!window_test::PrivateDisplayRunning()) GTEST_SKIP() << "no Xvfb";
    if (QStandardPaths::findExecutable("xdotool").isEmpty()) GTEST_SKIP() << "no xdotool";
    const std::unique_ptr<QApplication> app = XcbApp();
    // A connection of the test's own, closed before the private display goes away.
    const std::shared_ptr<PointerQuery> pointer = CreateX11PointerQuery();
    ASSERT_TRUE(pointer);
    Frame frame;
    frame.SetPointerQuery(pointer);
    ASSERT_TRUE(frame.Create(102, nullptr));
    frame.MoveWindow(100, 100, 400, 300);
    frame.show();
    ASSERT_TRUE(PumpUntil([&] { return frame.windowHandle() && frame.windowHandle()->isExposed(); }));

    // Drag by the caption.
    ASSERT_TRUE(PointerTo(250, 115));
    ASSERT_TRUE(Xdo({"mousedown", "1"}));
    ASSERT_TRUE(PumpUntil([&] { return frame.Dragging(); }));
    ASSERT_TRUE(PointerTo(270, 125));
    ASSERT_TRUE(PointerTo(290, 135));
    EXPECT_TRUE(PumpUntil([&] { return frame.geometry() == QRect(140, 120, 400, 300); }));
    ASSERT_TRUE(Xdo({"mouseup", "1"}));
    ASSERT_TRUE(PumpUntil([&] { return !frame.Dragging(); }));

    // Resize from the bottom-right corner, then from the left edge, which keeps the right edge.
    ASSERT_TRUE(PointerTo(539, 419));
    ASSERT_TRUE(Xdo({"mousedown", "1"}));
    ASSERT_TRUE(PumpUntil([&] { return frame.SizingBottomRight(); }));
    ASSERT_TRUE(PointerTo(589, 449));
    EXPECT_TRUE(PumpUntil([&] { return frame.geometry() == QRect(140, 120, 450, 330); }));
    ASSERT_TRUE(Xdo({"mouseup", "1"}));

    ASSERT_TRUE(PointerTo(141, 300));
    ASSERT_TRUE(Xdo({"mousedown", "1"}));
    ASSERT_TRUE(PumpUntil([&] { return frame.SizingLeft(); }));
    ASSERT_TRUE(PointerTo(171, 300));
    EXPECT_TRUE(PumpUntil([&] { return frame.geometry() == QRect(170, 120, 420, 330); }));
    ASSERT_TRUE(Xdo({"mouseup", "1"}));

    // Close: the frame's right edge is at 590, the close button 30..10 pixels left of it.
    ASSERT_TRUE(PointerTo(570, 135));
    ASSERT_TRUE(Xdo({"click", "1"}));
    EXPECT_TRUE(PumpUntil([&] { return !frame.isVisible(); }));
}

}  // namespace
