#pragma once
// The texts of the user interface: one language file of 33 comma-terminated UTF-16LE entries is
// loaded at start-up, and the installed language files are listed for the language menu.
// The language choice (currentcfg.ini) is the user's: read from the user's configuration folder
// when it holds one, else from the shipped folder, and always written to the user's folder, since
// an installed program's own folder is not the user's to change.
// User-interface thread only; no lock.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The number of entries a loadable language file has.
constexpr int kLanguageEntryCount = 33;
// Only this many UTF-16 units of a language file are looked at (81 920 bytes).
constexpr size_t kLanguageFileUnits = 40960;
// An entry longer than this is cut to this many UTF-16 units.
constexpr size_t kLanguageEntryMaxUnits = 255;

// The Windows language identifier of the user's locale (en_US 0x409, de 0x407, zh_CN 0x804 ...).
uint32_t GetSystemDefaultLangID();
// The identifier for an ISO 639 language code and ISO 3166 territory code ("zh", "TW");
// English (0x409) for a language without an identifier.
uint32_t LangIdFromLocale(std::string_view language, std::string_view territory);

// The user's configuration folder for this program, ending in '/': $XDG_CONFIG_HOME/telvane/, or
// $HOME/.config/telvane/ when that variable is unset, empty or relative; empty without either.
std::string UserConfigFolder(const char* xdgConfigHome, const char* home);
// The same, from this process's environment.
std::string UserConfigFolder();

// Hexadecimal text, optionally "0x"-prefixed, to a number; nothing for an empty text, more than
// eight digits after the leading zeros, or any other character.
std::optional<uint32_t> ParseLanguageId(std::string_view text);

// Entry n (from 1) of a language file's text, as raw text: the characters after the previous comma
// up to its own comma. Nothing when the text (up to a zero unit or kLanguageFileUnits) ends first.
std::optional<std::u16string> GetLanguageField(std::u16string_view text, int n);

// The display form of an entry: every line feed removed, then the first character dropped (the
// byte-order mark of entry 1, the carriage return that starts every later entry).
std::u16string CleanLanguageText(std::u16string_view raw);

class LanguageStore {
public:
    // folder ends with '/'; the language files and the shipped currentcfg.ini are opened inside
    // it. userFolder, when not empty, ends with '/' and holds the user's own currentcfg.ini;
    // without it the choice is read from and written to the shipped file.
    explicit LanguageStore(uint32_t systemLanguage = GetSystemDefaultLangID(),
                           std::string folder = "langconfig/", std::string userFolder = {});

    // The process-wide store the windows read their texts from.
    static LanguageStore& Global();

    // Loads the language named by currentcfg.ini (the user's, else the shipped one), or the
    // system's when that file is empty.
    bool InitLanguage();
    // Loads the file of (id AND 0xFF) OR 0x400 into entries 1 to 33, falling back once to English
    // when that file cannot be opened. The current language takes the normalised id either way.
    bool LoadLanguage(uint32_t id);
    // Lists every file of the folder whose name has 8 characters and which has entries 19 and 20.
    bool BuildLanguageList();
    // Loads the k-th listed language and rebuilds the list; false when k is out of range, names the
    // current language, or cannot be loaded. id receives the listed identifier when it parses.
    bool SwitchLanguage(int k, uint32_t& id);
    // Writes the identifier over the start of currentcfg.ini (4 hex characters and a zero byte).
    // With a user folder the user's file is written, made first as a copy of the shipped one
    // (folders included) when the user has none; without one the shipped file is written and
    // never created. False when the file cannot be made, opened or written.
    bool SaveLanguageChoice(uint32_t id) const;

    uint32_t CurrentLanguage() const { return m_currentLanguage; }
    // Entries of the current language held (33 after a successful load, else 0).
    size_t EntryCount() const { return m_entries.size(); }
    // Raw text of entry n (from 1); empty when unavailable.
    std::u16string RawEntry(int n) const;
    // Display text of entry n; empty when unavailable.
    std::u16string Text(int n) const;

    // The installed languages: the first four characters of each file name, in directory order.
    const std::vector<std::string>& InstalledLanguages() const { return m_installed; }
    // Raw entries 19 (the word for "language") and 20 (the language's own name) of the k-th file.
    std::u16string InstalledLanguageWord(size_t k) const;
    std::u16string InstalledLanguageName(size_t k) const;

    const std::string& Folder() const { return m_folder; }
    const std::string& UserFolder() const { return m_userFolder; }

private:
    struct LanguageNames {
        std::u16string word;
        std::u16string name;
    };

    std::string LanguageFilePath(uint32_t id) const;
    std::string ShippedConfigPath() const { return m_folder + "currentcfg.ini"; }
    std::string UserConfigPath() const { return m_userFolder + "currentcfg.ini"; }
    // The file the choice is written to, made from the shipped one when the user has none.
    bool MakeUserConfig() const;
    void AddInstalledLanguage(const std::string& fileName);

    uint32_t m_currentLanguage;
    std::string m_folder;
    std::string m_userFolder;
    std::vector<std::u16string> m_entries;
    // Kept apart from the entries so a failed load cannot shift the names of the list.
    std::vector<LanguageNames> m_names;
    std::vector<std::string> m_installed;
};
