#pragma once
// The video pane: a black window the renderer presents its pictures into. A double click (or the
// main panel's full-screen command) spreads it over the whole screen it is on, above every window;
// a second double click or Esc puts it back exactly where it was. A single video file or recording
// dropped on it is handed to the main panel for playing; anything else is refused with a box shown
// once the drop has ended. Neither Esc nor a close request ends it.
//
// Threads: the handlers run on the user-interface thread. The renderer presents from its own thread
// into m_videoTarget, which copies the picture under its own lock and asks for a repaint.

#include <QPointer>
#include <QString>
#include <QStringList>

#include "panels/path_rules.h"
#include "platform/geometry.h"
#include "platform/qt/dialog.h"
#include "platform/qt/window_video_target.h"

class CPlayWind : public platform::CDialogEx {
public:
    CPlayWind();
    ~CPlayWind() override;

    // Enters (TRUE) or leaves (FALSE) full screen; checks neither the permission nor the state.
    void SetFullScreen(platform::BOOL fullScreen);
    // Only while m_bFullScreenAllowed: saves the window rectangle and enters full screen, or leaves.
    void ToggleFullScreen();

    platform::BOOL PreTranslateMessage(platform::Message& message) override;

    // What the renderer presented into the pane and what the pane painted; any thread.
    platform::WindowVideoTarget::PaintCounts PaintCounts() const { return m_videoTarget.Counts(); }

    int m_bFullScreen = 0;
    platform::Rect m_rcRestore;   // screen rectangle saved before entering full screen
    int m_bFullScreenAllowed = 0;  // written by the main panel: a file is open
    QString m_strDropFile;         // the last accepted dropped file
    QString m_strDropFolder;       // its folder, ending with '/'; empty when the path has no '/'
    RecordingTest m_isRecording;   // set by the main panel: knows a recording of any name

protected:
    void PreSubclassWindow() override;
    platform::BOOL OnInitDialog() override;
    platform::BOOL OnEraseBkgnd(QPainter& dc) override;
    void OnPaint(QPainter& dc) override;
    void OnLButtonDblClk(platform::UINT flags, platform::Point point) override;
    void OnDropFiles(const QStringList& paths) override;
    void OnDestroy() override;
    void OnCancel() override {}

private:
    QPointer<platform::CWnd> m_pParentWnd;  // the main panel, taken once at initialisation
    platform::WindowVideoTarget m_videoTarget;
};
