// The main panel's position thread: twice a second, the session's duration and position go into
// the position slider, whose range and value are safe to write from this thread.

#include "shell/main_dlg.h"
#include "shell/grid_controller.h"
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

// The slider is written while the session is held: a range read from a session that is being
// replaced cannot land after the user-interface thread has reset the slider for the next one.
// The slider's own writes only store and post, so nothing here waits for that thread.
void CMainDlg::UpdatePositionSlider() {
    CMProgress& slider = m_wndCtrl.m_sliderSeek;
    // The grid's length and position are atomics, set while it is shown.
    if (m_pGrid && m_pGrid->GetDuration() > 0) {
        if (const auto range = main_panel::SliderRangeForDuration(m_pGrid->GetDuration())) slider.m_nMax = *range;
        slider.SetPos(static_cast<uint32_t>(m_pGrid->GetPosition()));
        return;
    }
    CsGuard guard(m_csPlayer);
    if (!m_pPlayer || !m_pPlayer->IsOpened()) {
        if (slider.m_nMax != 0) slider.SetPos(0);
        return;
    }
    if (const auto range = main_panel::SliderRangeForDuration(m_pPlayer->GetDuration())) slider.m_nMax = *range;
    // The slider refuses a position beyond its range.
    slider.SetPos(static_cast<uint32_t>(m_pPlayer->GetPosition()));
}
