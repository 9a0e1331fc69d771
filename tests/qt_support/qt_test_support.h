#pragma once
// What every widget test suite shares: one application object for the whole run, pumping events
// until a condition holds, synthetic input delivered straight to a widget, and pictures of what
// a test drew kept for a person to look at.
//
// The executable that links this also gets its leak-checker suppressions from here, so no other
// file of it may define __lsan_default_suppressions.

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace qt_test {

// The application object, named after the executable, made on first use (or the one that already
// exists) and kept until the process ends.
QApplication& App();

// Makes the application before the first test; a suite registers it as a global environment.
class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
};

// Processes events until condition() holds; false if it never did within timeoutMs.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
// Processes what is queued, and what that posts in turn, for a short while.
void PumpFor(int milliseconds);

void SendMouse(QWidget& target, QEvent::Type type, QPoint point, Qt::MouseButton button, Qt::MouseButtons held);
void Press(QWidget& target, QPoint point, Qt::MouseButton button = Qt::LeftButton);
void Release(QWidget& target, QPoint point, Qt::MouseButton button = Qt::LeftButton);
void Move(QWidget& target, QPoint point, Qt::MouseButtons held = Qt::NoButton);
// Press, release, double-click, release: the order in which a real double click arrives.
void DoubleClick(QWidget& target, QPoint point);
void Enter(QWidget& target, QPoint point);
void Leave(QWidget& target);
void Wheel(QWidget& target, QPoint point, int angleDelta);
void KeyPress(QWidget& target, int key);

// Saves the picture as <name>.png into the folder named by TELVANE_SHOTS_DIR, if that is set.
void SaveShot(const QImage& picture, const QString& name);
void SaveShot(QWidget& widget, const QString& name);

}  // namespace qt_test
