// Kadrel: recordings to MP4 files, in a window or from the command line (see command_line.h).

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <iostream>
#include <unistd.h>

#include "engine/convert/record_converter.h"
#include "language/language_store.h"
#include "tools/kadrel/command_line.h"
#include "tools/kadrel/kadrel_texts.h"
#include "tools/kadrel/kadrel_window.h"

namespace {

// The player starts Kadrel in its own data folder; from a build it lies beside the executable, and
// an install puts it in share/telvane beside the bin folder.
std::string LanguageFolder() {
    const QString executableDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {QDir::currentPath() + QStringLiteral("/kadrel_lang"),
                                    executableDir + QStringLiteral("/kadrel_lang"),
                                    executableDir + QStringLiteral("/../share/telvane/kadrel_lang")};
    QString chosen = candidates[1];
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isDir()) {
            chosen = candidate;
            break;
        }
    }
    return QFile::encodeName(QDir::cleanPath(chosen) + QStringLiteral("/")).toStdString();
}

int RunWindow(int argc, char** argv, const KadrelArguments& arguments) {
    QApplication application(argc, argv);
    KadrelTexts texts;
    texts.Load(arguments.languageId.value_or(GetSystemDefaultLangID()), LanguageFolder());
    KadrelWindow window(texts);
    QStringList recordings;
    for (const std::string& path : arguments.recordings) recordings << QFile::decodeName(QByteArray::fromStdString(path));
    window.AddRecordings(recordings, arguments.stretch);
    window.show();
    return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QuietConverterLibraries();
    const KadrelArguments arguments = ParseKadrelArguments(std::vector<std::string>(argv, argv + argc));
    switch (arguments.mode) {
        case KadrelArguments::Mode::kHelp: std::cout << KadrelUsage(); return kExitConverted;
        case KadrelArguments::Mode::kWrong: std::cerr << "Kadrel: " << arguments.error << "\n" << KadrelUsage(); return kExitUsage;
        case KadrelArguments::Mode::kConvert: return RunCommandLineConversions(arguments, std::cout, ::isatty(STDOUT_FILENO));
        case KadrelArguments::Mode::kWindow: break;
    }
    return RunWindow(argc, argv, arguments);
}
