#include "panes_test_support.h"

#include <QDir>
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/qt/message_box.h"
#include "language/language_store.h"

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

}  // namespace

std::vector<QString>& ShownMessages() {
    static std::vector<QString> messages;
    return messages;
}

void AnswerFileDialogs(platform::FileDialogAnswerer answerer) {
    if (!answerer) answerer = [](const platform::FileDialogRequest&) { return QString(); };
    platform::SetFileDialogAnswererForTests(std::move(answerer));
}

void Press(QWidget& target, QPoint point) {
    qt_test::Press(target, point);
    qt_test::Release(target, point);
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

