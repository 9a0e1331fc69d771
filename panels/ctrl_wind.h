#pragma once
// The control bar under the picture: the position slider with its two time labels, the transport
// buttons, mute and volume, and the convert, open and playlist buttons. It decides nothing about
// playback: every press and slider release goes on to the parent (the main panel) as WM_COMMAND 1
// to 11, and a worker thread shows the position slider's value and range as minutes and seconds.
//
// Threads: everything runs on the user-interface thread except TimeLabelThread, which reads the
// position slider under its lock and hands the label texts and redraws to the user-interface
// thread through posted calls. OnDestroy stops it before the labels' windows go.

#include <QString>
#include <atomic>
#include <cstdint>
#include <optional>

#include "controls/m_button.h"
#include "controls/m_progress.h"
#include "controls/m_static.h"
#include "platform/geometry.h"
#include "platform/qt/dialog.h"
#include "platform/sync.h"

// The rectangles of the thirteen controls, in the bar's client coordinates.
struct CtrlBarLayout {
    platform::Rect stop, slow, playPause, fast, frame, volume, playlist, open, convert;
    platform::Rect seek, volumeSlider, position, duration;
};

// A bar narrower than this is not laid out: its controls keep their places.
constexpr int kCtrlBarMinLayoutWidth = 656;

// The layout for the client rectangle; nothing when it is narrower than kCtrlBarMinLayoutWidth.
std::optional<CtrlBarLayout> ComputeCtrlBarLayout(const platform::Rect& client);

// "minutes : seconds" of a slider value in milliseconds, taken as a signed 32-bit number; no hours
// and no zero padding (65 000 ms reads "1 : 5").
QString TimeLabelText(uint32_t milliseconds);

// The bar passes on a WM_COMMAND whose whole wParam is one of its own ids, 1 to 11.
bool IsCtrlBarCommand(platform::WParam wParam);

class CCtrlWind : public platform::CDialogEx {
public:
    CCtrlWind();
    ~CCtrlWind() override;

    // Play look (strip 0, first tooltip) for a non-zero argument, pause look otherwise; only for a
    // two-strip play button. Redraws the button at once.
    void SetPlayState(platform::BOOL play);
    // The volume slider's value, under its lock.
    uint32_t GetVolume();
    // FALSE, changing nothing, while the volume slider has no range or for a value above it.
    platform::BOOL SetVolume(uint32_t volume);

    platform::BOOL PreTranslateMessage(platform::Message& message) override;

    platform::Rect m_rcPlaylist, m_rcOpen, m_rcStop, m_rcSlow, m_rcPlayPause, m_rcFast, m_rcFrame,
        m_rcVolume, m_rcConvert, m_rcSeek, m_rcPosition, m_rcDuration, m_rcVolumeSlider;

    CMButton m_btnPlaylist, m_btnOpen, m_btnStop, m_btnSlow, m_btnPlay, m_btnFast, m_btnFrame,
        m_btnVolume, m_btnConvert;

    CMProgress m_sliderSeek;
    CMProgress m_sliderVolume;

    platform::Thread m_hTimeThread;
    // The thread runs while it is 1; cleared by OnDestroy.
    std::atomic<int> m_bTimeRun{1};

    CMStatic m_lblPosition, m_lblDuration;

protected:
    platform::BOOL OnInitDialog() override;
    void OnSize(platform::UINT type, int width, int height) override;
    void OnPaint(QPainter& dc) override;
    void OnDestroy() override;

private:
    struct ButtonSetup;
    void CreateButton(const ButtonSetup& setup, const QString& tip, const QString& tip2);
    void CreateSliders();
    void CreateLabels();
    void StartTimeLabelThread();
    void StopTimeLabelThread(uint32_t timeoutMs);
    // The thread body: the labels are reached only through their handles, which go dead with
    // their windows, so a late update is dropped instead of touching a destroyed label.
    void TimeLabelThread(platform::WindowHandle position, platform::WindowHandle duration);
    void UpdateTimeLabels(platform::WindowHandle position, platform::WindowHandle duration);

    // Wakes the thread from its 500 ms pause when it is told to stop.
    platform::Event m_timeStop{platform::ResetKind::Manual, false};
};
