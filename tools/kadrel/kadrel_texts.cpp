#include "tools/kadrel/kadrel_texts.h"

#include "language/language_store.h"

namespace {

// The same texts as lang/0409.txt, for entries a language file does not give.
const char* const kEnglish[kKadrelTextCount] = {
    "Kadrel - recordings to MP4",
    "Add recordings...",
    "Remove",
    "Clear the list",
    "Convert",
    "Cancel",
    "Save the MP4 files",
    "next to each recording",
    "in this folder:",
    "Choose...",
    "Recording",
    "Progress",
    "Status",
    "Add recordings",
    "All files",
    "Choose the folder for the MP4 files",
    "Waiting",
    "Converting...",
    "Language",
    "English",
    "Saved as %1",
    "Cancelled",
    "Not a recording",
    "The recording cannot be opened",
    "The recording holds no picture to start with",
    "The sound of the recording cannot be read",
    "The MP4 file cannot be written there",
    "The conversion failed",
    "Drop recordings here or add them with the button above.",
    "Choose the folder for the MP4 files first.",
    "%1 of %2 converted",
    "Cancelling...",
    "%1 failed",
};

int IndexOf(KadrelText entry) { return int(entry) - 1; }

}  // namespace

QString KadrelTexts::English(KadrelText entry) {
    int index = IndexOf(entry);
    return index >= 0 && index < kKadrelTextCount ? QString::fromUtf8(kEnglish[index]) : QString();
}

bool KadrelTexts::Load(uint32_t languageId, const std::string& folder) {
    LanguageStore store(languageId, folder);
    const bool loaded = store.LoadLanguage(languageId);
    for (int n = 1; n <= kKadrelTextCount; ++n) {
        QString text = loaded ? QString::fromStdU16String(store.Text(n)) : QString();
        m_texts[n - 1] = text.isEmpty() ? English(KadrelText(n)) : text;
    }
    return loaded;
}

QString KadrelTexts::Text(KadrelText entry) const {
    int index = IndexOf(entry);
    if (index < 0 || index >= kKadrelTextCount) return QString();
    return m_texts[index].isEmpty() ? English(entry) : m_texts[index];
}
