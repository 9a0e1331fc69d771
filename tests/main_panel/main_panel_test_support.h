#pragma once
// What the main panel tests share: one application whose current directory is the build's bin
// folder (the data folders lie there) with English loaded, a private sound server for the whole
// run, message boxes and file dialogs answered without showing them, and the panel with its state
// open to the test. Event pumping is that every widget suite shares.

#include <QString>
#include <functional>
#include <vector>

#include "shell/main_dlg.h"
#include "tests/qt_support/qt_test_support.h"

namespace main_panel_test {

using qt_test::App;
using qt_test::PumpFor;
// Processes events until condition() holds; false if it never did within a limit generous enough
// for a session to open a recording and start its sound.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 15000);
// Whether the private sound server came up (the master volume can then be read back).
bool HaveSoundServer();
// Open-file dialogs answer this path; empty cancels.
void AnswerOpenDialogWith(const QString& path);
std::vector<QString>& ShownMessages();

// The panel, created as a top-level window of 901 x 583 pixels (the content of the 960 x 650 main
// window), with its state readable by the tests.
class TestPanel : public CMainDlg {
public:
    TestPanel();
    ~TestPanel() override;

    // Posts the command to the panel itself and processes events until it has been handled.
    void Command(platform::WParam id);
    // Posts the command to a window inside the panel, as the panes' controls do.
    void CommandVia(platform::CWnd& window, platform::WParam id);
    // Plays path as if it had been dropped on the video pane.
    void Drop(const QString& path);

    using CMainDlg::m_nLayout;
    using CMainDlg::m_pActivityStrip;
    using CMainDlg::m_nSavedVolume;
    using CMainDlg::m_nSource;
    using CMainDlg::m_nSpeed;
    using CMainDlg::m_pPlayer;
    using CMainDlg::m_pNotifier;
    using CMainDlg::m_rcCtrl;
    using CMainDlg::m_rcList;
    using CMainDlg::m_rcPlay;
    using CMainDlg::m_rcStatus;
    using CMainDlg::m_strCurFile;
    using CMainDlg::m_wndCtrl;
    using CMainDlg::m_wndList;
    using CMainDlg::m_wndPlay;
    using CMainDlg::m_wndStatus;
};

}  // namespace main_panel_test
