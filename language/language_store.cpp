#include "language/language_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

namespace {

constexpr uint32_t kEnglish = 0x409;
constexpr uint32_t kHighestPrimaryLanguage = 0x38;
constexpr int kLanguageWordEntry = 19;
constexpr int kLanguageNameEntry = 20;
// The shipped configuration is a few bytes; a larger file is copied only this far.
constexpr size_t kLargestCopiedConfig = 64 * 1024;

// Owns a file descriptor. Only regular files are opened: a directory or a pipe that happens to
// carry a language file's name must count as missing rather than block or fail mid-read.
class RegularFile {
public:
    RegularFile(const std::string& path, int flags)
        : m_fd(::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK)) {
        struct stat info {};
        if (m_fd >= 0 && (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))) Close();
    }
    ~RegularFile() { Close(); }
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    explicit operator bool() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    // Reads up to size bytes from the current position; fewer at the end of the file or on error.
    size_t Read(unsigned char* buffer, size_t size) {
        size_t done = 0;
        while (done < size) {
            const ssize_t got = ::read(m_fd, buffer + done, size - done);
            if (got > 0) {
                done += static_cast<size_t>(got);
            } else if (got == 0 || errno != EINTR) {
                break;
            }
        }
        return done;
    }

private:
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

    int m_fd;
};

