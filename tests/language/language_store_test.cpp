// Loading, listing, switching and storing languages in a private langconfig folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "language/language_store.h"
#include "tests/language/language_fixture.h"

namespace {

using LanguageStoreTest = LanguageFolderTest;

constexpr uint32_t kGerman = 0x407;

TEST_F(LanguageStoreTest, LoadsAFileOfExactly33Entries) {
    WriteLanguage("0409.ini", u"English", 33);
    LanguageStore store(kGerman, Folder());

    ASSERT_TRUE(store.LoadLanguage(0x409));
    EXPECT_EQ(store.EntryCount(), 33u);
    EXPECT_EQ(store.CurrentLanguage(), 0x409u);
    EXPECT_EQ(store.RawEntry(1), u"\uFEFFEnglish 1");
    EXPECT_EQ(store.Text(1), u"English 1");
    EXPECT_EQ(store.Text(33), u"English 33");
    EXPECT_EQ(store.Text(34), u"");
    EXPECT_EQ(store.Text(0), u"");
}

TEST_F(LanguageStoreTest, RefusesFilesWithAnotherNumberOfEntriesWithoutFallingBack) {
    WriteLanguage("0409.ini", u"English", 33);
    for (int count : {0, 20, 32, 34, 301}) {
        WriteLanguage("0407.ini", u"Deutsch", count);
        LanguageStore store(kGerman, Folder());
        ASSERT_TRUE(store.LoadLanguage(0x409));
        EXPECT_FALSE(store.LoadLanguage(kGerman)) << count << " entries";
        EXPECT_EQ(store.EntryCount(), 0u) << count << " entries";
        EXPECT_EQ(store.CurrentLanguage(), kGerman);
    }
}

TEST_F(LanguageStoreTest, MissingFileFallsBackToEnglishOnce) {
    WriteLanguage("0409.ini", u"English", 33);
    LanguageStore store(kGerman, Folder());
    ASSERT_TRUE(store.LoadLanguage(kGerman));
    EXPECT_EQ(store.CurrentLanguage(), 0x409u);
    EXPECT_EQ(store.Text(20), u"English");
}

TEST_F(LanguageStoreTest, MissingFileWithoutEnglishFails) {
    LanguageStore store(kGerman, Folder());
    EXPECT_FALSE(store.LoadLanguage(kGerman));
    EXPECT_FALSE(store.LoadLanguage(0x409));
    EXPECT_EQ(store.EntryCount(), 0u);
}

TEST_F(LanguageStoreTest, IdentifierIsNormalisedToTheDefaultSubLanguage) {
    WriteLanguage("0404.ini", u"中文", 33);
    LanguageStore store(kGerman, Folder());
    ASSERT_TRUE(store.LoadLanguage(0x804));
    EXPECT_EQ(store.CurrentLanguage(), 0x404u);
    EXPECT_EQ(store.Text(20), u"中文");
}

TEST_F(LanguageStoreTest, PrimaryLanguageAbove0x38FailsWithoutTryingEnglish) {
    WriteLanguage("0409.ini", u"English", 33);
    WriteLanguage("043e.ini", u"Melayu", 33);
    LanguageStore store(kGerman, Folder());
    EXPECT_FALSE(store.LoadLanguage(0x43E));
    EXPECT_EQ(store.CurrentLanguage(), 0x43Eu);
    EXPECT_EQ(store.EntryCount(), 0u);
}

// After any failed load the texts of the language loaded before must be gone: every window would
// otherwise show them under the identifier of the language that failed.
TEST_F(LanguageStoreTest, FailedLoadAfterAGoodOneLeavesNoEntries) {
    WriteLanguage("0407.ini", u"Deutsch", 33);
    WriteLanguage("0419.ini", u"Russkij", 32);
    const struct {
        uint32_t id;
        uint32_t reportedLanguage;
        const char* what;
    } cases[] = {
        {0x43E, 0x43E, "primary language above the table"},
        {0x40C, 0x409, "neither the file nor English exists"},
        {0x419, 0x419, "malformed file"},
    };
    for (const auto& c : cases) {
        LanguageStore store(kGerman, Folder());
        ASSERT_TRUE(store.LoadLanguage(kGerman));
        EXPECT_FALSE(store.LoadLanguage(c.id)) << c.what;
        EXPECT_EQ(store.EntryCount(), 0u) << c.what;
        EXPECT_EQ(store.Text(20), u"") << c.what;
        EXPECT_EQ(store.CurrentLanguage(), c.reportedLanguage) << c.what;
    }
}

TEST_F(LanguageStoreTest, MalformedFilesLoadNothingAndNeverOverrun) {
    const std::string good = LanguageFileBytes(SampleEntries(u"English", 33));
    const std::string cases[] = {
        good.substr(0, good.size() - 1),                       // odd byte count
        good.substr(2),                                        // no byte-order mark
        ToUtf16LeBytes(u"\uFEFF" + std::u16string(50000, u'x')),  // no comma, past the limit
        std::string(81920, '\0') + good,                       // entries beyond the limit
        ToUtf16LeBytes(std::u16string(40959, u'y') + u",") + good,  // one huge entry
        std::string(),
        std::string(1, ','),
    };
    for (const std::string& bytes : cases) {
        WriteFile("0409.ini", bytes);
        LanguageStore store(0x409, Folder());
        const bool loaded = store.LoadLanguage(0x409);
        EXPECT_EQ(loaded, store.EntryCount() == 33u);
        for (int n = 1; n <= 33; ++n) EXPECT_LE(store.RawEntry(n).size(), kLanguageEntryMaxUnits);
    }
}

TEST_F(LanguageStoreTest, OddByteCountAndMissingMarkStillGive33Entries) {
    const std::string good = LanguageFileBytes(SampleEntries(u"English", 33));
    WriteFile("0409.ini", good + "x");
    LanguageStore odd(0x409, Folder());
    EXPECT_TRUE(odd.LoadLanguage(0x409));

    WriteFile("0409.ini", good.substr(2));
    LanguageStore unmarked(0x409, Folder());
    ASSERT_TRUE(unmarked.LoadLanguage(0x409));
    EXPECT_EQ(unmarked.Text(1), u"nglish 1");  // the first character is dropped all the same
}

TEST_F(LanguageStoreTest, APipeOrFolderNamedLikeALanguageFileCountsAsMissing) {
    ASSERT_EQ(::mkfifo((Folder() + "0409.ini").c_str(), 0600), 0);
    std::filesystem::create_directory(Folder() + "0407.ini");
    LanguageStore store(kGerman, Folder());
    EXPECT_FALSE(store.LoadLanguage(kGerman));
    EXPECT_TRUE(store.BuildLanguageList());
    EXPECT_TRUE(store.InstalledLanguages().empty());
}

struct InitCase {
    const char* name;
    std::string config;  // "-" = no configuration file
    bool haveGerman;
    bool loaded;
    uint32_t language;
};

TEST_F(LanguageStoreTest, InitLanguageFollowsTheConfigurationFile) {
    const InitCase cases[] = {
        {"zero-terminated 0409", std::string("0409\0", 5), true, true, 0x409},
        {"only four characters: 0x409 is 0x40", "0x409", true, false, 0x440},
        {"line end after the identifier", "0407\r\n", true, true, kGerman},
        {"empty uses the system language", "", true, true, kGerman},
        {"empty without the system's file uses English", "", false, true, 0x409},
        {"missing file", "-", true, false, kGerman},
        {"no identifier", "hello", true, false, kGerman},
        {"zero bytes only", std::string(5, '\0'), true, false, kGerman},
        {"0804 loads 0404", "0804", true, true, 0x404},
        {"the tail after the zero byte is ignored", std::string("0407\0" "0409junk", 13), true,
         true, kGerman},
    };
    for (const InitCase& c : cases) {
        std::filesystem::remove_all(Folder());
        std::filesystem::create_directory(Folder());
        WriteLanguage("0409.ini", u"English", 33);
        WriteLanguage("0404.ini", u"中文", 33);
        if (c.haveGerman) WriteLanguage("0407.ini", u"Deutsch", 33);
        if (c.config != "-") WriteFile("currentcfg.ini", c.config);

        LanguageStore store(kGerman, Folder());
        EXPECT_EQ(store.InitLanguage(), c.loaded) << c.name;
        EXPECT_EQ(store.CurrentLanguage(), c.language) << c.name;
        EXPECT_EQ(store.EntryCount(), c.loaded ? 33u : 0u) << c.name;
        EXPECT_FALSE(c.config == "-" && Exists("currentcfg.ini")) << c.name;
    }
}

class LanguageListTest : public LanguageFolderTest {
protected:
    void SetUp() override {
        LanguageFolderTest::SetUp();
        WriteLanguage("0409.ini", u"English", 33);
        WriteLanguage("0407.ini", u"Deutsch", 33);
        WriteLanguage("040c.ini", u"Français", 20);  // listed, cannot be switched to
        WriteLanguage("0419.ini", u"Русский", 19);   // no entry 20: not listed
        WriteLanguage("abcd.ini", u"Abcd", 25);      // primary language 0xCD: refused
        WriteLanguage("readme.txt", u"Readme", 33);
        WriteLanguage("en.ini", u"En", 33);
        WriteLanguage("ab.ini.bak", u"Backup", 33);
    }

