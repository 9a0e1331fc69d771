// The main panel's part in exporting a marked clip of the playing file.

#include "shell/activity_strip.h"
#include "shell/key_shortcuts.h"
#include "shell/key_texts.h"
#include "shell/main_dlg.h"

namespace {

QString MarkPositionText(int64_t ms) {
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3'600'000)
        .arg(ms / 60'000 % 60, 2, 10, QChar('0'))
        .arg(ms / 1000 % 60, 2, 10, QChar('0'))
        .arg(ms % 1000 / 100);
}

}  // namespace

// The status bar says what was marked where, as the strip's mark is small.
void CMainDlg::SetClipMark(int which) {
    if (!m_pPlayer || !m_pPlayer->IsOpened()) return;
    const int64_t positionMs = m_pPlayer->GetPosition();
    if (which == 0) m_marks.SetStart(positionMs);
    else m_marks.SetEnd(positionMs);
    if (m_pActivityStrip) m_pActivityStrip->SetMarks(m_marks);
    m_wndStatus.ShowNotice(KeyDescription(KeyAction::ClipMark, which) + QStringLiteral(": ") + MarkPositionText(positionMs));
}

void CMainDlg::ExportClip() {
    if (m_pPlayer && m_pPlayer->IsOpened()) LaunchConverter();
}

void CMainDlg::ClearClipMarks() {
    m_marks.Clear();
    if (m_pActivityStrip) m_pActivityStrip->SetMarks(m_marks);
}
