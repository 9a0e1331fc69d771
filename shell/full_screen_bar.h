#pragma once
// In full screen the control bar is gone: the pointer at the picture's bottom edge brings up a bar
// over the picture's foot with the position (and the recorded time, when known) and the activity
// strip with the marked clip and a line where the picture is. It stays while the pointer is over
// it; a click on the strip seeks there. A timer follows the pointer and the session, which is
// asked through a function so that a replaced session is never kept.
//
// User-interface thread only.

#include <QTimer>
#include <QWidget>
#include <functional>

#include "engine/record/activity_finder.h"
#include "shell/clip_marks.h"

class CPlayerCore;

class CFullScreenBar : public QWidget {
public:
    CFullScreenBar(QWidget& picture, std::function<CPlayerCore*()> currentPlayer, std::function<ClipMarks()> marks);

    // "0:01:05 / 0:20:00", with the recorded time after it when known.
    const QString& Text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Refresh();
    bool PointerWantsBar(const QWidget& picture) const;
    QRect StripRect() const;

    std::function<CPlayerCore*()> m_currentPlayer;
    std::function<ClipMarks()> m_marks;
    QTimer m_timer;
    ActivityTimeline m_timeline;
    ClipMarks m_shownMarks;
    int64_t m_nDurationMs = 0;
    int64_t m_nPositionMs = 0;
    QString m_text;
};
