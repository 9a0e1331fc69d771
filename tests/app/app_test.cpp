// The player as a person meets it: its window, the caption menu, the language switch, the About
// box, and the message it ends with when no language can be loaded.

#include <QColor>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/qt/dialog_template.h"
#include "language/language_store.h"
#include "tests/app/app_harness.h"
#include "tests/support/fixtures.h"

namespace {

constexpr int kRight = 3;
// What a window needs after it appears before keys reach it.
constexpr int kSettleMs = 400;

class PlayerTest : public AppTest {
protected:
    // Starts the player and waits for its main window.
    void StartShown(const std::string& language = "en_US", const std::vector<std::string>& arguments = {}) {
        m_pid = Start(language, nullptr, arguments);
        m_window = WaitForWindow(m_pid, "^Telvane$");
        ASSERT_NE(m_window, 0u) << Log();
        m_geometry = Geometry(m_window);
        ASSERT_TRUE(WaitUntilPainted(m_geometry));
    }

    // A point of the caption clear of the icon, the title's start and the buttons.
    int CaptionX() const { return m_geometry.x + m_geometry.width / 2; }
    int CaptionY() const { return m_geometry.y + kCaptionHeight / 2; }

    bool WaitForWindowCount(pid_t pid, size_t count) {
        for (int waited = 0; waited < 3000; waited += 150) {
            if (VisibleWindowCount(pid) == count) return true;
            Pause(150);
        }
        return false;
    }

    // Right-clicks at a point of the screen and tells whether a menu opened within the time.
    bool RightClickOpensMenu(int x, int y, int timeoutMs = 3000) {
        const size_t before = VisibleWindowCount(m_pid);
        Click(x, y, kRight);
        for (int waited = 0; waited < timeoutMs; waited += 150) {
            if (VisibleWindowCount(m_pid) > before) {
                Pause(kSettleMs);  // until the menu has taken the keyboard
                return true;
            }
            Pause(150);
        }
        return false;
    }

    // The position of a language in the caption menu's submenu: the player lists the files in
    // the order the folder gives them.
    int MenuPosition(const std::string& id) const {
        LanguageStore store(0x409, LangFolder());
        store.BuildLanguageList();
        const auto& list = store.InstalledLanguages();
        return static_cast<int>(std::find(list.begin(), list.end(), id) - list.begin());
    }

    void ChooseLanguage(const std::string& id) {
        ASSERT_TRUE(RightClickOpensMenu(CaptionX(), CaptionY()));
        std::string keys = "Down Right";
        for (int k = 0; k < MenuPosition(id); ++k) keys += " Down";
        Keys(keys + " Return");
    }

    unsigned long OpenAbout(pid_t pid, const std::string& title) {
        if (!RightClickOpensMenu(CaptionX(), CaptionY())) return 0;
        Keys("Up Return");  // the About item is the last
        return WaitForWindow(pid, "^" + title + "$");
    }

    void CloseThroughCloseButton() {
        Click(m_geometry.x + m_geometry.width - 20, m_geometry.y + 17, kLeft);
    }

    // The players running once a restart has begun: the new one starts after the old one ended.
    std::vector<pid_t> WaitForRestartedPlayers() {
        std::vector<pid_t> players;
        for (int i = 0; i < 50 && players.empty(); ++i) {
            players = RunningPlayers();
            Pause(150);
        }
        return players;
    }

    void ExpectCleanEnd(pid_t pid) {
        EXPECT_EQ(WaitForExit(pid), 0) << Log();
        EXPECT_EQ(SanitizerReports(), "");
    }

    pid_t m_pid = 0;
    unsigned long m_window = 0;
    WindowGeometry m_geometry;
};

int CountLightPixels(const QImage& shot, const WindowGeometry& area) {
    int light = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            if (QColor(shot.pixel(x, y)).lightness() > 200) ++light;
        }
    }
    return light;
}

TEST_F(PlayerTest, MainWindowShowsItsCaptionWithTitleAndEndsThroughItsCloseButton) {
    StartShown();
    EXPECT_GE(m_geometry.width, 907) << "the main panel needs 656 + 245 pixels inside the border";
    const QImage shot = Screenshot("main_window");
    // The white title is painted at the caption's left, after the icon.
    const WindowGeometry title{m_geometry.x + 32, m_geometry.y + 5, 120, 25};
    EXPECT_GT(CountLightPixels(shot, title), 20);

    CloseThroughCloseButton();
    ExpectCleanEnd(m_pid);
}

