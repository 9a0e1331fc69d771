#pragma once
// The program: the application object and its one job, running the main window until it ends.
// Its command-line arguments are files to open and play at once: one plays alone, several play
// side by side as a camera grid. It works in the folder that
// holds its data: the current one, the executable's, or the installed share/telvane.

#include <QApplication>
#include <QString>
#include <QStringList>

#include "platform/qt/win_defs.h"

class COrvexApp {
public:
    COrvexApp(int& argc, char** argv);

    // Runs the main window modally; FALSE always, as the program ends when it returns.
    platform::BOOL InitInstance();

    // The file argument as given, and made absolute against the folder the program started in.
    const QString& StartFileGiven() const { return m_strStartFileGiven; }
    const QString& StartFile() const { return m_strStartFile; }
    // Every file argument, made absolute, in order.
    const QStringList& StartFiles() const { return m_startFiles; }

private:
    // The data folders are opened relative to the current directory: start-up moves there.
    void EnterDataFolder();

    QApplication m_application;
    QString m_strStartFileGiven;
    QString m_strStartFile;
    QStringList m_startFiles;
};
