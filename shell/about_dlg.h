#pragma once
// The About box: a skinned, movable, fixed-size box with the program's name and version and an OK
// button, titled in the current language.

#include "controls/button_ui.h"
#include "shell/black_window.h"

constexpr platform::UINT IDD_ABOUTBOX = 100;

class CAboutDlg : public CBlackWindow {
public:
    CAboutDlg();
    ~CAboutDlg() override;

protected:
    void DoDataExchange() override;
    platform::BOOL OnInitDialog() override;

private:
    CButtonUI m_btnOK;
};
