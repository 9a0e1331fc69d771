#pragma once
// The recorder's clock on screen while a file plays: a label at the right of the status bar, and
// in full screen an overlay in the picture's top-left corner, as recorders burn their clock into
// the picture (a key turns the overlay off and on). Neither is shown for a file whose recording
// time is unknown. A timer on the user-interface thread follows the session's position; the
// session is asked through a function so that a replaced session is never kept.
//
// User-interface thread only.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "engine/recorded_clock.h"

class CPlayerCore;
class QLabel;
class QWidget;

class CClockView : public QObject {
public:
    // statusBar holds the label; picture is the video pane, which holds the overlay.
    CClockView(QWidget& statusBar, QWidget& picture, std::function<CPlayerCore*()> currentPlayer);
    ~CClockView() override;
    CClockView(const CClockView&) = delete;
    CClockView& operator=(const CClockView&) = delete;

    void ToggleOverlay();
    bool OverlayWanted() const { return m_bOverlayWanted; }
    // The text the label shows now; empty when nothing is shown.
    QString LabelText() const;
    // Shows the time now, as after a change of the zone it is shown in.
    void Refresh();

private:
    void PlaceLabel();
    void PlaceOverlay(bool fullScreen);

    QPointer<QWidget> m_statusBar;
    QPointer<QWidget> m_picture;
    QPointer<QLabel> m_label;
    QPointer<QLabel> m_overlay;
    std::function<CPlayerCore*()> m_currentPlayer;
    QTimer m_timer;
    bool m_bOverlayWanted = true;
};
