#pragma once
// The main panel: the child dialog that fills the main window's content area. It lays out the four
// panes, owns the playback session of the file being played (a new one for every file), and is the
// hub every user command passes through: the panes post WM_COMMAND ids, PreTranslateMessage catches
// them and calls the session, the panes or the master volume. A worker thread copies the file's
// duration and the playing position into the position slider twice a second.
//
// Threads: everything runs on the user-interface thread except PositionThread, which reads the
// session under m_csPlayer and writes the position slider through its thread-safe entry points.
// OnDestroy stops and joins the thread before the panes' windows or the session go.

#include <QString>
#include <QTimer>
#include <atomic>
#include <memory>

class CActivityStrip;
class CClockView;
class CFullScreenBar;
class CGridController;
class CKeyShortcuts;

#include "engine/player_core.h"
#include "panels/ctrl_wind.h"
#include "panels/list_wind.h"
#include "panels/m_status_bar.h"
#include "panels/play_wind.h"
#include "platform/qt/dialog.h"
#include "platform/sync.h"
#include "shell/clip_marks.h"
#include "shell/main_dlg_notifier.h"

constexpr platform::UINT IDD_MAIN_DLG = 134;

class CMainDlg : public platform::CDialogEx {
public:
    // Where the playing file came from; it decides the snapshot folder.
    static constexpr int kSourcePlaylist = 0;
    static constexpr int kSourceOpenButton = 1;
    static constexpr int kSourceDropped = 2;

    CMainDlg();
    ~CMainDlg() override;

    // The command hub: every id of the panel's table is handled here, wherever inside the panel it
    // was posted, and its wParam cleared so the normal routing ignores it.
    platform::BOOL PreTranslateMessage(platform::Message& message) override;

    // A file named on the command line (an absolute path): played once the window exists, as a
    // file dropped on the picture, so that its snapshots go to its own folder; from startMs on
    // when that is above 0 (a restart reopening the file where it was).
    void PlayStartFile(const QString& path, int64_t startMs = 0);
    // Several files (the command line, the open dialog) play side by side as a camera grid, in step
    // by their clocks (main_dlg_grid.cpp); a single one plays as any file does.
    void PlayFiles(const QStringList& paths, int source);
    // The file being played and where it is; false when no file plays.
    bool GetPlayingFile(QString& path, int64_t& positionMs) const;

    // The keyboard's own steps, which no button has. SeekBy moves the playing position by deltaMs,
    // kept within the file, playing or paused (as a release of the position slider seeks).
    // StepVolume moves the volume slider and the master volume by whole steps, ending a mute.
    void SeekBy(int deltaMs);
    void StepVolume(int steps);
    // Whether the keyboard of this top-level window is the player's: the main window, or the
    // video pane while it is a full-screen window of its own.
    bool OwnsKeyboardOf(const QWidget& topLevel) const;
    // The recorder's clock (main_dlg_clock.cpp): the overlay over the full-screen picture turned
    // off or on, and the go-to dialog, which seeks while playing.
    void ToggleClockOverlay();
    void ShowGoTo();
    // The recorded time shown as UTC, or in the computer's zone again; remembered for later runs.
    void ToggleClockZone();
    // Seeks to the start of the next (direction 1) or previous (-1) activity, while playing.
    void JumpToActivity(int direction);
    const CClockView* ClockView() const { return m_pClockView.get(); }
    const CFullScreenBar* FullScreenBar() const { return m_pFullScreenBar.get(); }
    // The clip to export (main_dlg_export.cpp): its start (which 0) or end (1) marked at the
    // playing position and shown on the activity strip; ExportClip hands the playing file and the
    // marked clip to the converter, as the convert button does.
    void SetClipMark(int which);
    void ExportClip();
    const ClipMarks& Marks() const { return m_marks; }

protected:
    platform::BOOL OnInitDialog() override;
    void OnSize(platform::UINT type, int width, int height) override;
    void OnPaint(QPainter& dc) override;
    void OnDestroy() override;
    // Esc does not close the panel.
    void OnCancel() override {}

