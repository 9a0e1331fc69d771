// The main panel with a camera grid: several files side by side, driven by the same buttons and
// keys as one file. The grid controller does the work; here the panel's controls follow it.

#include <QFileInfo>
#include <ctime>

#include "panels/command_ids.h"
#include "panels/pane_texts.h"
#include "panels/path_rules.h"
#include "platform/qt/message_box.h"
#include "shell/grid_controller.h"
#include "shell/main_dlg.h"
#include "shell/main_dlg_rules.h"

using namespace platform;

void CMainDlg::PlayFiles(const QStringList& paths, int source) {
    if (paths.size() == 1) OpenAndPlay(paths.first(), source);
    if (paths.size() <= 1 || !m_pGrid) return;
    m_startSeekTimer.stop();
    ReplacePlayer(false);
    QStringList failures;
    const bool opened = m_pGrid->Open(paths, &failures);
    if (opened) {
        m_strCurFile.clear();
        m_wndStatus.SetFileName(paths.first());
        m_wndStatus.SetSpeedLabel(m_nSpeed);
        m_pGrid->SetSpeed(m_nSpeed);
        ShowStrip(m_wndCtrl.m_btnPlay, 1);
        m_wndPlay.m_bFullScreenAllowed = 1;
        m_nSource = source;
    } else {
        ShowNoFile();
    }
    if (!failures.isEmpty()) AfxMessageBox(PaneText(main_panel::kOpenFailedText) + QStringLiteral("\n\n") + failures.join(QLatin1Char('\n')), MB_ICONERROR);
}

bool CMainDlg::IsGridShown() const { return m_pGrid && m_pGrid->IsOpen(); }

bool CMainDlg::SeekGridBy(int deltaMs) {
    if (!IsGridShown()) return false;
    m_pGrid->SeekTo(main_panel::RelativeSeekTarget(m_pGrid->GetPosition(), m_pGrid->GetDuration(), deltaMs));
    return true;
}

void CMainDlg::CloseGrid() {
    if (!IsGridShown()) return;
    m_pGrid->Close();
    m_wndCtrl.m_sliderSeek.SetPos(0);
    m_wndCtrl.m_sliderSeek.m_nMax = 0;
}

// As at the end of a file: the grid goes, and the controls show no file.
void CMainDlg::OnGridEnded() {
    CloseGrid();
    ShowNoFile();
}

bool CMainDlg::OnGridCommand(WParam id) {
    if (id == ID_SNAPSHOT_TILES && !IsGridShown()) {
        OnSnapshot();
        return true;
    }
    if (!IsGridShown()) return false;
    switch (id) {
    case ID_STOP:
        CloseGrid();
        ShowNoFile();
        return true;
    case ID_PLAY_PAUSE:
        if (m_pGrid->IsPlaying()) {
            m_pGrid->Pause();
            m_wndCtrl.SetPlayState(TRUE);
        } else {
            m_pGrid->Play();
            ShowStrip(m_wndCtrl.m_btnPlay, 1);
        }
        return true;
    case ID_SLOWER:
    case ID_FASTER:
        m_nSpeed = id == ID_SLOWER ? main_panel::NextSlowerSpeed(m_nSpeed) : main_panel::NextFasterSpeed(m_nSpeed);
        m_pGrid->SetSpeed(m_nSpeed);
        m_wndStatus.SetSpeedLabel(m_nSpeed);
        return true;
    case ID_FRAME_STEP:
        m_pGrid->StepFrame();
        m_nSpeed = 0;
        m_wndStatus.SetSpeedLabel(m_nSpeed);
        m_wndCtrl.SetPlayState(TRUE);
        return true;
    case ID_SEEK:
        m_pGrid->SeekTo(m_wndCtrl.m_sliderSeek.GetPos());
        return true;
    case ID_SNAPSHOT:
    case ID_SNAPSHOT_TILES:
        OnGridSnapshot(id == ID_SNAPSHOT_TILES);
        return true;
    default:
        return false;
    }
}

// Each snapshot goes beside its own file, under a name of its own; the status bar names the last.
void CMainDlg::OnGridSnapshot(bool everyTile) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local)) return;
    QString saved;
    for (int i = 0; i < m_pGrid->TileCount(); ++i) {
        if (!everyTile && i != m_pGrid->SelectedTile()) continue;
        const QString folder = FolderOfPath(m_pGrid->TileFile(i));
        const QString path = main_panel::FreeSnapshotPath(folder, local, [](const QString& candidate) {
            return QFileInfo::exists(candidate);
        });
        if (m_pGrid->TakeSnapshot(i, QFile::encodeName(path).constData())) saved = path;
    }
    if (!saved.isEmpty()) m_wndStatus.ShowNotice(PaneText(main_panel::kSnapshotSavedText) + QStringLiteral(": ") + saved);
}
