// The main panel's layout and life cycle: the panes, the session and its replacement, opening a
// file and playing it.

#include "shell/main_dlg.h"

#include <QFile>
#include <QPainter>
#include <cstdio>
#include <new>

#include "engine/audio/master_volume.h"
#include "engine/record/record_file.h"
#include "panels/command_ids.h"
#include "panels/pane_texts.h"
#include "panels/path_rules.h"
#include "shell/activity_strip.h"
#include "shell/clock_view.h"
#include "shell/full_screen_bar.h"
#include "shell/grid_controller.h"
#include "shell/key_shortcuts.h"
#include "platform/qt/message_box.h"
#include "shell/main_dlg_rules.h"

using namespace platform;

namespace {

constexpr int kStartSeekLookMs = 100;
constexpr int kStartSeekTries = 150;

// A recording is known by its content, whatever its name.
bool IsRecording(const QString& path) { return IsRecordFile(QFile::encodeName(path).constData()); }

}  // namespace

CMainDlg::CMainDlg() : CDialogEx(IDD_MAIN_DLG), m_pPlayer(std::make_unique<CPlayerCore>()) {
    if (qEnvironmentVariableIsSet(kPictureCountVariable))
        m_pPicturesShown = std::make_shared<std::atomic<int64_t>>(0);
    m_wndList.m_isRecording = IsRecording;
    m_wndPlay.m_isRecording = IsRecording;
    m_startSeekTimer.setInterval(kStartSeekLookMs);
    QObject::connect(&m_startSeekTimer, &QTimer::timeout, this, [this] { SeekToStartPosition(); });
}

CMainDlg::~CMainDlg() {
    // OnDestroy stops the position thread; it must run while this object is still a CMainDlg.
    DestroyWindow();
    StopPositionThread();
    DisposePlayer(SwapPlayer(nullptr));
    m_pNotifier.reset();
    m_pRetiredNotifier.reset();
}

BOOL CMainDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    CreatePanes();
    RecalcLayout();
    for (CWnd* pane : {static_cast<CWnd*>(&m_wndCtrl), static_cast<CWnd*>(&m_wndPlay),
                       static_cast<CWnd*>(&m_wndList), static_cast<CWnd*>(&m_wndStatus)}) {
        if (pane->GetSafeHwnd()) pane->ShowWindow(SW_SHOW);
    }
    if (m_pPlayer) AttachPlayer(*m_pPlayer);
    m_pGrid = std::make_unique<CGridController>(m_wndPlay);
    m_pGrid->SetEndHandler([this] { OnGridEnded(); });
    // The slider takes the volume only when it lies within its range.
    m_wndCtrl.m_sliderVolume.SetPos(GetMasterVolume());
    StartPositionThread();
    m_pKeyShortcuts = std::make_unique<CKeyShortcuts>(*this);
    CreateClockView();
    return TRUE;
}

void CMainDlg::CreatePanes() {
    if (!m_wndCtrl.GetSafeHwnd()) m_wndCtrl.Create(IDD_CTRL_WIND, this);
    if (!m_wndList.GetSafeHwnd()) m_wndList.Create(IDD_LIST_WIND, this);
    if (!m_wndPlay.GetSafeHwnd()) m_wndPlay.Create(IDD_PLAY_WIND, this);
    if (!m_wndStatus.GetSafeHwnd()) m_wndStatus.Create(IDD_STATUS_BAR, this);
}

void CMainDlg::OnSize(UINT type, int width, int height) {
    CDialogEx::OnSize(type, width, height);
    RecalcLayout();
}

void CMainDlg::RecalcLayout() {
    Rect client;
    GetClientRect(&client);
    // Any other layout value keeps the rectangles as they are.
    if (const auto rects = main_panel::LayoutRects(m_nLayout, client)) {
        m_rcCtrl = rects->ctrl;
        m_rcList = rects->list;
        m_rcPlay = rects->play;
        m_rcStatus = rects->status;
    }
    MovePanes();
}

// Visibility is left alone: without the playlist its pane stays shown at zero size.
void CMainDlg::MovePanes() {
    const std::pair<CWnd*, const Rect*> panes[] = {
        {&m_wndCtrl, &m_rcCtrl}, {&m_wndPlay, &m_rcPlay}, {&m_wndList, &m_rcList},
        {&m_wndStatus, &m_rcStatus}};
    for (const auto& [pane, rect] : panes) {
        if (pane->GetSafeHwnd()) pane->MoveWindow(*rect, TRUE);
    }
}

void CMainDlg::OnPaint(QPainter& dc) {
    Rect client;
    GetClientRect(&client);
    dc.fillRect(0, 0, client.Width(), client.Height(), Qt::black);
}

// The session stops while the panes' windows still exist, so its last pictures and messages go
// to live windows.
void CMainDlg::OnDestroy() {
    m_pKeyShortcuts.reset();
    m_pClockView.reset();
    m_pActivityStrip.reset();
    m_pFullScreenBar.reset();
    StopPositionThread();
    m_pGrid.reset();
    DisposePlayer(SwapPlayer(nullptr));
    m_pNotifier.reset();
    m_pRetiredNotifier.reset();
    ReportPicturesShown();
    CDialogEx::OnDestroy();
}