    // Layout and life cycle (main_dlg.cpp).
    void CreatePanes();
    void RecalcLayout();
    void MovePanes();
    // Stops and frees the current session, then creates and attaches a new one when wanted;
    // 0 when the new one cannot be made.
    int ReplacePlayer(bool wantNew);
    // Replacing runs through here: the position thread sees either the old session or the new one.
    std::unique_ptr<CPlayerCore> SwapPlayer(std::unique_ptr<CPlayerCore> next);
    static void DisposePlayer(std::unique_ptr<CPlayerCore> player);
    // Attaches the session to the video pane and to a notifier of its own.
    void AttachPlayer(CPlayerCore& player);
    // Closes the notifier of the session just disposed; it is freed at the next replacement, as
    // it may be handing on the very notification being handled.
    void RetireNotifier();
    void OpenAndPlay(const QString& path, int source, bool replay = false);
    // A file that did not open: the controls go back to no file, and the user is told which file
    // failed and why.
    void ReportOpenFailure(const QString& path);
    // The controls as when no file is loaded: no name, the play look, no full screen.
    void ShowNoFile();
    // Seeks to m_nStartPositionMs once the new session takes seeks; gives up after a while.
    void SeekToStartPosition();
    // Strip 0 with m_strTip or strip 1 with m_strTip2, redrawn at once; only two-strip buttons.
    static void ShowStrip(CMButton& button, int strip);
    static void RedrawNow(platform::CWnd& window);
    void ReportPicturesShown();

    // Command hub (main_dlg_commands.cpp): one handler per id.
    void OnTogglePlaylist();
    void OnOpenFile();
    void OnStop();
    void OnSlower();
    void OnPlayPause();
    void OnFaster();
    void OnFrameStep();
    void OnMute();
    void OnVolume();
    void OnSeek();
    void OnConvert();
    void OnPlaylistPlay();
    void OnToggleFullScreen();
    void OnSnapshot();
    void OnPlayDroppedFile();
    void OnNothing() {}
    // The session's notification: the file has played out.
    void OnEndOfFile();
    void ApplySpeed();
    void ShowSpeed(int speed);
    QString SnapshotFolder();
    void LaunchConverter();

    // The camera grid (main_dlg_grid.cpp). While it plays, the transport commands are its own:
    // true when the id was handled so.
    bool OnGridCommand(platform::WParam id);
    bool IsGridShown() const;
    bool SeekGridBy(int deltaMs);
    void CloseGrid();
    void OnGridEnded();
    void OnGridSnapshot(bool everyTile);

    // Position thread (main_dlg_position.cpp).
    void StartPositionThread();
    void StopPositionThread();
    void PositionThread();
    void UpdatePositionSlider();

    CListWind m_wndList;
    CCtrlWind m_wndCtrl;
    CPlayWind m_wndPlay;
    CMStatusBar m_wndStatus;
    platform::Rect m_rcCtrl, m_rcList, m_rcPlay, m_rcStatus;
    int m_nLayout = 1;

    // The session is replaced and freed by the user-interface thread only, and only after it has
    // been swapped out of m_pPlayer under m_csPlayer; the position thread uses it only while it
    // holds m_csPlayer. So the thread never sees a session that is being stopped or freed, and the
    // user-interface thread never waits for a session's shut-down while holding the lock.
    // The user-interface thread reads m_pPlayer without the lock: it is the only writer.
    std::unique_ptr<CPlayerCore> m_pPlayer;  // written under m_csPlayer
    mutable platform::CriticalSection m_csPlayer;
    // The current session's notifier, and the one of the session before (user-interface thread).
    std::unique_ptr<CSessionNotifier> m_pNotifier;
    std::unique_ptr<CSessionNotifier> m_pRetiredNotifier;

    // The position thread loops while m_bPollRun is 1; m_pollStop wakes it from its pause.
    std::atomic<int> m_bPollRun{1};
    platform::Event m_pollStop{platform::ResetKind::Manual, false};
    platform::Thread m_hPollThread;

    QString m_strCurFile;
    int m_nSavedVolume = 0;
    int m_nSource = kSourcePlaylist;
    // The panel's own speed code: kept across files, so the next press continues from it.
    int m_nSpeed = 0;
    // Where a restart asked the start file to be played from, until a seek there is taken.
    int64_t m_nStartPositionMs = 0;
    QTimer m_startSeekTimer;
    int m_nStartSeekTries = 0;

    // Pictures shown by every session, counted only when kPictureCountVariable is set and printed
    // to the standard error when the panel goes (for measuring the player from outside).
    std::shared_ptr<std::atomic<int64_t>> m_pPicturesShown;

    // The recorded time on screen, from OnInitDialog until OnDestroy.
    std::unique_ptr<CClockView> m_pClockView;
    std::unique_ptr<CActivityStrip> m_pActivityStrip;
    std::unique_ptr<CFullScreenBar> m_pFullScreenBar;
    void CreateClockView();

    // Marks of the playing file; a different file starts without.
    ClipMarks m_marks;
    void ClearClipMarks();
    // From OnInitDialog until OnDestroy, after the position thread has ended: that thread reads its
    // length and position, which are atomics.
    std::unique_ptr<CGridController> m_pGrid;

    // The keys, active from OnInitDialog until OnDestroy.
    std::unique_ptr<CKeyShortcuts> m_pKeyShortcuts;
};

constexpr const char* kPictureCountVariable = "TELVANE_COUNT_PICTURES";
