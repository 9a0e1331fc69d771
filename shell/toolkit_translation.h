#pragma once
// The toolkit's own texts (the buttons of message boxes, the file and folder dialogs) in the
// language the player's texts are in, from the translations the toolkit ships.
// User-interface thread only.

#include <QString>
#include <cstdint>

// The toolkit's locale name for a language identifier ("de", "zh_CN" ...): the language of the
// language file that identifier loads. English for one the toolkit has no translation to offer.
QString ToolkitLocaleName(uint32_t languageId);

// Loads qtbase_<locale> from the toolkit's translations folder and installs it on the
// application, replacing one installed before. False, and the toolkit's English, when there is
// none for the language (English itself included).
bool InstallToolkitTranslation(uint32_t languageId);