TEST_F(PlayerTest, RightClickOpensTheCaptionMenuOnlyInTheCaption) {
    StartShown();
    const int x = m_geometry.x;
    const int y = m_geometry.y;
    const int width = m_geometry.width;
    struct Place {
        const char* name;
        int x;
        int y;
    };
    const Place outside[] = {
        {"content", x + width / 2, y + m_geometry.height / 2},
        {"left of the zone", x + 5, y + 17},
        {"maximise button", x + width - 41, y + 17},
        {"below the caption", x + width / 2, y + kCaptionHeight + 2},
    };
    for (const Place& place : outside) {
        if (RightClickOpensMenu(place.x, place.y, 1500)) {
            ADD_FAILURE() << "a menu opened at the " << place.name;
            Keys("Escape");
        }
    }

    const QImage before = Screenshot("caption_menu_before");
    ASSERT_TRUE(RightClickOpensMenu(CaptionX(), CaptionY()));
    Keys("Down Right");
    const QImage menu = Screenshot("caption_menu_languages");
    EXPECT_TRUE(Differs(before, menu, {CaptionX(), CaptionY(), 300, 150}));
    // The submenu holds the six shipped languages.
    EXPECT_EQ(VisibleWindowCount(m_pid), 3u);
    Keys("Escape Escape");
}

TEST_F(PlayerTest, IconAndAltSpaceOpenTheSystemMenuWithItsAboutItem) {
    StartShown();
    const size_t before = VisibleWindowCount(m_pid);
    Click(m_geometry.x + 19, m_geometry.y + 17, kLeft);
    ASSERT_TRUE(WaitForWindowCount(m_pid, before + 1));
    Pause(kSettleMs);
    Screenshot("system_menu");
    Keys("Up Return");  // the About item is the last
    const unsigned long about = WaitForWindow(m_pid, "^About Telvane$");
    ASSERT_NE(about, 0u);
    Focus(about);
    Keys("Escape");
    ASSERT_TRUE(WaitForWindowGone(about));

    Focus(m_window);
    Keys("alt+space");
    EXPECT_TRUE(WaitForWindowCount(m_pid, before + 1));
    Pause(kSettleMs);
    Keys("Escape");
    EXPECT_TRUE(WaitForWindowCount(m_pid, before));

    CloseThroughCloseButton();
    ExpectCleanEnd(m_pid);
}

TEST_F(PlayerTest, ChoosingAnotherLanguageRestartsInPlaceWithItsTexts) {
    StartShown();
    MoveWindow(m_window, 101, 77);
    ResizeWindow(m_window, 1010, 690);
    m_geometry = Geometry(m_window);
    ASSERT_EQ(m_geometry, (WindowGeometry{101, 77, 1010, 690}));

    ChooseLanguage("0407");
    EXPECT_EQ(WaitForExit(m_pid), 0) << Log();
    EXPECT_EQ(ReadConfig(), std::string("0407\0", 5));

    const std::vector<pid_t> players = WaitForRestartedPlayers();
    ASSERT_EQ(players.size(), 1u) << Log();
    m_pid = players.front();
    m_window = WaitForWindow(m_pid, "^Telvane$");
    ASSERT_NE(m_window, 0u) << Log();
    EXPECT_EQ(Geometry(m_window), m_geometry);

    const unsigned long about = OpenAbout(m_pid, "Über Telvane");
    EXPECT_NE(about, 0u) << "the About box is titled in German";
    Screenshot("about_after_switch_to_german");
    Focus(about);
    Keys("Escape");
    EXPECT_TRUE(WaitForWindowGone(about));
    CloseThroughCloseButton();
    ExpectCleanEnd(m_pid);
}

