// The language choice as a per-user setting: read from the user's folder before the shipped one,
// and written only to the user's folder, which is made from the shipped file on the first switch.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "language/language_store.h"
#include "tests/language/language_fixture.h"

namespace {

struct FolderCase {
    const char* xdgConfigHome;
    const char* home;
    std::string folder;
};

TEST(UserConfigFolder, FollowsTheConfigVariableThenTheHomeFolder) {
    const FolderCase cases[] = {
        {"/cfg", "/home/u", "/cfg/telvane/"},
        {nullptr, "/home/u", "/home/u/.config/telvane/"},
        {"", "/home/u", "/home/u/.config/telvane/"},
        {"relative/cfg", "/home/u", "/home/u/.config/telvane/"},
        {nullptr, nullptr, ""},
        {nullptr, "relative", ""},
    };
    for (const FolderCase& c : cases) {
        EXPECT_EQ(UserConfigFolder(c.xdgConfigHome, c.home), c.folder)
            << (c.xdgConfigHome ? c.xdgConfigHome : "(unset)") << " " << (c.home ? c.home : "(unset)");
    }
}

class UserConfigTest : public LanguageFolderTest {
protected:
    void SetUp() override {
        LanguageFolderTest::SetUp();
        WriteLanguage("0409.ini", u"English", 33);
        WriteLanguage("0407.ini", u"Deutsch", 33);
        WriteLanguage("0419.ini", u"Русский", 33);
    }
    // Two levels that do not exist yet, as on a first run.
    std::string UserFolder() const { return Folder() + "home/.config/telvane/"; }
    std::string UserFile() const { return UserFolder() + "currentcfg.ini"; }
    LanguageStore Store() const { return LanguageStore(0x409, Folder(), UserFolder()); }
};

TEST_F(UserConfigTest, ShippedChoiceIsReadWhenTheUserHasNone) {
    WriteFile("currentcfg.ini", "0407");
    LanguageStore store = Store();
    ASSERT_TRUE(store.InitLanguage());
    EXPECT_EQ(store.CurrentLanguage(), 0x407u);
    EXPECT_FALSE(std::filesystem::exists(UserFolder())) << "reading makes nothing";
}

TEST_F(UserConfigTest, FirstSwitchCopiesTheShippedFileAndLeavesItAlone) {
    const std::string shipped = "0407 shipped tail";
    WriteFile("currentcfg.ini", shipped);
    ASSERT_TRUE(Store().SaveLanguageChoice(0x419));

    EXPECT_EQ(ReadFile("currentcfg.ini"), shipped);
    EXPECT_EQ(ReadFile("home/.config/telvane/currentcfg.ini"), std::string("0419\0", 5) + shipped.substr(5));
    LanguageStore next = Store();
    ASSERT_TRUE(next.InitLanguage());
    EXPECT_EQ(next.CurrentLanguage(), 0x419u);
}

TEST_F(UserConfigTest, UsersChoiceWinsAndLaterSwitchesRewriteItInPlace) {
    WriteFile("currentcfg.ini", "0407");
    std::filesystem::create_directories(UserFolder());
    WriteFile("home/.config/telvane/currentcfg.ini", std::string("0419\0 mine", 10));

    LanguageStore store = Store();
    ASSERT_TRUE(store.InitLanguage());
    EXPECT_EQ(store.CurrentLanguage(), 0x419u);
    ASSERT_TRUE(store.SaveLanguageChoice(0x409));
    EXPECT_EQ(ReadFile("home/.config/telvane/currentcfg.ini"), std::string("0409\0 mine", 10));
    EXPECT_EQ(ReadFile("currentcfg.ini"), "0407");
}

TEST_F(UserConfigTest, EmptyUserFileMeansTheSystemLanguage) {
    WriteFile("currentcfg.ini", "0407");
    std::filesystem::create_directories(UserFolder());
    WriteFile("home/.config/telvane/currentcfg.ini", "");
    LanguageStore store(0x419, Folder(), UserFolder());
    ASSERT_TRUE(store.InitLanguage());
    EXPECT_EQ(store.CurrentLanguage(), 0x419u);
}

TEST_F(UserConfigTest, WithoutAnyChoiceFileStartUpFailsButASwitchIsStillStored) {
    LanguageStore store = Store();
    EXPECT_FALSE(store.InitLanguage());
    ASSERT_TRUE(store.SaveLanguageChoice(0x407));
    EXPECT_EQ(ReadFile("home/.config/telvane/currentcfg.ini"), std::string("0407\0", 5));
    EXPECT_FALSE(Exists("currentcfg.ini"));
}

TEST_F(UserConfigTest, UnusableUserFolderRefusesTheSaveAndWritesNothingElse) {
    WriteFile("currentcfg.ini", "0407");
    // A file where the folder should be: neither it nor anything under it can be made.
    WriteFile("home", "not a folder");
    LanguageStore store = Store();
    EXPECT_FALSE(store.SaveLanguageChoice(0x419));
    EXPECT_EQ(ReadFile("currentcfg.ini"), "0407");
    EXPECT_EQ(ReadFile("home"), "not a folder");
    ASSERT_TRUE(store.InitLanguage()) << "the shipped choice still loads";
    EXPECT_EQ(store.CurrentLanguage(), 0x407u);
}

TEST_F(UserConfigTest, UnreadableUserFileFallsBackToTheShippedChoice) {
    WriteFile("currentcfg.ini", "0407");
    std::filesystem::create_directories(UserFile());
    LanguageStore store = Store();
    ASSERT_TRUE(store.InitLanguage());
    EXPECT_EQ(store.CurrentLanguage(), 0x407u);
    EXPECT_FALSE(store.SaveLanguageChoice(0x419));
}

}  // namespace
