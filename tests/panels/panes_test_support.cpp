#include "panes_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPainter>
#include <QThread>
#include <gtest/gtest.h>

#include "platform/qt/message_box.h"
#include "shell/language_store.h"

namespace panes_test {
namespace {

constexpr platform::UINT kMainPanelTemplate = 134;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        App();
        // The panes open images/ and langconfig/ relative to the current directory, as installed.
        ASSERT_TRUE(QDir::setCurrent(QStringLiteral(TELVANE_BINARY_DIR "/bin")));
        ASSERT_TRUE(LanguageStore::Global().LoadLanguage(0x409));
        platform::SetMessageBoxAnswererForTests([](const platform::MessageBoxRequest& request) {
            ShownMessages().push_back(request.text);
            return platform::IDOK;
        });
        AnswerFileDialogs(nullptr);
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

void SendMouse(QWidget& target, QEvent::Type type, QPoint point, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(point), QPointF(target.mapToGlobal(point)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &event);
}

}  // namespace

// Fontconfig keeps a cache for the life of the process, which the leak checker cannot tell from a leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

QApplication& App() {
    static int argc = 1;
    static char name[] = "panels_tests";
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

std::vector<QString>& ShownMessages() {
    static std::vector<QString> messages;
    return messages;
}

void AnswerFileDialogs(platform::FileDialogAnswerer answerer) {
    if (!answerer) answerer = [](const platform::FileDialogRequest&) { return QString(); };
    platform::SetFileDialogAnswererForTests(std::move(answerer));
}

void Press(QWidget& target, QPoint point) {
    SendMouse(target, QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton);
    SendMouse(target, QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
}

void DoubleClick(QWidget& target, QPoint point) {
    Press(target, point);
    SendMouse(target, QEvent::MouseButtonDblClick, point, Qt::LeftButton, Qt::LeftButton);
    SendMouse(target, QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
}

void KeyPress(QWidget& target, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &event);
}

CommandRecorder::CommandRecorder() : CDialogEx(kMainPanelTemplate) {
    Create(kMainPanelTemplate, nullptr);
    MoveWindow(platform::Rect{0, 0, 960, 650}, platform::TRUE);
}

platform::BOOL CommandRecorder::PreTranslateMessage(platform::Message& message) {
    if (message.message == platform::WM_COMMAND && message.wParam != 0) walked.push_back(message.wParam);
    return CDialogEx::PreTranslateMessage(message);
}

platform::BOOL CommandRecorder::OnCommand(platform::WParam wParam, platform::LParam) {
    received.push_back(wParam);
    return platform::TRUE;
}

platform::BOOL CommandRecorder::OnEraseBkgnd(QPainter& dc) {
    dc.fillRect(rect(), Qt::black);
    return platform::TRUE;
}

}  // namespace panes_test

