#include "shell/key_texts.h"

#include <QFile>
#include <cstdio>

#include "shell/key_shortcuts.h"
#include "language/language_store.h"

namespace {

std::string KeyFilePath(const std::string& folder, uint32_t languageId) {
    char name[16];
    std::snprintf(name, sizeof name, "%04xkeys.ini", (languageId & 0xFFu) | 0x400u);
    return folder + name;
}

// The file as UTF-16LE units, as far as a language file is ever read; empty when it cannot be read.
std::u16string ReadUtf16File(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.read(static_cast<qint64>(kLanguageFileUnits * 2));
    std::u16string text(static_cast<size_t>(bytes.size()) / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto low = static_cast<unsigned char>(bytes[static_cast<qsizetype>(2 * i)]);
        const auto high = static_cast<unsigned char>(bytes[static_cast<qsizetype>(2 * i + 1)]);
        text[i] = static_cast<char16_t>(low | high << 8);
    }
    return text;
}

// Entry n's display text, or the fallback when the file has no such entry or it is empty.
QString EntryOr(const std::u16string& text, int n, const char* fallback) {
    const std::optional<std::u16string> raw = GetLanguageField(text, n);
    const std::u16string clean = raw ? CleanLanguageText(*raw) : std::u16string();
    return clean.empty() ? QString::fromUtf8(fallback) : QString::fromStdU16String(clean);
}

}  // namespace

std::vector<KeyText> LoadKeyTexts(const std::string& folder, uint32_t languageId) {
    const std::u16string text = ReadUtf16File(KeyFilePath(folder, languageId));
    std::vector<KeyText> texts;
    int n = 1;
    for (const KeyShortcut& shortcut : KeyShortcuts()) {
        texts.push_back({EntryOr(text, n, shortcut.keyName), EntryOr(text, n + 1, shortcut.description)});
        n += 2;
    }
    return texts;
}

QString KeyDescription(KeyAction action, int argument) {
    const LanguageStore& store = LanguageStore::Global();
    const std::vector<KeyText> texts = LoadKeyTexts(store.Folder(), store.CurrentLanguage());
    const std::span<const KeyShortcut> shortcuts = KeyShortcuts();
    for (size_t i = 0; i < shortcuts.size() && i < texts.size(); ++i) {
        if (shortcuts[i].action == action && shortcuts[i].argument == argument) return texts[i].description;
    }
    return {};
}
