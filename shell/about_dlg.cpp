#include "shell/about_dlg.h"

#include <QIcon>
#include <algorithm>
#include <utility>

#include "platform/qt/dialog_template.h"
#include "platform/qt/resource_table.h"
#include "shell/key_shortcuts.h"
#include "language/language_store.h"
#include "shell/key_texts.h"

using namespace platform;

namespace {

constexpr int kKeyRowHeight = 16;
constexpr int kKeyColumnWidth = 80;
constexpr int kDescriptionColumnWidth = 130;
constexpr int kDescriptionPadding = 8;
// Level with the version line.
constexpr int kKeyListTopUnits = 34;
constexpr int kTextLeftUnits = 16;
constexpr platform::UINT kApplicationIcon = 128;
constexpr int kVersionLineBottomUnits = 44;
constexpr int kIconSide = 32;
constexpr int kIconGap = 8;

}  // namespace

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
    AddIcon();
    AddKeyList();
    return TRUE;
}

// The application's icon under the name and version, in line with them, where the box's left
// column is empty.
void CAboutDlg::AddIcon() {
    m_pIcon = std::make_unique<QLabel>(this);
    m_pIcon->setPixmap(QIcon(IconResourcePath(kApplicationIcon)).pixmap(kIconSide, kIconSide));
    const int top = DialogUnitsToPixelsY(kVersionLineBottomUnits) + kIconGap;
    m_pIcon->setGeometry(DialogUnitsToPixelsX(kTextLeftUnits), top, kIconSide, kIconSide);
    m_pIcon->show();
}

// Wide enough for the longest description in the language shown, and never narrower than before.
int CAboutDlg::DescriptionColumnWidth(const std::vector<KeyText>& keys) const {
    int widest = kDescriptionColumnWidth;
    for (const KeyText& key : keys) {
        widest = std::max(widest, fontMetrics().horizontalAdvance(key.description) * 11 / 10 + kDescriptionPadding);
    }
    return widest;
}

// The template's own controls stay where it puts them; the list takes a column to their right.
void CAboutDlg::AddKeyList() {
    Rect box;
    GetWindowRect(&box);
    const int left = box.Width();
    const int listTop = DialogUnitsToPixelsY(kKeyListTopUnits);
    int top = listTop;
    const LanguageStore& store = LanguageStore::Global();
    const std::vector<KeyText> keys = LoadKeyTexts(store.Folder(), store.CurrentLanguage());
    const int descriptionWidth = DescriptionColumnWidth(keys);
    for (const KeyText& key : keys) {
        const Rect keyRect{left, top, left + kKeyColumnWidth, top + kKeyRowHeight};
        const Rect textRect{keyRect.right, top, keyRect.right + descriptionWidth, top + kKeyRowHeight};
        const std::pair<const QString*, Rect> cells[] = {{&key.keyName, keyRect}, {&key.description, textRect}};
        for (const auto& [text, rect] : cells) {
            auto label = std::make_unique<CStatic>();
            if (label->Create(*text, WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, rect, this, -1))
                m_keyLabels.push_back(std::move(label));
        }
        top += kKeyRowHeight;
    }
    const int wider = kKeyColumnWidth + descriptionWidth + listTop / 2;
    const int taller = std::max(0, top + listTop / 2 - box.Height());
    // Grown about its middle, so the box stays centred where it was placed.
    MoveWindow(box.left - wider / 2, box.top - taller / 2, box.Width() + wider, box.Height() + taller);
}