TEST_F(PlayerTest, RestartAfterALanguageSwitchPlaysTheFileOfTheCommandLineAgain) {
    fixtures::TempDir media;
    fixtures::ClipOptions options;
    options.seconds = 20.0;
    const std::string clip = fixtures::MakeClip(media, "clip", options);
    ASSERT_FALSE(clip.empty());
    std::filesystem::copy_file(clip, Folder() + "/clip.mp4");
    // Named relative to the folder the player starts in.
    StartShown("en_US", {"clip.mp4"});
    ChooseLanguage("0407");
    EXPECT_EQ(WaitForExit(m_pid), 0) << Log();

    const std::vector<pid_t> players = WaitForRestartedPlayers();
    ASSERT_EQ(players.size(), 1u) << Log();
    m_pid = players.front();
    std::ifstream cmdline("/proc/" + std::to_string(m_pid) + "/cmdline", std::ios::binary);
    const std::string arguments((std::istreambuf_iterator<char>(cmdline)), {});
    EXPECT_NE(arguments.find(std::string(1, '\0') + Folder() + "/clip.mp4" + '\0'), std::string::npos)
        << "the file is handed on as an absolute path";
    m_window = WaitForWindow(m_pid, "^Telvane$");
    ASSERT_NE(m_window, 0u) << Log();
    m_geometry = Geometry(m_window);
    // The picture of the clip, in the middle of the video pane.
    const WindowGeometry picture{m_geometry.x + 200, m_geometry.y + 200, 200, 100};
    EXPECT_TRUE(WaitUntilPainted(picture));
    Screenshot("restart_keeps_the_file");
    CloseThroughCloseButton();
    ExpectCleanEnd(m_pid);
}

TEST_F(PlayerTest, HandedOnRectangleIsUsedOnlyWhenItDescribesAWindow) {
    const struct {
        const char* rect;
        bool used;
    } cases[] = {
        {"50,60,1000,700", true},
        {"-20,-10,930,600", true},
        {"2147483647,5,900,700", false},
        {"1,2,3", false},
        {"a,b,c,d", false},
        {"10,10,0,600", false},
        {"10,10,99999,600", false},
    };
    for (const auto& c : cases) {
        const pid_t pid = Start("en_US", c.rect);
        const unsigned long window = WaitForWindow(pid, "^Telvane$");
        ASSERT_NE(window, 0u) << c.rect << '\n' << Log();
        const WindowGeometry geometry = Geometry(window);
        int x = 0, y = 0, width = 0, height = 0;
        std::sscanf(c.rect, "%d,%d,%d,%d", &x, &y, &width, &height);
        EXPECT_EQ(geometry == (WindowGeometry{x, y, width, height}), c.used) << c.rect;
        if (!c.used) {
            EXPECT_EQ(geometry.width, 960) << c.rect << ": the template's size";
        }
        Click(geometry.x + geometry.width - 20, geometry.y + 17, kLeft);
        EXPECT_EQ(WaitForExit(pid), 0) << c.rect;
    }
    EXPECT_EQ(SanitizerReports(), "");
}

TEST_F(PlayerTest, ChoosingTheCurrentLanguageDoesNothing) {
    StartShown();
    ChooseLanguage("0409");
    Screenshot("current_language_chosen");
    EXPECT_EQ(ReadConfig(), "");
    EXPECT_EQ(RunningPlayers(), std::vector<pid_t>{m_pid});
    EXPECT_EQ(WaitForWindow(m_pid, "^Telvane$"), m_window);

    CloseThroughCloseButton();
    ExpectCleanEnd(m_pid);
}

