#include "panels/ctrl_wind.h"

#include <QHash>
#include <QPainter>
#include <mutex>

#include "panels/bar_colour.h"
#include "panels/command_ids.h"
#include "panels/pane_texts.h"
#include "platform/qt/posted_window_calls.h"

using namespace platform;

namespace {

constexpr uint32_t kTimeLabelPeriodMs = 500;
constexpr uint32_t kTimeThreadJoinMs = 5000;
constexpr uint32_t kVolumeMax = 0xFFFF;

}  // namespace

// One image button of the bar: where it goes, what it posts, its pictures and tooltip entries.
// A null second picture makes a one-strip button.
struct CCtrlWind::ButtonSetup {
    CMButton CCtrlWind::*button;
    Rect CCtrlWind::*rect;
    UINT id;
    const char* image;
    const char* image2;
    int tip;
    int tip2;
};

std::optional<CtrlBarLayout> ComputeCtrlBarLayout(const Rect& client) {
    const int L = client.left, T = client.top, R = client.right;
    if (R - L < kCtrlBarMinLayoutWidth) return std::nullopt;
    CtrlBarLayout l;
    l.stop = Rect{L + 34, T + 44, L + 57, T + 67};
    l.slow = Rect{l.stop.right + 16, T + 44, l.stop.right + 39, T + 67};
    l.playPause = Rect{l.slow.right + 16, T + 30, l.slow.right + 66, T + 80};
    l.fast = Rect{l.playPause.right + 16, T + 44, l.playPause.right + 39, T + 67};
    l.frame = Rect{l.fast.right + 16, T + 44, l.fast.right + 39, T + 67};
    l.volume = Rect{l.frame.right + 50, T + 42, l.frame.right + 77, T + 69};
    l.playlist = Rect{R - 50, T + 40, R - 25, T + 65};
    l.open = Rect{l.playlist.left - 40, T + 40, l.playlist.left - 19, T + 65};
    l.convert = Rect{l.open.left - 44, T + 40, l.open.left - 19, T + 65};
    l.seek = Rect{L + 3, T + 3, R - 3, T + 23};
    l.volumeSlider = Rect{l.volume.right, l.volume.top - 1, l.volume.right + 100, l.volume.top + 30};
    l.position = Rect{L + 10, l.seek.bottom + 1, L + 110, l.seek.bottom + 18};
    l.duration = Rect{R - 102, T + 24, R - 10, T + 41};
    return l;
}

QString TimeLabelText(uint32_t milliseconds) {
    // Unsigned: a file of more than 24 days still shows its length, not a negative one.
    const uint32_t seconds = milliseconds / 1000;
    return QStringLiteral("%1 : %2").arg(seconds / 60).arg(seconds % 60);
}

bool IsCtrlBarCommand(WParam wParam) {
    return wParam >= kFirstControlBarCommand && wParam <= kLastControlBarCommand;
}

CCtrlWind::CCtrlWind() : CDialogEx(IDD_CTRL_WIND) {}

CCtrlWind::~CCtrlWind() {
    DestroyWindow();
    // OnDestroy waits a bounded time; the thread reads the position slider, so it must be over
    // before any member goes.
    m_hTimeThread.Join();
}