void CMainDlg::ReportPicturesShown() {
    if (!m_pPicturesShown) return;
    std::fprintf(stderr, "pictures_shown: %lld\n", static_cast<long long>(m_pPicturesShown->load()));
    const platform::WindowVideoTarget::PaintCounts counts = m_wndPlay.PaintCounts();
    std::fprintf(stderr, "pictures_presented: %llu\npictures_painted: %llu\npictures_replaced_unpainted: %llu\n",
                 static_cast<unsigned long long>(counts.presented), static_cast<unsigned long long>(counts.painted),
                 static_cast<unsigned long long>(counts.replacedUnpainted));
    std::fprintf(stderr, "present_to_paint_ms: %.1f\n", static_cast<double>(counts.presentToPaintUs) / 1000.0);
    std::fflush(stderr);
}

std::unique_ptr<CPlayerCore> CMainDlg::SwapPlayer(std::unique_ptr<CPlayerCore> next) {
    CsGuard guard(m_csPlayer);
    std::swap(m_pPlayer, next);
    return next;
}

// Runs outside m_csPlayer: a stop may take seconds while the session's threads end.
void CMainDlg::DisposePlayer(std::unique_ptr<CPlayerCore> player) {
    if (player && player->IsOpened()) player->StopPlay();
}

void CMainDlg::AttachPlayer(CPlayerCore& player) {
    m_pNotifier = std::make_unique<CSessionNotifier>(this);
    player.Attach(m_wndPlay.GetSafeHwnd(), m_pNotifier->GetSafeHwnd());
}

void CMainDlg::RetireNotifier() {
    if (m_pNotifier) m_pNotifier->Close();
    m_pRetiredNotifier = std::move(m_pNotifier);
}

int CMainDlg::ReplacePlayer(bool wantNew) {
    DisposePlayer(SwapPlayer(nullptr));
    // Only now: the session's threads have ended, so it posts nothing after this.
    RetireNotifier();
    if (!wantNew) return 1;
    std::unique_ptr<CPlayerCore> player(new (std::nothrow) CPlayerCore);
    if (!player) return 0;
    if (m_pPicturesShown) {
        player->SetPictureObserver([count = m_pPicturesShown](int64_t) { ++*count; });
    }
    AttachPlayer(*player);
    SwapPlayer(std::move(player));
    return 1;
}

void CMainDlg::OpenAndPlay(const QString& path, int source, bool replay) {
    const QByteArray narrowPath = QFile::encodeName(path);
    m_startSeekTimer.stop();
    CloseGrid();
    if (!ReplacePlayer(true)) return;
    if (!m_pPlayer->OpenFile(narrowPath.constData())) {
        ReportOpenFailure(path);
        return;
    }
    if (!replay && path != m_strCurFile) ClearClipMarks();
    if (!replay) m_strCurFile = path;
    m_pPlayer->Play();
    m_wndStatus.SetFileName(path);
    ShowStrip(m_wndCtrl.m_btnPlay, 1);
    m_wndPlay.m_bFullScreenAllowed = 1;
    if (!replay) m_nSource = source;
}

// Nothing is left to play: the session goes, as at the end of a file, and so does the old file's
// length, which no longer belongs to anything shown.
void CMainDlg::ReportOpenFailure(const QString& path) {
    const std::string reason = m_pPlayer ? m_pPlayer->GetOpenError() : std::string();
    ReplacePlayer(false);
    m_strCurFile.clear();
    CMProgress& slider = m_wndCtrl.m_sliderSeek;
    slider.SetPos(0);
    slider.m_nMax = 0;
    ShowNoFile();
    const QString details = reason.empty() ? path : QString::fromStdString(reason);
    AfxMessageBox(PaneText(main_panel::kOpenFailedText) + QStringLiteral("\n\n") + details, MB_ICONERROR);
}

void CMainDlg::ShowNoFile() {
    m_wndStatus.SetFileName(QString());
    m_wndCtrl.SetPlayState(TRUE);
    RedrawNow(m_wndPlay);
    m_wndPlay.m_bFullScreenAllowed = 0;
}

void CMainDlg::PlayStartFile(const QString& path, int64_t startMs) {
    if (path.isEmpty()) return;
    m_wndPlay.m_strDropFile = path;
    m_wndPlay.m_strDropFolder = FolderOfPath(path);
    m_nStartPositionMs = startMs;
    PostMessage(WM_COMMAND, ID_PLAY_DROPPED_FILE, 0);
}

bool CMainDlg::GetPlayingFile(QString& path, int64_t& positionMs) const {
    if (!m_pPlayer || !m_pPlayer->IsOpened() || m_strCurFile.isEmpty()) return false;
    path = m_strCurFile;
    positionMs = m_pPlayer->GetPosition();
    return true;
}

// The session takes a seek only once its clock runs, a moment after the first picture.
void CMainDlg::SeekToStartPosition() {
    const bool taken = m_pPlayer && m_pPlayer->IsOpened() && m_pPlayer->SeekTo(m_nStartPositionMs);
    if (taken || ++m_nStartSeekTries >= kStartSeekTries) m_startSeekTimer.stop();
}

void CMainDlg::ShowStrip(CMButton& button, int strip) {
    if (!button.m_bTwoImages) return;
    button.m_nImage = strip;
    button.m_ToolTip.UpdateTipText(strip == 0 ? button.m_strTip : button.m_strTip2, &button);
    RedrawNow(button);
}

void CMainDlg::RedrawNow(CWnd& window) {
    if (window.GetSafeHwnd()) window.RedrawWindow(nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
