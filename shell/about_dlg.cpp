#include "shell/about_dlg.h"

#include "shell/language_store.h"

using namespace platform;

CAboutDlg::CAboutDlg() : CBlackWindow(IDD_ABOUTBOX) {}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange() { DDX_Control(IDOK, m_btnOK); }

BOOL CAboutDlg::OnInitDialog() {
    CBlackWindow::OnInitDialog();
    m_bShowCloseButton = 1;
    m_bShowTitle = 1;
    m_bMovable = 1;

    m_btnOK.m_nStyle = 2;
    m_btnOK.m_crNormalFill = 0xFFFFFFFF;
    m_btnOK.m_crNormalBorder = 0xFFA9A9A9;
    m_btnOK.m_crNormalText = 0xFF000000;
    m_btnOK.m_crHoverFill = 0xFFFF7F50;
    m_btnOK.m_crHoverBorder = 0xFFC0C0C0;
    m_btnOK.m_crHoverText = 0xFF000000;
    m_btnOK.m_crPressedFill = 0xFFFFE4E1;
    m_btnOK.m_crPressedBorder = 0xFFF08080;
    m_btnOK.m_crPressedText = 0xFF000000;

    const LanguageStore& store = LanguageStore::Global();
    SetWindowText(QString::fromStdU16String(store.Text(1)));
    m_btnOK.SetWindowText(QString::fromStdU16String(store.Text(31)));
    return TRUE;
}