// The first kLanguageFileUnits little-endian UTF-16 units of the file; an odd last byte becomes a
// unit of its own, as it would in the zeroed buffer the format is read into.
std::u16string ReadLanguageText(RegularFile& file) {
    std::vector<unsigned char> bytes(kLanguageFileUnits * 2);
    const size_t got = file.Read(bytes.data(), bytes.size());
    std::u16string text((got + 1) / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return text;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// Longer entries break the format's limit; they are cut rather than rejected so that one
// over-long tooltip does not blank every text of the interface. A surrogate pair is never split.
std::u16string LimitEntry(std::u16string_view entry) {
    if (entry.size() <= kLanguageEntryMaxUnits) return std::u16string(entry);
    size_t keep = kLanguageEntryMaxUnits;
    if (IsHighSurrogate(entry[keep - 1])) --keep;
    return std::u16string(entry.substr(0, keep));
}

// The first `limit` entries of a language file's text.
std::vector<std::u16string> SplitLanguageFields(std::u16string_view text, size_t limit) {
    std::vector<std::u16string> fields;
    text = text.substr(0, std::min(text.size(), kLanguageFileUnits));
    size_t start = 0;
    for (size_t i = 0; i < text.size() && text[i] != u'\0' && fields.size() < limit; ++i) {
        if (text[i] != u',') continue;
        fields.push_back(LimitEntry(text.substr(start, i - start)));
        start = i + 1;
    }
    return fields;
}

// UTF-8 file names are counted in characters, as the format's "8 characters" means.
size_t CountCharacters(std::string_view utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string FirstCharacters(std::string_view utf8, size_t count) {
    size_t end = 0;
    for (size_t seen = 0; end < utf8.size(); ++end) {
        if ((static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) continue;
        if (seen++ == count) break;
    }
    return std::string(utf8.substr(0, end));
}

std::string ToUpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::string ToLowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

struct PrimaryLanguage {
    const char* code;
    uint32_t primary;
};

// ISO 639 codes and the primary language numbers of the Windows identifiers.
constexpr PrimaryLanguage kPrimaryLanguages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"rm", 0x17},
    {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D},
    {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22}, {"be", 0x23},
    {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"tg", 0x28}, {"fa", 0x29},
    {"vi", 0x2A}, {"hy", 0x2B}, {"az", 0x2C}, {"eu", 0x2D}, {"mk", 0x2F}, {"af", 0x36},
    {"ka", 0x37}, {"fo", 0x38}, {"hi", 0x39}, {"mt", 0x3A}, {"ga", 0x3C}, {"ms", 0x3E},
    {"kk", 0x3F}, {"ky", 0x40}, {"sw", 0x41}, {"uz", 0x43}, {"tt", 0x44}, {"bn", 0x45},
    {"pa", 0x46}, {"gu", 0x47}, {"ta", 0x49}, {"te", 0x4A}, {"kn", 0x4B}, {"ml", 0x4C},
    {"mr", 0x4E}, {"mn", 0x50}, {"cy", 0x52}, {"km", 0x53}, {"lo", 0x54}, {"gl", 0x56},
};

struct RegionalLanguage {
    const char* code;
    const char* territory;
    uint32_t id;
};

// Territories whose identifier is not the language's default sub-language.
constexpr RegionalLanguage kRegionalLanguages[] = {
    {"zh", "", 0x804},   {"zh", "CN", 0x804},  {"zh", "TW", 0x404},  {"zh", "HK", 0xC04},
    {"zh", "SG", 0x1004}, {"zh", "MO", 0x1404}, {"en", "GB", 0x809},  {"en", "AU", 0xC09},
    {"en", "CA", 0x1009}, {"en", "NZ", 0x1409}, {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09},
    {"en", "IN", 0x4009}, {"de", "CH", 0x807},  {"de", "AT", 0xC07},  {"de", "LU", 0x1007},
    {"fr", "BE", 0x80C},  {"fr", "CA", 0xC0C},  {"fr", "CH", 0x100C}, {"fr", "LU", 0x140C},
    {"es", "ES", 0xC0A},  {"es", "MX", 0x80A},  {"es", "AR", 0x2C0A}, {"pt", "PT", 0x816},
    {"nl", "BE", 0x813},  {"it", "CH", 0x810},  {"sv", "FI", 0x81D},  {"ar", "EG", 0xC01},
};

// Writes all of bytes; false when the file takes fewer.
bool WriteAll(int fd, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

}  // namespace

std::string UserConfigFolder(const char* xdgConfigHome, const char* home) {
    // A relative value is invalid for the variable and would name a folder that moves with the
    // current directory.
    if (xdgConfigHome && xdgConfigHome[0] == '/') return std::string(xdgConfigHome) + "/telvane/";
    if (home && home[0] == '/') return std::string(home) + "/.config/telvane/";
    return {};
}

std::string UserConfigFolder() {
    return UserConfigFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

uint32_t LangIdFromLocale(std::string_view language, std::string_view territory) {
    const std::string code = ToLowerAscii(language);
    const std::string region = ToUpperAscii(territory);
    for (const RegionalLanguage& entry : kRegionalLanguages) {
        if (code == entry.code && region == entry.territory) return entry.id;
    }
    for (const PrimaryLanguage& entry : kPrimaryLanguages) {
        if (code == entry.code) return entry.primary | 0x400;
    }
    return kEnglish;
}

uint32_t GetSystemDefaultLangID() {
    // name() is "language_TERRITORY", or "C" for the untranslated locale.
    const std::string name = QLocale::system().name().toStdString();
    const size_t separator = name.find('_');
    if (separator == std::string::npos) return LangIdFromLocale(name, "");
    return LangIdFromLocale(std::string_view(name).substr(0, separator),
                            std::string_view(name).substr(separator + 1));
}

std::optional<uint32_t> ParseLanguageId(std::string_view text) {
    if (text.starts_with('0')) {
        text.remove_prefix(1);
        if (text.starts_with('x') || text.starts_with('X')) text.remove_prefix(1);
    }
    while (text.starts_with('0')) text.remove_prefix(1);
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return value;
}

std::optional<std::u16string> GetLanguageField(std::u16string_view text, int n) {
    if (n < 1) return std::nullopt;
    std::vector<std::u16string> fields = SplitLanguageFields(text, static_cast<size_t>(n));
    if (fields.size() < static_cast<size_t>(n)) return std::nullopt;
    return std::move(fields.back());
}

std::u16string CleanLanguageText(std::u16string_view raw) {
    std::u16string clean;
    std::copy_if(raw.begin(), raw.end(), std::back_inserter(clean),
                 [](char16_t c) { return c != u'\n'; });
    if (!clean.empty()) clean.erase(0, 1);
    return clean;
}

LanguageStore::LanguageStore(uint32_t systemLanguage, std::string folder, std::string userFolder)
    : m_currentLanguage(systemLanguage), m_folder(std::move(folder)), m_userFolder(std::move(userFolder)) {}

LanguageStore& LanguageStore::Global() {
    static LanguageStore store(GetSystemDefaultLangID(), "langconfig/", UserConfigFolder());
    return store;
}

bool LanguageStore::InitLanguage() {
    // Only read here: an installed program's shipped file is not writable by its users.
    RegularFile userFile(m_userFolder.empty() ? std::string() : UserConfigPath(), O_RDONLY);
    RegularFile shippedFile(userFile ? std::string() : ShippedConfigPath(), O_RDONLY);
    RegularFile& file = userFile ? userFile : shippedFile;
    if (!file) return false;
    struct stat info {};
    if (::fstat(file.Fd(), &info) != 0) return false;
    if (info.st_size == 0) return LoadLanguage(m_currentLanguage);

    unsigned char head[4] = {};
    const size_t got = file.Read(head, sizeof head);
    // The stored text ends at its zero byte; only its first four characters name the language.
    const std::string_view stored(reinterpret_cast<const char*>(head), got);
    const std::optional<uint32_t> id = ParseLanguageId(stored.substr(0, stored.find('\0')));
    return id && LoadLanguage(*id);
}

bool LanguageStore::LoadLanguage(uint32_t id) {
    const uint32_t primary = id & 0xFF;
    m_currentLanguage = primary | 0x400;
    // Whatever goes wrong below, the texts of an earlier language must not outlive its failure:
    // they would be shown under another language's identifier.
    m_entries.clear();
    if (primary > kHighestPrimaryLanguage) return false;

    RegularFile file(LanguageFilePath(m_currentLanguage), O_RDONLY);
    if (!file) return m_currentLanguage != kEnglish && LoadLanguage(kEnglish);

    std::vector<std::u16string> fields =
        SplitLanguageFields(ReadLanguageText(file), kLanguageEntryCount + 1);
    if (fields.size() != static_cast<size_t>(kLanguageEntryCount)) return false;
    m_entries = std::move(fields);
    return true;
}

bool LanguageStore::BuildLanguageList() {
    m_installed.clear();
    m_names.clear();
    DIR* dir = ::opendir(m_folder.c_str());
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (CountCharacters(name) == 8) AddInstalledLanguage(name);
    }
    ::closedir(dir);
    return true;
}

void LanguageStore::AddInstalledLanguage(const std::string& fileName) {
    RegularFile file(m_folder + fileName, O_RDONLY);
    if (!file) return;
    const std::vector<std::u16string> fields =
        SplitLanguageFields(ReadLanguageText(file), kLanguageNameEntry);
    if (fields.size() < static_cast<size_t>(kLanguageNameEntry)) return;
    m_names.push_back({fields[kLanguageWordEntry - 1], fields[kLanguageNameEntry - 1]});
    m_installed.push_back(FirstCharacters(fileName, 4));
}

bool LanguageStore::SwitchLanguage(int k, uint32_t& id) {
    if (k < 0 || static_cast<size_t>(k) >= m_installed.size()) return false;
    const std::optional<uint32_t> listed = ParseLanguageId(m_installed[static_cast<size_t>(k)]);
    if (!listed) return false;
    id = *listed;
    if (id == m_currentLanguage) return false;
    if (!LoadLanguage(id)) return false;
    return BuildLanguageList();
}

bool LanguageStore::MakeUserConfig() const {
    if (::access(UserConfigPath().c_str(), F_OK) == 0) return true;
    std::error_code error;
    std::filesystem::create_directories(m_userFolder, error);
    if (error) return false;
    std::vector<unsigned char> shipped(kLargestCopiedConfig);
    RegularFile source(ShippedConfigPath(), O_RDONLY);
    shipped.resize(source ? source.Read(shipped.data(), shipped.size()) : 0);
    // Exclusive: another instance that made the file first keeps its choice.
    const int fd = ::open(UserConfigPath().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST;
    const bool written = WriteAll(fd, shipped.data(), shipped.size());
    return ::close(fd) == 0 && written;
}

bool LanguageStore::SaveLanguageChoice(uint32_t id) const {
    if (!m_userFolder.empty() && !MakeUserConfig()) return false;
    RegularFile file(m_userFolder.empty() ? ShippedConfigPath() : UserConfigPath(), O_WRONLY);
    if (!file) return false;
    char text[16] = {};
    std::snprintf(text, sizeof text, id >= 0x1000 ? "%x" : "0%x", id);
    // Four characters and a zero byte; a shorter identifier is padded with zero bytes, so the
    // stored text still ends where the identifier does.
    char record[5] = {};
    std::memcpy(record, text, std::min<size_t>(std::strlen(text), 4));
    return ::pwrite(file.Fd(), record, sizeof record, 0) == static_cast<ssize_t>(sizeof record);
}

std::u16string LanguageStore::RawEntry(int n) const {
    if (n < 1 || static_cast<size_t>(n) > m_entries.size()) return {};
    return m_entries[static_cast<size_t>(n) - 1];
}

std::u16string LanguageStore::Text(int n) const { return CleanLanguageText(RawEntry(n)); }

std::u16string LanguageStore::InstalledLanguageWord(size_t k) const {
    return k < m_names.size() ? m_names[k].word : std::u16string();
}

std::u16string LanguageStore::InstalledLanguageName(size_t k) const {
    return k < m_names.size() ? m_names[k].name : std::u16string();
}

std::string LanguageStore::LanguageFilePath(uint32_t id) const {
    char name[32] = {};
    std::snprintf(name, sizeof name, "0%x.ini", id);
    return m_folder + name;
}
