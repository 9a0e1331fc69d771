// The main panel's part in showing the recorder's clock and going to a moment of it.

#include "shell/activity_strip.h"
#include "shell/clock_view.h"
#include "shell/clock_zone_setting.h"
#include "shell/full_screen_bar.h"
#include "shell/go_to_dlg.h"
#include "shell/main_dlg.h"

void CMainDlg::CreateClockView() {
    m_pClockView = std::make_unique<CClockView>(m_wndStatus, m_wndPlay, [this] { return m_pPlayer.get(); });
    m_pActivityStrip =
        std::make_unique<CActivityStrip>(m_wndCtrl, m_wndCtrl.m_sliderSeek, [this] { return m_pPlayer.get(); });
    m_pFullScreenBar = std::make_unique<CFullScreenBar>(m_wndPlay, [this] { return m_pPlayer.get(); },
                                                        [this] { return m_marks; });
}

void CMainDlg::JumpToActivity(int direction) {
    if (!m_pPlayer || !m_pPlayer->IsPlaying() || !m_pActivityStrip) return;
    const ActivityTimeline timeline = m_pPlayer->GetActivity();
    const int64_t positionMs = m_pPlayer->GetPosition();
    const std::optional<int64_t> target =
        direction > 0 ? NextActivityStart(timeline, positionMs) : PreviousActivityStart(timeline, positionMs);
    if (target) m_pPlayer->SeekTo(*target);
}

void CMainDlg::ToggleClockZone() {
    SetShownClockZone(ShownClockZone() == ClockZone::Utc ? ClockZone::Local : ClockZone::Utc);
    if (m_pClockView) m_pClockView->Refresh();
}

void CMainDlg::ToggleClockOverlay() {
    if (m_pClockView) m_pClockView->ToggleOverlay();
}

// The session may be replaced while the dialog is open (a file ends): it is asked again after.
void CMainDlg::ShowGoTo() {
    if (!m_pPlayer || !m_pPlayer->IsOpened()) return;
    CGoToDlg dialog(window(), m_pPlayer->GetRecordedClock(), m_pPlayer->GetPosition(), m_pPlayer->GetDuration());
    if (dialog.exec() != QDialog::Accepted) return;
    if (m_pPlayer && m_pPlayer->IsPlaying()) m_pPlayer->SeekTo(dialog.TargetMs());
}
