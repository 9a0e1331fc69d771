// The toolkit's own dialogs speak the language chosen for the player.

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/qt/file_dialog.h"
#include "shell/toolkit_translation.h"
#include "window_test_support.h"

using namespace platform;

namespace {

// The texts of the open dialog's buttons, mnemonics removed, read while it is shown; it is then
// cancelled.
QStringList OpenDialogButtonTexts() {
    QStringList texts;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        for (const QPushButton* button : dialog->findChildren<QPushButton*>())
            texts << button->text().remove(QLatin1Char('&'));
        dialog->reject();
    });
    poll.start(10);
    GetOpenFileName(nullptr, QStringLiteral("Video|*.avi"));
    return texts;
}

TEST(ToolkitTranslation, FileDialogButtonsReadInTheChosenLanguage) {
    qt_test::App();
    SetFileDialogAnswererForTests({});
    struct Case {
        uint32_t languageId;
        bool translated;
        const char* open;
        const char* cancel;
    };
    const Case cases[] = {
        {0x407, true, "Öffnen", "Abbrechen"},
        {0x40C, true, "Ouvrir", "Annuler"},
        {0x409, false, "Open", "Cancel"},  // English is the toolkit's own, and replaces German again
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InstallToolkitTranslation(c.languageId), c.translated) << std::hex << c.languageId;
        const QStringList texts = OpenDialogButtonTexts();
        EXPECT_TRUE(texts.contains(QString::fromUtf8(c.open))) << texts.join(", ").toStdString();
        EXPECT_TRUE(texts.contains(QString::fromUtf8(c.cancel))) << texts.join(", ").toStdString();
    }
    InstallToolkitTranslation(0x409);
}

TEST(ToolkitTranslation, LocaleFollowsTheLanguageFileTheIdentifierLoads) {
    // Chinese of any territory loads the one Chinese file, which is in simplified characters.
    EXPECT_EQ(ToolkitLocaleName(0x804), QStringLiteral("zh_CN"));
    EXPECT_EQ(ToolkitLocaleName(0x404), QStringLiteral("zh_CN"));
    EXPECT_EQ(ToolkitLocaleName(0xC07), QStringLiteral("de"));  // Austrian German
    EXPECT_EQ(ToolkitLocaleName(0x411), QStringLiteral("en"));  // no language file
}

}  // namespace
