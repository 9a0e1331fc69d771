// Message boxes and file dialogs: what they are asked, what they hand back, and the real file
// dialog driven from the keyboard.

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/qt/file_dialog.h"
#include "platform/qt/message_box.h"
#include "window_test_support.h"

using namespace platform;

namespace {

struct AnswererReset {
    ~AnswererReset() {
        SetMessageBoxAnswererForTests(nullptr);
        SetFileDialogAnswererForTests(nullptr);
        SetMessageBoxCaption(QString());
    }
};

TEST(MessageBox, ShowsTheApplicationsCaptionAndReturnsTheAnswer) {
    AnswererReset reset;
    MessageBoxRequest asked;
    SetMessageBoxAnswererForTests([&](const MessageBoxRequest& request) {
        asked = request;
        return IDNO;
    });
    EXPECT_EQ(MessageBoxCaption(), QCoreApplication::applicationName());
    SetMessageBoxCaption(QStringLiteral("Telvane"));

    EXPECT_EQ(AfxMessageBox(QString(), MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(asked.caption, QStringLiteral("Telvane"));
    EXPECT_EQ(asked.text, QString());
    EXPECT_EQ(asked.type, MB_YESNO | MB_ICONQUESTION);

    AfxMessageBox(QStringLiteral("Initialize Language Failed !!"));
    EXPECT_EQ(asked.type, MB_OK);
}

TEST(MessageBox, RealBoxIsAnsweredFromTheKeyboard) {
    AnswererReset reset;
    struct Case {
        UINT type;
        Qt::Key key;
        int expected;
    };
    const Case cases[] = {
        {MB_OK, Qt::Key_Return, IDOK},
        {MB_OK, Qt::Key_Escape, IDOK},
        {MB_OKCANCEL, Qt::Key_Escape, IDCANCEL},
        {MB_YESNO, Qt::Key_Escape, IDNO},
    };
    for (const Case& c : cases) {
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(window_test::PumpUntil([] { return QApplication::activeModalWidget() != nullptr; }));
            QTest::keyClick(QApplication::activeModalWidget(), c.key);
        });
        EXPECT_EQ(AfxMessageBox(QStringLiteral("text"), c.type), c.expected) << c.type;
    }
}

TEST(FileFilter, PlatformFilterBecomesQtNameFilters) {
    struct Case {
        const char* platform;
        QStringList qt;
    };
    const Case cases[] = {
        {"Video files (*.avi)|*.avi;|All Files (*.*)|*.*||",
         {"Video files (*.avi) (*.avi)", "All Files (*.*) (*)"}},
        {"Clips|*.avi;*.mp4;*.mkv||", {"Clips (*.avi *.mp4 *.mkv)"}},
        {"", {}},
        {"No patterns||Video|*.avi", {"Video (*.avi)"}},
        {"|*.avi|", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(NameFiltersFromPlatformFilter(QString::fromUtf8(c.platform)), c.qt) << c.platform;
}

TEST(FileDialogs, AnswersBecomeAbsolutePathsAndFoldersEndWithASlash) {
    AnswererReset reset;
    FileDialogRequest asked;
    QString answer;
    SetFileDialogAnswererForTests([&](const FileDialogRequest& request) {
        asked = request;
        return answer;
    });

    answer = QStringLiteral("/rec/cam1/a.mkv");
    EXPECT_EQ(GetOpenFileName(nullptr, QStringLiteral("Video files (*.avi)|*.avi;|All Files (*.*)|*.*||")), answer);
    EXPECT_EQ(asked.kind, FileDialogRequest::Kind::OpenFile);
    EXPECT_EQ(asked.nameFilters.size(), 2);

    const struct {
        const char* chosen;
        const char* folder;
    } folders[] = {{"/rec/cam1", "/rec/cam1/"}, {"/rec/cam1/", "/rec/cam1/"}, {"/", "/"}, {"/rec//x/..", "/rec/"}, {"", ""}};
    for (const auto& f : folders) {
        answer = QString::fromUtf8(f.chosen);
        EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Choose a folder")), QString::fromUtf8(f.folder)) << f.chosen;
        EXPECT_EQ(asked.kind, FileDialogRequest::Kind::Folder);
        EXPECT_EQ(asked.title, QStringLiteral("Choose a folder"));
    }

    answer.clear();
    EXPECT_EQ(GetOpenFileName(nullptr, QString()), QString());
}

// Types text into the file dialog's name field and presses Enter, as a person would once the
// completion list that typing opens has been dismissed.
void TypeAndEnter(QFileDialog& dialog, const QString& text) {
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(buttons, nullptr);
    // A person types into the focused field of the active dialog; a field without the focus is
    // rewritten by what the list selects as the typing goes.
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    edit->setFocus();
    ASSERT_TRUE(window_test::PumpUntil([&] { return edit->hasFocus(); }));
    edit->clear();
    QTest::keyClicks(edit, text);
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    // The dialog takes a typed path once it has looked at the file system, which it does on a
    // thread of its own: a person is never that quick, the test waits.
    ASSERT_TRUE(window_test::PumpUntil([&] {
        const QList<QAbstractButton*> all = buttons->buttons();
        return !all.isEmpty() && all.first()->isEnabled();
    }));
    QTest::keyClick(edit, Qt::Key_Return);
}

// Answers the next file dialog from the keyboard; a dialog that did not take the path is
// cancelled, so the test fails instead of waiting.
void TypeIntoTheNextDialog(const QString& text) {
    QTimer::singleShot(0, [text] {
        QPointer<QFileDialog> dialog;
        window_test::PumpUntil([&] {
            dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            return dialog && dialog->isVisible();
        });
        ASSERT_TRUE(dialog);
        TypeAndEnter(*dialog, text);
        window_test::PumpFor(10);
        if (dialog && dialog->isVisible()) {
            ADD_FAILURE() << "the dialog did not take the typed path " << text.toStdString();
            dialog->reject();
        }
    });
}

TEST(FileDialogs, RealDialogsTakeATypedPathAndEnter) {
    AnswererReset reset;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile clip(folder.filePath(QStringLiteral("clip.avi")));
    ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
    clip.close();

    TypeIntoTheNextDialog(clip.fileName());
    EXPECT_EQ(GetOpenFileName(nullptr, QStringLiteral("Video files (*.avi)|*.avi;|All Files (*.*)|*.*||")),
              QFileInfo(clip.fileName()).absoluteFilePath());

    TypeIntoTheNextDialog(folder.path());
    EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Folder")), QDir(folder.path()).absolutePath() + "/");
}

}  // namespace
