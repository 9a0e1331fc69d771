// Kadrel: recordings to MP4 files, in a window or from the command line (see command_line.h).

#include <QApplication>
#include <QDir>
#include <iostream>
#include <unistd.h>

#include "engine/convert/record_converter.h"
#include "shell/language_store.h"
#include "tools/kadrel/command_line.h"
#include "tools/kadrel/kadrel_texts.h"
#include "tools/kadrel/kadrel_window.h"

namespace {

int RunWindow(int argc, char** argv, const KadrelArguments& arguments) {
    QApplication application(argc, argv);
    KadrelTexts texts;
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/kadrel_lang/");
    texts.Load(arguments.languageId.value_or(GetSystemDefaultLangID()), QFile::encodeName(folder).toStdString());
    KadrelWindow window(texts);
    QStringList recordings;
    for (const std::string& path : arguments.recordings) recordings << QFile::decodeName(QByteArray::fromStdString(path));
    window.AddRecordings(recordings);
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