// A language file with entries 19 and 20 but not all 33: listed, and refused when chosen.
std::string IncompleteLanguageFile() {
    std::u16string text = u"\uFEFF";
    for (int n = 1; n <= 20; ++n) {
        const std::string number = std::to_string(n);
        text += n == 19 ? u"Lingua" : n == 20 ? u"Italiano" : u"Voce " + std::u16string(number.begin(), number.end());
        text += u",\r\n";
    }
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

TEST_F(PlayerTest, RefusedSwitchKeepsThePlayerRunningWithEmptyTexts) {
    std::ofstream(LangFolder() + "0410.ini", std::ios::binary) << IncompleteLanguageFile();
    StartShown();
    ChooseLanguage("0410");
    Pause(1500);
    EXPECT_EQ(ReadConfig(), "");
    EXPECT_EQ(RunningPlayers(), std::vector<pid_t>{m_pid});
    // Without texts the caption menu has neither the language submenu nor the About item: its last
    // entry is then the recorded time in UTC, whose setting shows it was the one chosen.
    ASSERT_TRUE(RightClickOpensMenu(CaptionX(), CaptionY()));
    Keys("Up Return");
    const std::string zoneSetting = Folder() + "/config/telvane/clockzone.ini";
    const auto utcChosen = [&] {
        std::string word;
        std::ifstream(zoneSetting) >> word;
        return word == "utc";
    };
    EXPECT_TRUE(Eventually(utcChosen)) << "the menu's last entry is not the recorded time in UTC";
    Screenshot("refused_switch");

    CloseThroughCloseButton();
    ExpectCleanEnd(m_pid);
}

TEST_F(PlayerTest, EighthAndLaterLanguagesOfTheMenuDoNothing) {
    // Eight installed languages: two more copies of the English file.
    for (const char* extra : {"0410.ini", "0411.ini"}) {
        std::filesystem::copy_file(LangFolder() + "0409.ini", LangFolder() + extra);
    }
    LanguageStore store(0x409, LangFolder());
    store.BuildLanguageList();
    ASSERT_EQ(store.InstalledLanguages().size(), 8u);
    // Start in the first listed language, so that the eighth is another one.
    const std::string first = store.InstalledLanguages().front();
    const std::string eighth = store.InstalledLanguages().back();
    WriteConfig(first);
    StartShown();

    ChooseLanguage(eighth);
    Pause(1500);
    EXPECT_EQ(ReadConfig(), first);
    EXPECT_EQ(RunningPlayers(), std::vector<pid_t>{m_pid});

    // The seventh, one step less deep in the same menu, still switches.
    const std::string seventh = store.InstalledLanguages()[6];
    ChooseLanguage(seventh);
    ExpectCleanEnd(m_pid);
    EXPECT_EQ(ReadConfig(), seventh + std::string(1, '\0'));
}

TEST_F(PlayerTest, AboutBoxInTheUsersLanguageClosesWithEscapeAndWithOk) {
    StartShown("fr_FR");
    const std::string title = "À propos de Telvane";
    unsigned long about = OpenAbout(m_pid, title);
    ASSERT_NE(about, 0u) << "an empty configuration uses the user's language";
    // The application's icon, teal on the box's light face, left of the OK button.
    const QImage shot = Screenshot("about_french");
    const WindowGeometry face = Geometry(about);
    const QRect okButton = platform::DialogUnitsToPixels(platform::FindDialogTemplate(100)->controls.back().units);
    int teal = 0;
    for (int y = face.y + kCaptionHeight; y < face.y + face.height; ++y) {
        for (int x = face.x; x < face.x + okButton.left(); ++x) {
            const QColor c(shot.pixel(x, y));
            if (c.red() < 80 && c.green() > 100 && c.blue() > 120) ++teal;
        }
    }
    EXPECT_GT(teal, 100) << "the About box shows the application's icon";
    Focus(about);
    Keys("Escape");
    EXPECT_TRUE(WaitForWindowGone(about));

    about = OpenAbout(m_pid, title);
    ASSERT_NE(about, 0u);
    const WindowGeometry box = Geometry(about);
    const QRect ok = platform::DialogUnitsToPixels(
        platform::FindDialogTemplate(100)->controls.back().units);
    Click(box.x + ok.center().x(), box.y + ok.center().y(), kLeft);
    EXPECT_TRUE(WaitForWindowGone(about));

    CloseThroughCloseButton();
    ExpectCleanEnd(m_pid);
}

TEST_F(PlayerTest, UnusableConfigurationShowsTheFatalMessageAndEnds) {
    const struct {
        const char* name;
        const char* config;  // null: no configuration file
    } cases[] = {
        {"missing", nullptr},
        {"not hexadecimal", "zz"},
        {"no loadable language", "0x409"},
    };
    for (const auto& c : cases) {
        if (c.config) {
            WriteConfig(c.config);
        } else {
            RemoveConfig();
        }
        const pid_t pid = Start();
        // Titled with the application's name.
        const unsigned long message = WaitForWindow(pid, "^(Telvane|Quillon)$");
        ASSERT_NE(message, 0u) << c.name << '\n' << Log();
        Screenshot(std::string("fatal_message_") + (c.config ? c.config : "missing"));
        EXPECT_EQ(VisibleWindowCount(pid), 1u) << c.name << ": the main window stays hidden";
        Focus(message);
        Keys("Return");
        EXPECT_EQ(WaitForExit(pid), 0) << c.name;
    }
    EXPECT_EQ(SanitizerReports(), "");
}

}  // namespace
