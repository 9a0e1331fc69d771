#pragma once
// The converter's texts: the language file of the identifier it was started with, from its own
// folder of language files (same format as the player's), English when that file is missing, and
// the built-in English text for any entry a damaged file does not give.

#include <QString>
#include <cstdint>
#include <string>

// Entry numbers of the converter's language files.
enum class KadrelText : int {
    kTitle = 1,
    kAdd = 2,
    kRemove = 3,
    kClear = 4,
    kConvert = 5,
    kCancel = 6,
    kSaveTo = 7,
    kBesideRecording = 8,
    kInFolder = 9,
    kChooseFolder = 10,
    kColumnRecording = 11,
    kColumnProgress = 12,
    kColumnStatus = 13,
    kAddDialogTitle = 14,
    kAllFiles = 15,
    kFolderDialogTitle = 16,
    kWaiting = 17,
    kConverting = 18,
    kLanguageWord = 19,
    kLanguageName = 20,
    kSavedAs = 21,  // %1: the MP4's path
    kCancelled = 22,
    kNotRecording = 23,
    kCannotRead = 24,
    kNoPictures = 25,
    kBadSound = 26,
    kCannotWrite = 27,
    kFailed = 28,
    kDropHint = 29,
    kNoFolderChosen = 30,
    kSummary = 31,  // %1 converted of %2
    kCancelling = 32,
    kFailedCount = 33,  // %1 failed
};

constexpr int kKadrelTextCount = 33;

class KadrelTexts {
public:
    // folder ends with '/'. Loads the file named from languageId (normalised as the player does,
    // so 0x804 reads 0404.ini), or English when it is missing. False when neither could be read;
    // every text is then the built-in English one.
    bool Load(uint32_t languageId, const std::string& folder);

    QString Text(KadrelText entry) const;

    // The built-in English text of an entry.
    static QString English(KadrelText entry);

private:
    QString m_texts[kKadrelTextCount];
};
