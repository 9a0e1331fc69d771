#include "tests/main_panel/main_panel_test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <memory>

#include "panels/command_ids.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/message_box.h"
#include "language/language_store.h"
#include "tests/audio/audio_test_support.h"

using namespace platform;

namespace main_panel_test {
namespace {

QString& OpenDialogAnswer() {
    static QString answer;
    return answer;
}

std::unique_ptr<PrivateSoundServer>& SoundServer() {
    static std::unique_ptr<PrivateSoundServer> server;
    return server;
}

class PanelEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        SoundServer() = std::make_unique<PrivateSoundServer>();
        if (SoundServer()->Started()) m_useServer = std::make_unique<UseSoundServer>(SoundServer()->Address());
        App();
        ASSERT_TRUE(QDir::setCurrent(QStringLiteral(TELVANE_BINARY_DIR "/bin")));
        ASSERT_TRUE(LanguageStore::Global().LoadLanguage(0x409));
        SetMessageBoxAnswererForTests([](const MessageBoxRequest& request) {
            ShownMessages().push_back(request.text);
            return IDOK;
        });
        SetFileDialogAnswererForTests([](const FileDialogRequest& request) {
            return request.kind != FileDialogRequest::Kind::Folder ? OpenDialogAnswer() : QString();
        });
    }
    void TearDown() override {
        m_useServer.reset();
        SoundServer().reset();
    }

private:
    std::unique_ptr<UseSoundServer> m_useServer;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new PanelEnvironment);

}  // namespace

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    return qt_test::PumpUntil(condition, timeoutMs);
}

bool HaveSoundServer() { return SoundServer() && SoundServer()->Started(); }

void AnswerOpenDialogWith(const QString& path) { OpenDialogAnswer() = path; }

std::vector<QString>& ShownMessages() {
    static std::vector<QString> messages;
    return messages;
}

TestPanel::TestPanel() {
    Create(IDD_MAIN_DLG, nullptr);
    MoveWindow(Rect{100, 100, 1001, 683}, TRUE);
    ShowWindow(SW_SHOW);
    PumpFor(50);
}

TestPanel::~TestPanel() { DestroyWindow(); }

void TestPanel::Command(WParam id) { CommandVia(*this, id); }

void TestPanel::CommandVia(CWnd& window, WParam id) {
    ASSERT_TRUE(window.PostMessage(WM_COMMAND, id, 0));
    // A posted message is handled once the queue has been run through.
    PumpFor(30);
}

void TestPanel::Drop(const QString& path) {
    m_wndPlay.m_strDropFile = path;
    m_wndPlay.m_strDropFolder = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    Command(ID_PLAY_DROPPED_FILE);
}

}  // namespace main_panel_test
