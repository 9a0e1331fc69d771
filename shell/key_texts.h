#pragma once
// The About box's list of keys in the current language. Beside each language file <id>.ini lies
// <id>keys.ini, in the same format: for each key of the key table, in its order, the key's name
// and then what it does. User-interface thread only.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

struct KeyText {
    QString keyName;
    QString description;
};

// One entry per key of the key table, from the key file of the language file that languageId
// loads, in folder (ending with '/'). A key the file does not name, or all of them when there is
// no such file, keeps the table's English.
std::vector<KeyText> LoadKeyTexts(const std::string& folder, uint32_t languageId);

enum class KeyAction;
// What the key table's entry for action (with argument) does, in the current language; for the
// menu entries and notices that name the same action.
QString KeyDescription(KeyAction action, int argument);
