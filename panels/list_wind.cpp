#include "panels/list_wind.h"

#include <QPainter>

#include "panels/command_ids.h"
#include "panels/pane_texts.h"
#include "panels/path_rules.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/fonts.h"
#include "language/language_store.h"

using namespace platform;

namespace {

constexpr int kBandBottom = 39;  // the title band covers y 0..38
constexpr int kCaptionWeight = 400;
constexpr uint32_t kRussian = 0x419;
const QColor kBandColour(0, 22, 30);
const QColor kListAreaColour(38, 48, 53);

}  // namespace

// Recordings of other names show under "All Files" and are taken by their content.
const char* const kOpenFileFilter =
    "Video files (*.avi;*.mp4;*.mkv;*.rec)|*.avi;*.AVI;*.mp4;*.MP4;*.mkv;*.MKV;*.rec;*.REC;|All Files (*.*)|*.*||";

CaptionFontSize PlaylistCaptionFontSize(uint32_t languageId) {
    return languageId == kRussian ? CaptionFontSize{13, 7} : CaptionFontSize{17, 8};
}

ListWindLayout ComputeListWindLayout(int width, int height) {
    return ListWindLayout{Rect{width - 60, 9, width - 38, 31}, Rect{width - 30, 9, width - 8, 31},
                          Rect{1, 40, width - 1, height - 2}};
}

CListWind::CListWind() : CDialogEx(IDD_LIST_WIND) {}

CListWind::~CListWind() { DestroyWindow(); }

BOOL CListWind::OnInitDialog() {
    CDialogEx::OnInitDialog();
    const QString addTip = PaneText(3);
    const QString deleteTip = PaneText(4);
    WarnIfAnyTextMissing({addTip, deleteTip});
    CreateButton(m_btnAdd, "images/add.png", ID_PLAYLIST_ADD_FOLDER, m_rcAdd, addTip);
    CreateButton(m_btnDelete, "images/delete.png", ID_PLAYLIST_DELETE, m_rcDelete, deleteTip);
    if (m_listFiles.Create(IDD_MLISTVIEW, this) && m_listFiles.GetSafeHwnd()) {
        m_listFiles.m_nID = static_cast<int>(ID_PLAYLIST_PLAY);
        m_listFiles.MoveWindow(m_rcFiles, TRUE);
        m_listFiles.ShowWindow(SW_SHOW);
    }
    return TRUE;
}

void CListWind::CreateButton(CMButton& button, const char* image, UINT id, const Rect& rect, const QString& tip) {
    if (!button.Create(IDD_MBUTTON, this) || !button.GetSafeHwnd()) return;
    button.SetImage(QString::fromLatin1(image));
    button.m_nID = static_cast<int>(id);
    button.MoveWindow(rect, TRUE);
    button.ShowWindow(SW_SHOW);
    button.SetTipText(tip);
}

void CListWind::OnSize(UINT type, int width, int height) {
    CDialogEx::OnSize(type, width, height);
    const ListWindLayout layout = ComputeListWindLayout(width, height);
    m_rcAdd = layout.add;
    m_rcDelete = layout.remove;
    m_rcFiles = layout.files;
    if (m_btnDelete.GetSafeHwnd()) m_btnDelete.MoveWindow(m_rcDelete, TRUE);
    if (m_btnAdd.GetSafeHwnd()) m_btnAdd.MoveWindow(m_rcAdd, TRUE);
    if (m_listFiles.GetSafeHwnd()) m_listFiles.MoveWindow(m_rcFiles, TRUE);
}

void CListWind::OnPaint(QPainter& dc) {
    const QString caption = PaneText(5);
    const CaptionFontSize size = PlaylistCaptionFontSize(LanguageStore::Global().CurrentLanguage());
    dc.save();
    dc.setFont(MakePixelFont(QStringLiteral("Arial"), size.height, size.width, kCaptionWeight));
    dc.fillRect(QRect(0, 0, width(), kBandBottom), kBandColour);
    dc.setPen(Qt::white);
    dc.drawText(QRect(4, 9, qMax(0, width() - 4), kBandBottom - 9), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                caption);
    dc.fillRect(QRect(0, kBandBottom, width(), qMax(0, height() - kBandBottom)), kListAreaColour);
    dc.restore();
}

BOOL CListWind::PreTranslateMessage(Message& message) {
    if (message.message == WM_COMMAND) {
        switch (message.wParam) {
        case ID_PLAYLIST_ADD_FOLDER: message.wParam = 0; ScanFolder(); break;
        case ID_PLAYLIST_DELETE: message.wParam = 0; m_listFiles.RemoveAll(); break;
        case ID_PLAYLIST_PLAY: message.wParam = 0; PlaySelected(); break;
        default: break;
        }
    }
    return CDialogEx::PreTranslateMessage(message);
}

void CListWind::ScanFolder() {
    m_listFiles.RemoveAll();
    m_strFolder.clear();
    const QString chosen = BrowseForFolder(this, PaneText(2));
    if (chosen.isEmpty()) return;
    m_strFolder = WithTrailingSlash(chosen);
    m_nPathSource = 0;
    // Names the list refuses (too long, too many) are dropped without a word.
    for (const QString& name : ScanPlaylistFolder(m_strFolder, m_isRecording)) m_listFiles.AddItem(name);
    // The folder dialog is a window of its own here: closing it uncovers nothing that would repaint
    // the list, so the new entries are asked for.
    if (m_listFiles.GetSafeHwnd()) m_listFiles.Invalidate();
}

void CListWind::PlaySelected() {
    m_listFiles.GetSelectedText(m_strName);
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_COMMAND, ID_PLAYLIST_PLAY, 0);
}

BOOL CListWind::ChooseFile(QString& path) {
    const QString chosen = GetOpenFileName(this, QString::fromLatin1(kOpenFileFilter));
    if (chosen.isEmpty() || !IsOpenDialogPathAccepted(chosen, m_isRecording)) return FALSE;
    m_strFileFolder = FolderOfPath(chosen);
    m_strName = NameOfPath(chosen);
    m_nPathSource = 1;
    path = chosen;
    return TRUE;
}

BOOL CListWind::ChooseFiles(QStringList& paths) {
    paths.clear();
    for (const QString& chosen : GetOpenFileNames(this, QString::fromLatin1(kOpenFileFilter)))
        if (IsOpenDialogPathAccepted(chosen, m_isRecording)) paths << chosen;
    if (paths.isEmpty()) return FALSE;
    m_strFileFolder = FolderOfPath(paths.first());
    m_strName = NameOfPath(paths.first());
    m_nPathSource = 1;
    return TRUE;
}

BOOL CListWind::GetCurrentPath(QString& path) const {
    if (m_strFolder.isEmpty() || m_strName.isEmpty()) return FALSE;
    path = m_strFolder + m_strName;
    return TRUE;
}

BOOL CListWind::GetSnapshotFolder(QString& folder) const {
    if (m_nPathSource == 0 && !m_strFolder.isEmpty()) {
        folder = m_strFolder;
        return TRUE;
    }
    if (m_nPathSource == 1 && !m_strFileFolder.isEmpty()) {
        folder = m_strFileFolder;
        return TRUE;
    }
    return FALSE;
}
