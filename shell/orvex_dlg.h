#pragma once
// The main window: a skinned frame with every caption element, the system menu and the caption's
// right-click menu, and the language switch, which stores the choice and starts the program anew
// in the same place.

#include <QIcon>
#include <cstdint>

#include "shell/black_window.h"
#include "shell/main_dlg.h"

class QMenu;

constexpr platform::UINT IDD_ORVEX_DIALOG = 102;
constexpr platform::UINT IDR_MAINFRAME = 128;
constexpr platform::UINT IDR_CAPTION_MENU = 142;
constexpr platform::UINT IDS_ABOUTBOX = 101;
constexpr platform::UINT ID_SHOW_ABOUT = 0x10;
constexpr platform::UINT ID_LANGUAGE_FIRST = 34801;
// The caption menu's entries that export the marked clip of the playing file and that show the
// recorded time as UTC.
constexpr platform::UINT ID_EXPORT_CLIP = 34830;
constexpr platform::UINT ID_CLOCK_IN_UTC = 34831;
constexpr platform::UINT ID_LANGUAGE_LAST = 34819;
// Only the first seven languages of the menu have handlers; later ones are listed and do nothing.
constexpr platform::UINT ID_LANGUAGE_FORWARDED_LAST = 34807;
// Carries the window rectangle ("left,top,width,height") to the instance a language switch
// starts, so that it opens where this one was.
constexpr const char* kRestartRectVariable = "TELVANE_WINDOW_RECT";
// Carries where the file being played was (ms) to the instance a language switch starts, which
// reopens that file there.
constexpr const char* kRestartPositionVariable = "TELVANE_START_POSITION";

class COrvexDlg : public CBlackWindow {
public:
    COrvexDlg();
    ~COrvexDlg() override;

    // A file named on the command line, as it was given and made absolute: the panel plays the
    // absolute path, and a restart hands it on in that form.
    void SetStartFile(const QString& asGiven, const QString& absolute);
    // Files to play side by side at once, when there are several.
    void SetGridFiles(const QStringList& paths) { m_gridFiles = paths; }

protected:
    platform::BOOL OnInitDialog() override;
    void OnSize(platform::UINT type, int width, int height) override;
    platform::BOOL OnCommand(platform::WParam wParam, platform::LParam lParam) override;
    void OnSysCommand(platform::UINT id, platform::LParam lParam) override;
    void OnRButtonDown(platform::UINT flags, platform::Point point) override;
    void OnLButtonDown(platform::UINT flags, platform::Point point) override;

private:
    platform::BOOL EnableBackupPrivilege();
    void BuildSystemMenu();
    void ShowSystemMenu(platform::Point screenPoint);
    void ShowCaptionMenu(platform::Point clientPoint);
    void AddClockEntries(QMenu& menu);
    void ApplyStartupRect();
    static int64_t TakeRestartPosition();
    void SaveLanguageAndRestart();
    platform::BOOL RestartApplication();
    void PlaceMainPanel();

    // Destroyed before the frame is torn down, so the panel's threads end while the window lives.
    CMainDlg m_mainPanel;
    QIcon m_hWindowIcon;
    uint32_t m_nChosenLanguage = 0;
    QMenu* m_pSystemMenu = nullptr;
    QString m_strStartFileGiven;
    QString m_strStartFile;
    QStringList m_gridFiles;
};
