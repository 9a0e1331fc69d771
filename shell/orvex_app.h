#pragma once
// The program: the application object and its one job, running the main window until it ends.

#include <QApplication>

#include "platform/qt/win_defs.h"

class COrvexApp {
public:
    COrvexApp(int& argc, char** argv);

    // Runs the main window modally; FALSE always, as the program ends when it returns.
    platform::BOOL InitInstance();

private:
    QApplication m_application;
};