    std::set<std::string> Installed(const LanguageStore& store) const {
        const auto& list = store.InstalledLanguages();
        return std::set<std::string>(list.begin(), list.end());
    }

    int Position(const LanguageStore& store, const std::string& id) const {
        const auto& list = store.InstalledLanguages();
        return static_cast<int>(std::find(list.begin(), list.end(), id) - list.begin());
    }
};

TEST_F(LanguageListTest, ListsEightCharacterNamesWithEntries19And20) {
    LanguageStore store(0x409, Folder());
    ASSERT_TRUE(store.LoadLanguage(0x409));
    ASSERT_TRUE(store.BuildLanguageList());

    EXPECT_EQ(Installed(store), (std::set<std::string>{"0409", "0407", "040c", "abcd"}));
    const size_t french = static_cast<size_t>(Position(store, "040c"));
    EXPECT_EQ(store.InstalledLanguageWord(french), u"\r\nLanguage");
    EXPECT_EQ(CleanLanguageText(store.InstalledLanguageName(french)), u"Français");
    EXPECT_EQ(store.InstalledLanguageName(99), u"");
    EXPECT_EQ(store.EntryCount(), 33u);
}

TEST_F(LanguageListTest, RebuildingReplacesTheList) {
    LanguageStore store(0x409, Folder());
    ASSERT_TRUE(store.BuildLanguageList());
    std::filesystem::remove(Folder() + "0407.ini");
    ASSERT_TRUE(store.BuildLanguageList());
    EXPECT_EQ(Installed(store), (std::set<std::string>{"0409", "040c", "abcd"}));
}

TEST_F(LanguageListTest, FolderThatIsMissingOrAFileCannotBeSearchedOrLoaded) {
    for (const std::string& folder : {Folder() + "nowhere/", Folder() + "0409.ini/"}) {
        LanguageStore store(0x409, folder);
        EXPECT_FALSE(store.BuildLanguageList()) << folder;
        EXPECT_TRUE(store.InstalledLanguages().empty()) << folder;
        EXPECT_FALSE(store.InitLanguage()) << folder;
        EXPECT_FALSE(store.LoadLanguage(0x409)) << folder;
        EXPECT_FALSE(store.SaveLanguageChoice(0x409)) << folder;
    }
}

TEST_F(LanguageListTest, SwitchLoadsTheChosenLanguageAndRebuildsTheList) {
    LanguageStore store(0x409, Folder());
    ASSERT_TRUE(store.LoadLanguage(0x409));
    ASSERT_TRUE(store.BuildLanguageList());

    uint32_t id = 0;
    ASSERT_TRUE(store.SwitchLanguage(Position(store, "0407"), id));
    EXPECT_EQ(id, kGerman);
    EXPECT_EQ(store.CurrentLanguage(), kGerman);
    EXPECT_EQ(store.Text(20), u"Deutsch");
    EXPECT_EQ(store.InstalledLanguages().size(), 4u);
}

TEST_F(LanguageListTest, RefusedSwitches) {
    LanguageStore store(0x409, Folder());
    ASSERT_TRUE(store.LoadLanguage(0x409));
    ASSERT_TRUE(store.BuildLanguageList());
    uint32_t id = 0;

    EXPECT_FALSE(store.SwitchLanguage(Position(store, "0409"), id)) << "current language";
    EXPECT_EQ(store.Text(20), u"English");
    EXPECT_FALSE(store.SwitchLanguage(4, id)) << "past the list";
    EXPECT_FALSE(store.SwitchLanguage(-1, id)) << "before the list";
    EXPECT_FALSE(store.SwitchLanguage(Position(store, "abcd"), id)) << "primary 0xCD";
    EXPECT_EQ(id, 0xABCDu);
    // Its load was tried and failed: no texts of the earlier language are left behind.
    EXPECT_EQ(store.EntryCount(), 0u);

    EXPECT_FALSE(store.SwitchLanguage(Position(store, "040c"), id)) << "20 entries";
    EXPECT_EQ(store.EntryCount(), 0u);
    // The list keeps its names, so the menu can still offer every language.
    EXPECT_EQ(store.InstalledLanguages().size(), 4u);
    EXPECT_EQ(CleanLanguageText(store.InstalledLanguageName(
                  static_cast<size_t>(Position(store, "0407")))),
              u"Deutsch");
}

struct SaveCase {
    uint32_t id;
    std::string written;
};

TEST_F(LanguageStoreTest, SavingWritesFourCharactersAndAZeroByteInPlace) {
    const std::string tail = "0407 and a longer tail";
    const SaveCase cases[] = {
        {0x409, std::string("0409\0", 5)},
        {0x404, std::string("0404\0", 5)},
        {0x40C, std::string("040c\0", 5)},
        {0x1000, std::string("1000\0", 5)},
        {0x12345, std::string("1234\0", 5)},
        {0x5, std::string("05\0\0\0", 5)},
    };
    for (const SaveCase& c : cases) {
        WriteFile("currentcfg.ini", tail);
        LanguageStore store(0x409, Folder());
        ASSERT_TRUE(store.SaveLanguageChoice(c.id));
        EXPECT_EQ(ReadFile("currentcfg.ini"), c.written + tail.substr(5)) << std::hex << c.id;
    }
}

TEST_F(LanguageStoreTest, SavingExtendsAnEmptyFileAndRoundTrips) {
    WriteLanguage("0419.ini", u"Русский", 33);
    WriteFile("currentcfg.ini", "");
    LanguageStore store(0x409, Folder());
    ASSERT_TRUE(store.SaveLanguageChoice(0x419));
    EXPECT_EQ(ReadFile("currentcfg.ini"), std::string("0419\0", 5));

    LanguageStore next(0x409, Folder());
    ASSERT_TRUE(next.InitLanguage());
    EXPECT_EQ(next.CurrentLanguage(), 0x419u);
}

TEST_F(LanguageStoreTest, SavingNeverCreatesTheFile) {
    LanguageStore store(0x409, Folder());
    EXPECT_FALSE(store.SaveLanguageChoice(0x409));
    EXPECT_FALSE(Exists("currentcfg.ini"));
}

}  // namespace
