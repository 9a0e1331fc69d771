// The language files on arbitrary bytes. The first byte gives how many of the following bytes
// (0 to 15) form the saved-choice file currentcfg.ini; the rest is a language file. The store
// starts up from them, reads every entry, lists the folder and switches to what it listed.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "language/language_store.h"

namespace {

// One folder per process in memory-backed storage, reused by every input.
const std::string& Folder() {
    static const std::string folder = [] {
        const char* shm = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string path = std::string(shm) + "/telvane-language-fuzz-" + std::to_string(::getpid()) + "/";
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void ReadEveryEntry(const LanguageStore& store) {
    for (int n = 0; n <= kLanguageEntryCount + 1; ++n) {
        if (store.RawEntry(n).size() > kLanguageEntryMaxUnits) __builtin_trap();
        (void)store.Text(n);
    }
}

void ParseFromMemory(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    for (int n : {1, 19, 20, 33, 34}) {
        if (const auto field = GetLanguageField(text, n)) (void)CleanLanguageText(*field);
    }
    (void)ParseLanguageId(std::string_view(reinterpret_cast<const char*>(data), size < 12 ? size : 12));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t configSize = std::min<size_t>(data[0] & 0x0F, size - 1);
    const uint8_t* config = data + 1;
    const uint8_t* language = config + configSize;
    const size_t languageSize = size - 1 - configSize;
    ParseFromMemory(language, languageSize);

    WriteFile(Folder() + "currentcfg.ini", config, configSize);
    WriteFile(Folder() + "0409.ini", language, languageSize);
    LanguageStore store(0x409, Folder());
    const bool loaded = store.InitLanguage();
    if (loaded != (store.EntryCount() == static_cast<size_t>(kLanguageEntryCount))) __builtin_trap();
    ReadEveryEntry(store);
    if (store.BuildLanguageList()) {
        for (size_t k = 0; k < store.InstalledLanguages().size(); ++k) {
            (void)CleanLanguageText(store.InstalledLanguageWord(k));
            (void)CleanLanguageText(store.InstalledLanguageName(k));
        }
        uint32_t id = 0;
        store.SwitchLanguage(0, id);
        ReadEveryEntry(store);
    }
    return 0;
}
