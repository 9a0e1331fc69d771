#include "window_test_support.h"

#include <QThread>
#include <gtest/gtest.h>

namespace window_test {
namespace {

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

// Fontconfig keeps a cache for the life of the process, which the leak checker cannot tell from a leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

QApplication& App() {
    static int argc = 1;
    static char name[] = "window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
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

void PumpFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

void Press(QWidget& target, QPoint point, Qt::MouseButton button) {
    Send(target, QEvent::MouseButtonPress, point, button, button);
}

void Release(QWidget& target, QPoint point, Qt::MouseButton button) {
    Send(target, QEvent::MouseButtonRelease, point, button, Qt::NoButton);
}

void Move(QWidget& target, QPoint point, Qt::MouseButtons held) {
    Send(target, QEvent::MouseMove, point, Qt::NoButton, held);
}

void DoubleClick(QWidget& target, QPoint point) {
    Press(target, point);
    Release(target, point);
    Send(target, QEvent::MouseButtonDblClick, point, Qt::LeftButton, Qt::LeftButton);
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

bool SettlePointer(FakePointer& pointer, platform::Point screen, bool leftDown) {
    pointer.Set(screen, leftDown);
    // A query may have begun before the change; the third one from now began after it, and by
    // then the poll of the second has stored what it saw.
    const int seen = pointer.Queries();
    return PumpUntil([&] { return pointer.Queries() >= seen + 3; });
}

ScopedWorkingFolder::ScopedWorkingFolder() : m_previous(QDir::currentPath()) {
    QDir::setCurrent(m_dir.path());
}

ScopedWorkingFolder::~ScopedWorkingFolder() { QDir::setCurrent(m_previous); }

}  // namespace window_test
