// The About box's key list comes from the chosen language's key file.

#include <algorithm>
#include <gtest/gtest.h>

#include "shell/key_shortcuts.h"
#include "shell/key_texts.h"

namespace {

const std::string kShipped = std::string(TELVANE_SOURCE_DIR) + "/data/langconfig/";

TEST(KeyTexts, EachLanguageNamesEveryKeyAndAMissingFileKeepsEnglish) {
    struct Case {
        uint32_t languageId;
        const char* firstKey;
        const char* lastDescription;
    };
    const Case cases[] = {
        {0x409, "Space", "Open a file"},
        {0x407, "Leertaste", "Datei öffnen"},
        {0x804, "空格", "打开文件"},   // any Chinese loads the Chinese file
        {0x411, "Space", "Open a file"},  // no Japanese file: the table's English
    };
    for (const Case& c : cases) {
        const std::vector<KeyText> texts = LoadKeyTexts(kShipped, c.languageId);
        ASSERT_EQ(texts.size(), KeyShortcuts().size()) << std::hex << c.languageId;
        EXPECT_EQ(texts.front().keyName, QString::fromUtf8(c.firstKey)) << std::hex << c.languageId;
        const QString openDescription = QString::fromUtf8(c.lastDescription);
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                                [&](const KeyText& text) { return text.description == openDescription; }))
            << std::hex << c.languageId;
        for (const KeyText& text : texts) EXPECT_FALSE(text.keyName.isEmpty() || text.description.isEmpty());
    }
}

// Every key, the clock's, the activity's and the clip's included, is described in each shipped
// language rather than left in English.
TEST(KeyTexts, EveryShippedLanguageDescribesEveryKeyInItsOwnWords) {
    for (uint32_t id : {0x404u, 0x407u, 0x40Au, 0x40Cu, 0x419u}) {
        const std::vector<KeyText> texts = LoadKeyTexts(kShipped, id);
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_NE(texts[i].description, QString::fromUtf8(KeyShortcuts()[i].description))
                << std::hex << id << " key " << KeyShortcuts()[i].keyName;
        }
    }
    // Each description stands beside its own key's name.
    const auto described = [](uint32_t id, const char* keyName) {
        for (const KeyText& text : LoadKeyTexts(kShipped, id))
            if (text.keyName == QString::fromUtf8(keyName)) return text.description;
        return QString();
    };
    EXPECT_EQ(described(0x407, "U"), "Aufnahmezeit in UTC");
    EXPECT_EQ(described(0x407, "Strg+S"), "Schnappschuss jeder Kamera");
    EXPECT_EQ(described(0x804, "Ctrl+E"), QString::fromUtf8("导出标记的片段"));
}

TEST(KeyTexts, EveryShippedKeyFileHasTheEnglishLettersWhereTheKeyIsALetter) {
    // A shifted line would show a key beside another key's description.
    for (uint32_t id : {0x409u, 0x404u, 0x407u, 0x40Cu, 0x419u, 0x40Au}) {
        const std::vector<KeyText> texts = LoadKeyTexts(kShipped, id);
        for (size_t i = 0; i < texts.size(); ++i) {
            const QString english = QString::fromUtf8(KeyShortcuts()[i].keyName);
            if (english.size() == 1) {
                EXPECT_EQ(texts[i].keyName, english) << std::hex << id << " key " << i;
            }
        }
    }
}

}  // namespace
