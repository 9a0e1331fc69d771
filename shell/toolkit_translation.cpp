#include "shell/toolkit_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

QString ToolkitLocaleName(uint32_t languageId) {
    // The files are chosen by the primary language alone, so the identifiers are matched the same
    // way. The Chinese file is in simplified characters, whatever the territory asked for.
    switch (languageId & 0xFF) {
    case 0x04: return QStringLiteral("zh_CN");
    case 0x07: return QStringLiteral("de");
    case 0x0A: return QStringLiteral("es");
    case 0x0C: return QStringLiteral("fr");
    case 0x19: return QStringLiteral("ru");
    default: return QStringLiteral("en");
    }
}

bool InstallToolkitTranslation(uint32_t languageId) {
    static std::unique_ptr<QTranslator> installed;
    if (installed) QCoreApplication::removeTranslator(installed.get());
    installed.reset();
    const QString locale = ToolkitLocaleName(languageId);
    if (locale == QLatin1String("en")) return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (!QCoreApplication::installTranslator(translator.get())) return false;
    installed = std::move(translator);
    return true;
}