BOOL CCtrlWind::OnInitDialog() {
    CDialogEx::OnInitDialog();
    QHash<int, QString> tips;  // by language entry; entry 0 (no second tooltip) stays empty
    QStringList needed;
    for (int entry : {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 33})
        needed.push_back(tips[entry] = PaneText(entry));
    WarnIfAnyTextMissing(needed);

    static const ButtonSetup kButtons[] = {
        {&CCtrlWind::m_btnPlay, &CCtrlWind::m_rcPlayPause, ID_PLAY_PAUSE, "images/play.png", "images/puse.png", 8, 9},
        {&CCtrlWind::m_btnFrame, &CCtrlWind::m_rcFrame, ID_FRAME_STEP, "images/frame.png", nullptr, 10, 0},
        {&CCtrlWind::m_btnStop, &CCtrlWind::m_rcStop, ID_STOP, "images/stop.png", nullptr, 11, 0},
        {&CCtrlWind::m_btnSlow, &CCtrlWind::m_rcSlow, ID_SLOWER, "images/slow.png", nullptr, 12, 0},
        {&CCtrlWind::m_btnFast, &CCtrlWind::m_rcFast, ID_FASTER, "images/speed.png", nullptr, 13, 0},
        {&CCtrlWind::m_btnVolume, &CCtrlWind::m_rcVolume, ID_MUTE, "images/volopen.png", "images/volclose.png", 14,
         15},
        {&CCtrlWind::m_btnPlaylist, &CCtrlWind::m_rcPlaylist, ID_TOGGLE_PLAYLIST, "images/hide.png", "images/show.png",
         16, 17},
        {&CCtrlWind::m_btnOpen, &CCtrlWind::m_rcOpen, ID_OPEN_FILE, "images/open.png", nullptr, 18, 0},
        {&CCtrlWind::m_btnConvert, &CCtrlWind::m_rcConvert, ID_CONVERT, "images/convert.png", nullptr, 33, 0},
    };
    for (const ButtonSetup& setup : kButtons) CreateButton(setup, tips.value(setup.tip), tips.value(setup.tip2));
    CreateSliders();
    CreateLabels();
    StartTimeLabelThread();
    return TRUE;
}

void CCtrlWind::CreateButton(const ButtonSetup& setup, const QString& tip, const QString& tip2) {
    CMButton& button = this->*setup.button;
    if (!button.Create(IDD_MBUTTON, this) || !button.GetSafeHwnd()) return;
    const bool twoImages = setup.image2 != nullptr;
    if (twoImages) button.m_bTwoImages = 1;
    button.SetImage(QString::fromLatin1(setup.image));
    if (twoImages) button.SetImage(QString::fromLatin1(setup.image2));
    button.MoveWindow(this->*setup.rect, TRUE);
    button.ShowWindow(SW_SHOW);
    button.m_nID = static_cast<int>(setup.id);
    button.SetTipText(tip);
    if (twoImages) button.SetTipText(tip2);
}

void CCtrlWind::CreateSliders() {
    if (m_sliderSeek.Create(IDD_MPROGRESS, this) && m_sliderSeek.GetSafeHwnd()) {
        m_sliderSeek.MoveWindow(m_rcSeek, TRUE);
        m_sliderSeek.ShowWindow(SW_SHOW);
        m_sliderSeek.m_nID = static_cast<int>(ID_SEEK);
        m_sliderSeek.m_nMargin = 8;
        m_sliderSeek.m_nTipMode = 1;
    }
    if (m_sliderVolume.Create(IDD_MPROGRESS, this) && m_sliderVolume.GetSafeHwnd()) {
        m_sliderVolume.MoveWindow(m_rcVolumeSlider, TRUE);
        m_sliderVolume.ShowWindow(SW_SHOW);
        m_sliderVolume.m_nID = static_cast<int>(ID_VOLUME);
        m_sliderVolume.m_nMargin = 6;
        m_sliderVolume.m_nMax = kVolumeMax;
        m_sliderVolume.SetPos(0);
        m_sliderVolume.m_nTipMode = 2;
    }
}

void CCtrlWind::CreateLabels() {
    const struct {
        CMStatic& label;
        const Rect& rect;
        int align;
    } labels[] = {{m_lblPosition, m_rcPosition, 1}, {m_lblDuration, m_rcDuration, 2}};
    for (const auto& entry : labels) {
        if (!entry.label.Create(IDD_MSTATIC, this) || !entry.label.GetSafeHwnd()) continue;
        entry.label.MoveWindow(entry.rect, TRUE);
        entry.label.m_nAlign = entry.align;
        entry.label.ShowWindow(SW_SHOW);
    }
}

