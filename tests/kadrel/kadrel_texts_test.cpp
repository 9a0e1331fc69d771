// The converter's language files: the shipped ones load, a missing one gives English, a damaged one
// leaves no text empty.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/fixtures.h"
#include "tools/kadrel/kadrel_texts.h"

namespace {

const std::string kShipped = TELVANE_SOURCE_DIR "/data/kadrel_lang/";

TEST(KadrelTexts, the_shipped_files_load_by_the_identifier_the_player_passes) {
    struct Case {
        uint32_t id;
        const char* title;
        const char* name;  // entry 20, the language's own name
    } cases[] = {
        {0x409, "Kadrel - recordings to MP4", "English"},
        {0x407, "Kadrel - Aufnahmen nach MP4", "Deutsch"},
        {0x804, "Kadrel - 录像转换为 MP4", "简体中文"},  // 0x804 reads 0404.ini, as in the player
        {0x404, "Kadrel - 录像转换为 MP4", "简体中文"},
        {0x40C, "Kadrel - enregistrements en MP4", "Français"},
        {0x40A, "Kadrel - grabaciones a MP4", "Español"},
        {0x419, "Kadrel - записи в MP4", "Русский"},
        {0x413, "Kadrel - recordings to MP4", "English"},  // no Dutch file: English
    };
    for (const Case& c : cases) {
        KadrelTexts texts;
        EXPECT_TRUE(texts.Load(c.id, kShipped)) << std::hex << c.id;
        EXPECT_EQ(texts.Text(KadrelText::kTitle), QString::fromUtf8(c.title)) << std::hex << c.id;
        EXPECT_EQ(texts.Text(KadrelText::kLanguageName), QString::fromUtf8(c.name)) << std::hex << c.id;
        EXPECT_TRUE(texts.Text(KadrelText::kSavedAs).contains(QStringLiteral("%1"))) << std::hex << c.id;
    }
}

// The built-in English stands in for entries a file lacks, so it must say what the file says.
TEST(KadrelTexts, the_built_in_english_matches_the_english_file) {
    KadrelTexts texts;
    ASSERT_TRUE(texts.Load(0x409, kShipped));
    for (int n = 1; n <= kKadrelTextCount; ++n) {
        EXPECT_EQ(texts.Text(KadrelText(n)), KadrelTexts::English(KadrelText(n))) << "entry " << n;
    }
}

TEST(KadrelTexts, a_damaged_or_missing_file_leaves_no_text_empty) {
    fixtures::TempDir dir;
    const std::string folder = dir.Path() + "/";
    // A German file of 32 entries is refused as a whole and does not fall back to English.
    std::u16string text = u"\uFEFF";
    for (int n = 1; n <= 32; ++n) text += u"Eintrag,\r\n";
    std::ofstream(folder + "0407.ini", std::ios::binary)
        .write(reinterpret_cast<const char*>(text.data()), std::streamsize(text.size() * 2));

    for (uint32_t id : {0x407u, 0x409u}) {
        KadrelTexts texts;
        EXPECT_FALSE(texts.Load(id, folder)) << std::hex << id;
        for (int n = 1; n <= kKadrelTextCount; ++n) {
            EXPECT_EQ(texts.Text(KadrelText(n)), KadrelTexts::English(KadrelText(n))) << std::hex << id << " entry " << n;
        }
    }
}

}  // namespace
