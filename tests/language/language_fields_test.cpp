// The text rules of the language files: identifiers, entries and their display form.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <optional>
#include <string>

#include "language/language_store.h"

namespace {

struct ParseCase {
    const char* text;
    std::optional<uint32_t> expected;
};

TEST(ParseLanguageId, ReadsHexadecimalIdentifiers) {
    const ParseCase cases[] = {
        {"0409", 0x409},
        {"409", 0x409},
        {"0x409", 0x409},
        {"0X40c", 0x40C},
        {"040C", 0x40C},
        {"0x40", 0x40},  // what the first four characters of "0x409" give
        {"0x000409", 0x409},
        {"0012345678", 0x12345678},
        {"FFFFFFFF", 0xFFFFFFFF},
        {"abcd", 0xABCD},
        {"", std::nullopt},
        {"0", std::nullopt},
        {"0x", std::nullopt},
        {"000", std::nullopt},
        {"x409", std::nullopt},
        {"123456789", std::nullopt},
        {"04 9", std::nullopt},
        {"-409", std::nullopt},
        {"040g", std::nullopt},
        {"en", std::nullopt},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(ParseLanguageId(c.text), c.expected) << '"' << c.text << '"';
    }
}

struct FieldCase {
    std::u16string text;
    int n;
    std::optional<std::u16string> expected;
};

TEST(GetLanguageField, FindsEntriesBetweenCommas) {
    const std::u16string file = u"\uFEFFAbout,\r\nOpen folder,\r\n";
    const FieldCase cases[] = {
        {file, 1, u"\uFEFFAbout"},
        {file, 2, u"\r\nOpen folder"},
        {file, 3, std::nullopt},  // text after the last comma is no entry
        {file, 0, std::nullopt},
        {u",,", 1, u""},
        {u",,", 2, u""},
        {u"no comma at all", 1, std::nullopt},
        {u"", 1, std::nullopt},
        {std::u16string(u"a,b\0,c,", 7), 2, std::nullopt},  // a zero unit ends the text
        {std::u16string(u"a,b\0,c,", 7), 1, u"a"},
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(GetLanguageField(c.text, c.n), c.expected) << "entry " << c.n;
    }
}

TEST(GetLanguageField, CutsEntriesLongerThanTheLimit) {
    const std::u16string longEntry(300, u'x');
    EXPECT_EQ(GetLanguageField(longEntry + u",next,", 1), std::u16string(255, u'x'));
    EXPECT_EQ(GetLanguageField(longEntry + u",next,", 2), u"next");
    EXPECT_EQ(GetLanguageField(std::u16string(255, u'y') + u",", 1), std::u16string(255, u'y'));
}

TEST(GetLanguageField, NeverSplitsASurrogatePairWhenCutting) {
    // U+1F600 as a pair whose high half would be the 255th unit.
    const std::u16string text = std::u16string(254, u'x') + u"\U0001F600tail,";
    EXPECT_EQ(GetLanguageField(text, 1), std::u16string(254, u'x'));
}

TEST(GetLanguageField, LooksOnlyAtTheFirst40960Units) {
    std::u16string text(kLanguageFileUnits - 1, u'a');
    EXPECT_EQ(GetLanguageField(text + u",", 1)->size(), kLanguageEntryMaxUnits);
    EXPECT_EQ(GetLanguageField(text + u"a,", 1), std::nullopt);
}

TEST(CleanLanguageText, DropsLineFeedsAndTheLeadingCharacter) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"\uFEFFAbout", u"About"},
        {u"\r\nOpen folder", u"Open folder"},
        {u"\r\nTwo\nlines", u"Twolines"},
        {u"\n\nX", u""},
        {u"", u""},
        {u"\n", u""},
        {u"Xy", u"y"},  // no mark to strip: the first character goes all the same
    };
    for (const auto& [raw, clean] : cases) EXPECT_EQ(CleanLanguageText(raw), clean);
}

struct LocaleCase {
    const char* language;
    const char* territory;
    uint32_t id;
};

TEST(LangIdFromLocale, GivesTheWindowsIdentifierOfTheLocale) {
    const LocaleCase cases[] = {
        {"en", "US", 0x409}, {"en", "GB", 0x809}, {"de", "DE", 0x407}, {"de", "AT", 0xC07},
        {"fr", "FR", 0x40C}, {"ru", "RU", 0x419}, {"zh", "TW", 0x404}, {"zh", "CN", 0x804},
        {"zh", "", 0x804},   {"es", "ES", 0xC0A}, {"it", "IT", 0x410}, {"ja", "JP", 0x411},
        {"DE", "de", 0x407}, {"C", "", 0x409},    {"xx", "YY", 0x409},
    };
    for (const LocaleCase& c : cases) {
        EXPECT_EQ(LangIdFromLocale(c.language, c.territory), c.id)
            << c.language << '_' << c.territory;
    }
}

}  // namespace

namespace {

TEST(GetSystemDefaultLangID, FollowsTheUsersLocale) {
    // Qt reads the locale once, at its first use in the process; this is the first here.
    ::setenv("LANGUAGE", "de_DE", 1);
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ(GetSystemDefaultLangID(), 0x407u);
}

}  // namespace