void CCtrlWind::OnSize(UINT type, int width, int height) {
    CDialogEx::OnSize(type, width, height);
    Rect client;
    GetClientRect(&client);
    const std::optional<CtrlBarLayout> layout = ComputeCtrlBarLayout(client);
    if (!layout) return;
    const struct {
        Rect& rect;
        const Rect& computed;
        CWnd& control;
    } placements[] = {
        {m_rcStop, layout->stop, m_btnStop},
        {m_rcSlow, layout->slow, m_btnSlow},
        {m_rcPlayPause, layout->playPause, m_btnPlay},
        {m_rcFast, layout->fast, m_btnFast},
        {m_rcFrame, layout->frame, m_btnFrame},
        {m_rcVolume, layout->volume, m_btnVolume},
        {m_rcPlaylist, layout->playlist, m_btnPlaylist},
        {m_rcOpen, layout->open, m_btnOpen},
        {m_rcConvert, layout->convert, m_btnConvert},
        {m_rcSeek, layout->seek, m_sliderSeek},
        {m_rcVolumeSlider, layout->volumeSlider, m_sliderVolume},
        {m_rcPosition, layout->position, m_lblPosition},
        {m_rcDuration, layout->duration, m_lblDuration},
    };
    for (const auto& placement : placements) {
        placement.rect = placement.computed;
        if (placement.control.GetSafeHwnd()) placement.control.MoveWindow(placement.rect, TRUE);
    }
}

void CCtrlWind::OnPaint(QPainter& dc) { dc.fillRect(rect(), kBarColour); }

void CCtrlWind::OnDestroy() {
    CDialogEx::OnDestroy();
    StopTimeLabelThread(kTimeThreadJoinMs);
}

BOOL CCtrlWind::PreTranslateMessage(Message& message) {
    if (message.message == WM_COMMAND && IsCtrlBarCommand(message.wParam)) {
        if (CWnd* parent = GetParent()) parent->PostMessage(WM_COMMAND, message.wParam, 0);
        message.wParam = 0;  // the bar itself must not act on it (1 and 2 are also OK and Cancel)
    }
    return CDialogEx::PreTranslateMessage(message);
}

void CCtrlWind::SetPlayState(BOOL play) {
    if (!m_btnPlay.m_bTwoImages) return;
    m_btnPlay.m_nImage = play ? 0 : 1;
    m_btnPlay.m_ToolTip.UpdateTipText(play ? m_btnPlay.m_strTip : m_btnPlay.m_strTip2, &m_btnPlay);
    if (m_btnPlay.GetSafeHwnd()) m_btnPlay.RedrawWindow(nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

uint32_t CCtrlWind::GetVolume() { return m_sliderVolume.GetPos(); }

BOOL CCtrlWind::SetVolume(uint32_t volume) { return m_sliderVolume.SetPos(volume); }

void CCtrlWind::StartTimeLabelThread() {
    const WindowHandle position = m_lblPosition.GetSafeHwnd();
    const WindowHandle duration = m_lblDuration.GetSafeHwnd();
    m_hTimeThread.Start([this, position, duration] { TimeLabelThread(position, duration); });
}

void CCtrlWind::StopTimeLabelThread(uint32_t timeoutMs) {
    m_bTimeRun = 0;
    m_timeStop.Set();
    m_hTimeThread.Join(timeoutMs);
}

void CCtrlWind::TimeLabelThread(WindowHandle position, WindowHandle duration) {
    while (m_bTimeRun == 1) {
        UpdateTimeLabels(position, duration);
        m_timeStop.Wait(kTimeLabelPeriodMs);
    }
}

void CCtrlWind::UpdateTimeLabels(WindowHandle position, WindowHandle duration) {
    uint32_t durationMs = 0;
    if (m_sliderSeek.m_nMax != 0) {
        std::lock_guard lock(m_sliderSeek.m_csPos);
        durationMs = m_sliderSeek.m_nMax;
    }
    uint32_t positionMs = 0;
    {
        std::lock_guard lock(m_sliderSeek.m_csPos);
        positionMs = m_sliderSeek.m_nPos;
    }
    PostWindowText(position, TimeLabelText(positionMs));
    PostWindowText(duration, TimeLabelText(durationMs));
    PostInvalidate(position, TRUE);
    PostInvalidate(duration, TRUE);
}
