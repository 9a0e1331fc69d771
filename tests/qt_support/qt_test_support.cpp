#include "tests/qt_support/qt_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QThread>
#include <QWheelEvent>
#include <cerrno>

// Fontconfig and the desktop bus keep caches for the life of the process, which the leak checker
// cannot tell from a leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace qt_test {

QApplication& App() {
    static int argc = 1;
    static char* argv[] = {program_invocation_name, nullptr};
    static QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance())
                                   ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                   : new QApplication(argc, argv);
    return *app;
}

void ApplicationEnvironment::SetUp() { App(); }

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void PumpFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

void SendMouse(QWidget& target, QEvent::Type type, QPoint point, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(point), QPointF(target.mapToGlobal(point)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &event);
}

void Press(QWidget& target, QPoint point, Qt::MouseButton button) {
    SendMouse(target, QEvent::MouseButtonPress, point, button, button);
}

void Release(QWidget& target, QPoint point, Qt::MouseButton button) {
    SendMouse(target, QEvent::MouseButtonRelease, point, button, Qt::NoButton);
}

void Move(QWidget& target, QPoint point, Qt::MouseButtons held) {
    SendMouse(target, QEvent::MouseMove, point, Qt::NoButton, held);
}

void DoubleClick(QWidget& target, QPoint point) {
    Press(target, point);
    Release(target, point);
    SendMouse(target, QEvent::MouseButtonDblClick, point, Qt::LeftButton, Qt::LeftButton);
    Release(target, point);
}

void Enter(QWidget& target, QPoint point) {
    const QPointF local(point);
    QEnterEvent event(local, local, QPointF(target.mapToGlobal(point)));
    QCoreApplication::sendEvent(&target, &event);
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

void KeyPress(QWidget& target, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &event);
}

void SaveShot(const QImage& picture, const QString& name) {
    const QString folder = qEnvironmentVariable("TELVANE_SHOTS_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    picture.save(QDir(folder).filePath(name + QStringLiteral(".png")), "PNG");
}

void SaveShot(QWidget& widget, const QString& name) { SaveShot(widget.grab().toImage(), name); }

}  // namespace qt_test
