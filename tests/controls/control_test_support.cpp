#include "control_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QWheelEvent>
#include <QWindow>
#include <gtest/gtest.h>

using namespace platform;

namespace control_test {
namespace {

constexpr MessageId kMarker = WM_USER + 0x3A1;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { App(); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

void Send(QWidget& target, QEvent::Type type, QPoint point, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(point), QPointF(target.mapToGlobal(point)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &event);
}

}  // namespace

// Fontconfig keeps a cache for the life of the process, which the leak checker cannot tell from a
// leak. Weak, so another test file of this program may say the same.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

QApplication& App() {
    static int argc = 1;
    static char name[] = "controls_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance())
                                   ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                   : new QApplication(argc, argv);
    return *app;
}

bool PumpUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 10000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void Press(QWidget& target, QPoint point) { Send(target, QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton); }

void Release(QWidget& target, QPoint point) {
    Send(target, QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
}

void Move(QWidget& target, QPoint point, Qt::MouseButtons held) {
    Send(target, QEvent::MouseMove, point, Qt::NoButton, held);
}

void DoubleClickOnly(QWidget& target, QPoint point) {
    Send(target, QEvent::MouseButtonDblClick, point, Qt::LeftButton, Qt::LeftButton);
}

void Leave(QWidget& target) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&target, &event);
}

void Wheel(QWidget& target, QPoint point, int angleDelta) {
    QWheelEvent event(QPointF(point), QPointF(target.mapToGlobal(point)), QPoint(), QPoint(0, angleDelta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&target, &event);
}

PictureFolder::PictureFolder() : m_previous(QDir::currentPath()) {
    QDir(m_dir.path()).mkpath(QStringLiteral("images"));
    QDir::setCurrent(m_dir.path());
}

PictureFolder::~PictureFolder() { QDir::setCurrent(m_previous); }

void PictureFolder::Write(const QString& name, const QImage& picture) const {
    picture.save(m_dir.filePath(QStringLiteral("images/") + name), "PNG");
}

void ShowOnScreen(CWnd& window) {
    Rect rect;
    window.GetWindowRect(&rect);
    window.MoveWindow(0, 0, rect.Width(), rect.Height());
    window.ShowWindow(SW_SHOW);
    EXPECT_TRUE(PumpUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
}

QImage Solid(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor::fromRgba(colour));
    return image;
}

CommandRecorder::CommandRecorder() : CDialogEx(134) {}

LResult CommandRecorder::WindowProc(MessageId message, WParam wParam, LParam lParam) {
    if (message == kMarker) {
        m_bMarkerSeen = true;
        return 0;
    }
    if (message != WM_COMMAND) return CDialogEx::WindowProc(message, wParam, lParam);
    commands.push_back(Message{message, wParam, lParam});
    if (onCommand) onCommand();
    return 0;
}

bool CommandRecorder::Flush() {
    m_bMarkerSeen = false;
    if (!PostMessage(kMarker)) return false;
    return PumpUntil([this] { return m_bMarkerSeen; });
}

void SaveShot(QWidget& widget, const QString& name) {
    const QString folder = qEnvironmentVariable("TELVANE_SHOTS_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    widget.grab().save(QDir(folder).filePath(name + QStringLiteral(".png")), "PNG");
}

}  // namespace control_test
