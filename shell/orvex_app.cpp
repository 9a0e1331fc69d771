#include "shell/orvex_app.h"

#include <QFile>
#include <QFileInfo>

#include "shell/data_folder.h"
#include "shell/orvex_dlg.h"

using namespace platform;

// The toolkit has taken its own options out of argv by the time the body runs; the arguments left
// are the files. They are made absolute before anything can change the current folder.
COrvexApp::COrvexApp(int& argc, char** argv) : m_application(argc, argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '\0') m_startFiles << QFileInfo(QFile::decodeName(argv[i])).absoluteFilePath();
    }
    if (argc < 2 || argv[1][0] == '\0') return;
    m_strStartFileGiven = QFile::decodeName(argv[1]);
    m_strStartFile = QFileInfo(m_strStartFileGiven).absoluteFilePath();
}

// Made absolute first, the file argument no longer depends on the folder the program works in.
void COrvexApp::EnterDataFolder() { ::EnterDataFolder(QCoreApplication::applicationDirPath()); }

BOOL COrvexApp::InitInstance() {
    EnterDataFolder();
    // Common controls, sockets, the drawing library and the shell and visual managers need no
    // preparation here; the main window is all there is to run.
    COrvexDlg dialog;
    dialog.SetStartFile(m_strStartFileGiven, m_strStartFile);
    dialog.SetGridFiles(m_startFiles);
    dialog.DoModal();
    return FALSE;
}
