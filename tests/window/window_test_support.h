#pragma once
// What the window tests have of their own beside the application, event pumping and synthetic
// mouse events every widget suite shares: a pointer the test moves, and a scratch working folder.

#include <QDir>
#include <QTemporaryDir>
#include <atomic>

#include "platform/geometry.h"
#include "platform/pointer_query.h"
#include "tests/qt_support/qt_test_support.h"

namespace window_test {

using qt_test::App;
using qt_test::DoubleClick;
using qt_test::Enter;
using qt_test::Leave;
using qt_test::Move;
using qt_test::Press;
using qt_test::PumpFor;
using qt_test::PumpUntil;
using qt_test::Release;

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
