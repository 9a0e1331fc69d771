#include "shell/orvex_app.h"

#include "shell/orvex_dlg.h"

using namespace platform;

COrvexApp::COrvexApp(int& argc, char** argv) : m_application(argc, argv) {}

BOOL COrvexApp::InitInstance() {
    // Common controls, sockets, the drawing library and the shell and visual managers need no
    // preparation here; the main window is all there is to run.
    COrvexDlg dialog;
    dialog.DoModal();
    return FALSE;
}
