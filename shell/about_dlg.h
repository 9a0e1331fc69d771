#pragma once
// The About box: a skinned, movable, fixed-size box with the program's icon, name and version, the
// player's keys and an OK button, titled in the current language.

#include <QLabel>
#include <memory>
#include <vector>

#include "controls/button_ui.h"
#include "platform/qt/static.h"
#include "shell/black_window.h"
#include "shell/key_texts.h"

constexpr platform::UINT IDD_ABOUTBOX = 100;

class CAboutDlg : public CBlackWindow {
public:
    CAboutDlg();
    ~CAboutDlg() override;

protected:
    void DoDataExchange() override;
    platform::BOOL OnInitDialog() override;

private:
    // One row per key in a column right of the template's controls, which the box grows to make
    // room for.
    void AddKeyList();
    int DescriptionColumnWidth(const std::vector<KeyText>& keys) const;
    void AddIcon();

    CButtonUI m_btnOK;
    std::vector<std::unique_ptr<platform::CStatic>> m_keyLabels;
    std::unique_ptr<QLabel> m_pIcon;
};
