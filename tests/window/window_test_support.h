#pragma once
// What the window tests share: one application object for the whole run, pumping events until a
// condition holds, and synthetic mouse events delivered straight to a window.

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <atomic>
#include <functional>

#include "platform/geometry.h"
#include "platform/pointer_query.h"

namespace window_test {

QApplication& App();

// Processes events until condition() holds; false if it never did within a generous limit.
bool PumpUntil(const std::function<bool()>& condition);
// Processes the events that are already queued, and those they post in turn, for a short while.
void PumpFor(int milliseconds);

void Press(QWidget& target, QPoint point, Qt::MouseButton button = Qt::LeftButton);
void Release(QWidget& target, QPoint point, Qt::MouseButton button = Qt::LeftButton);
void Move(QWidget& target, QPoint point, Qt::MouseButtons held = Qt::NoButton);
void DoubleClick(QWidget& target, QPoint point);
void Enter(QWidget& target, QPoint point);
void Leave(QWidget& target);

// A pointer the test moves and presses; the caption poller reads it from its own thread.
class FakePointer : public platform::PointerQuery {
public:
    void Set(platform::Point screen, bool leftDown) {
        m_x = screen.x;
        m_y = screen.y;
        m_down = leftDown;
    }
    bool Query(platform::Point& screen, bool& leftButtonDown) override {
        screen = platform::Point{m_x.load(), m_y.load()};
        leftButtonDown = m_down;
        ++m_queries;
        return true;
    }
    bool IsGlobal() const override { return true; }
    int Queries() const { return m_queries; }

private:
    std::atomic<int> m_queries{0};
    std::atomic<int> m_x{0}, m_y{0};
    std::atomic<bool> m_down{false};
};

// Puts the pointer at screen and waits until the poller has completed a poll that saw it there.
bool SettlePointer(FakePointer& pointer, platform::Point screen, bool leftDown);

// Runs the test inside a fresh temporary folder, as the current directory, and returns there.
class ScopedWorkingFolder {
public:
    ScopedWorkingFolder();
    ~ScopedWorkingFolder();
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

}  // namespace window_test
