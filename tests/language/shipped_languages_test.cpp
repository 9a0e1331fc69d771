// The language files the program ships with.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "language/language_store.h"

namespace {

const std::string kShipped = std::string(TELVANE_SOURCE_DIR) + "/data/langconfig/";

struct Shipped {
    uint32_t id;
    std::u16string name;
};

const Shipped kLanguages[] = {
    {0x409, u"English"}, {0x404, u"简体中文"}, {0x407, u"Deutsch"},
    {0x40C, u"Français"}, {0x419, u"Русский"}, {0x40A, u"Español"},
};

TEST(ShippedLanguages, EveryFileLoadsWith33NonEmptyEntries) {
    for (const Shipped& language : kLanguages) {
        LanguageStore store(0x409, kShipped);
        ASSERT_TRUE(store.LoadLanguage(language.id)) << std::hex << language.id;
        EXPECT_EQ(store.CurrentLanguage(), language.id);
        EXPECT_EQ(store.EntryCount(), 33u);
        EXPECT_EQ(store.Text(20), language.name);
        for (int n = 1; n <= 33; ++n) {
            EXPECT_FALSE(store.Text(n).empty()) << std::hex << language.id << " entry " << n;
        }
    }
}

TEST(ShippedLanguages, EveryFileIsLaidOutOneEntryPerLine) {
    for (const auto& file : std::filesystem::directory_iterator(kShipped)) {
        if (file.path().filename() == "currentcfg.ini") continue;
        std::ifstream in(file.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        ASSERT_GE(bytes.size(), 8u) << file.path();
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << file.path();
        EXPECT_EQ(bytes.substr(bytes.size() - 6), std::string(",\0\r\0\n\0", 6)) << file.path();
        EXPECT_EQ(bytes.size() % 2, 0u) << file.path();
    }
}

TEST(ShippedLanguages, AllSixAreListedAndChineseSimplifiedLoadsTheChineseFile) {
    LanguageStore store(0x409, kShipped);
    ASSERT_TRUE(store.LoadLanguage(0x804));
    EXPECT_EQ(store.CurrentLanguage(), 0x404u);
    ASSERT_TRUE(store.BuildLanguageList());
    const auto& list = store.InstalledLanguages();
    EXPECT_EQ(std::set<std::string>(list.begin(), list.end()),
              (std::set<std::string>{"0409", "0404", "0407", "040c", "0419", "040a"}));
}

TEST(ShippedLanguages, ConfigurationShipsEmptySoTheUsersLanguageIsChosen) {
    EXPECT_EQ(std::filesystem::file_size(kShipped + "currentcfg.ini"), 0u);
}

}  // namespace
