// A language file the panes cannot read their texts from: each pane that needs texts says so once
// and works on with empty tooltips and caption.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "panels/command_ids.h"
#include "panels/ctrl_wind.h"
#include "panels/list_wind.h"
#include "panels/m_status_bar.h"
#include "panels/play_wind.h"
#include "panes_test_support.h"
#include "language/language_store.h"

using namespace platform;
using panes_test::CommandRecorder;
using panes_test::ShownMessages;

namespace {

// Loads a malformed language file (five entries), which leaves the store without texts, and
// loads English again afterwards.
class MalformedLanguage {
public:
    MalformedLanguage() {
        const QString previous = QDir::currentPath();
        QDir(m_dir.path()).mkpath("langconfig");
        QFile file(m_dir.filePath("langconfig/0409.ini"));
        if (file.open(QIODevice::WriteOnly)) {
            const char16_t text[] = u"\uFEFFOne,\r\nTwo,\r\nThree,\r\nFour,\r\nFive,\r\n";
            file.write(reinterpret_cast<const char*>(text), sizeof(text) - sizeof(char16_t));
        }
        QDir::setCurrent(m_dir.path());
        m_loaded = LanguageStore::Global().LoadLanguage(0x409);
        QDir::setCurrent(previous);
    }
    ~MalformedLanguage() { LanguageStore::Global().LoadLanguage(0x409); }
    bool Loaded() const { return m_loaded; }

private:
    QTemporaryDir m_dir;
    bool m_loaded = true;
};

TEST(LanguageWarning, EachPaneThatNeedsTextsWarnsOnceAndCarriesOn) {
    MalformedLanguage language;
    ASSERT_FALSE(language.Loaded());
    ASSERT_EQ(LanguageStore::Global().EntryCount(), 0u);
    ShownMessages().clear();

    CommandRecorder panel;
    CCtrlWind bar;
    CListWind list;
    CPlayWind video;
    CMStatusBar status;
    ASSERT_TRUE(bar.Create(IDD_CTRL_WIND, &panel));
    ASSERT_TRUE(list.Create(IDD_LIST_WIND, &panel));
    ASSERT_TRUE(video.Create(IDD_PLAY_WIND, &panel));
    ASSERT_TRUE(status.Create(IDD_STATUS_BAR, &panel));

    const QString warning = QStringLiteral("Initialize Language Failed !!");
    EXPECT_EQ(ShownMessages(), (std::vector<QString>{warning, warning, warning}));
    EXPECT_TRUE(bar.m_btnPlay.GetSafeHwnd());
    EXPECT_TRUE(bar.m_btnPlay.m_strTip.isEmpty());
    EXPECT_EQ(bar.m_btnPlay.m_nID, 5);
    EXPECT_TRUE(list.m_btnAdd.GetSafeHwnd());
    EXPECT_TRUE(status.m_btnSnapshot.GetSafeHwnd());
    list.grab();  // paints with an empty caption
}

}  // namespace
