// The main panel's position thread: twice a second, the session's duration and position go into
// the position slider, whose range and value are safe to write from this thread.

#include "shell/main_dlg.h"
#include "shell/main_dlg_rules.h"

using namespace platform;

namespace {

constexpr uint32_t kPollPeriodMs = 500;

}  // namespace

void CMainDlg::StartPositionThread() {
    m_bPollRun = 1;
    m_pollStop.Reset();
    m_hPollThread.Start([this] { PositionThread(); });
}

// Returns within one slider update: the thread waits on m_pollStop, not a plain sleep.
void CMainDlg::StopPositionThread() {
    m_bPollRun = 0;
    m_pollStop.Set();
    m_hPollThread.Join();
}

void CMainDlg::PositionThread() {
    while (m_bPollRun) {
        UpdatePositionSlider();
        m_pollStop.Wait(kPollPeriodMs);
    }
}

void CMainDlg::UpdatePositionSlider() {
    bool opened = false;
    int64_t durationMs = 0;
    int32_t positionMs = 0;
    {
        CsGuard guard(m_csPlayer);
        if (m_pPlayer && m_pPlayer->IsOpened()) {
            opened = true;
            durationMs = m_pPlayer->GetDuration();
            positionMs = m_pPlayer->GetPosition();
        }
    }
    CMProgress& slider = m_wndCtrl.m_sliderSeek;
    if (!opened) {
        if (slider.m_nMax != 0) slider.SetPos(0);
        return;
    }
    if (const auto range = main_panel::SliderRangeForDuration(durationMs)) slider.m_nMax = *range;
    // The slider refuses a position beyond its range.
    slider.SetPos(static_cast<uint32_t>(positionMs));
}
