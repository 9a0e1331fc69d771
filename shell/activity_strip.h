#pragma once
// A thin strip along the position slider that shows where in the file something moves, where the
// recording has no frames and where it was damaged, drawn as the background walk finds them.
// Hovering it shows the recorded time (or the offset) at the pointer. It also answers where the
// next and the previous activity start, for the keys that jump there.
//
// User-interface thread only; a timer asks the current session for what is known so far.

#include <QTimer>

class QPainter;
class QRect;
#include <QWidget>
#include <functional>
#include <optional>

#include "engine/record/activity_finder.h"
#include "shell/clip_marks.h"

class CPlayerCore;

// The x of a time on a strip width pixels wide showing durationMs, and back.
int StripXForMs(int64_t timeMs, int64_t durationMs, int width);
int64_t StripMsForX(int x, int64_t durationMs, int width);
// The start of the first activity after positionMs (with a little slack, so a jump lands past the
// stretch it is in), or of the last one before it; nothing when there is none.
std::optional<int64_t> NextActivityStart(const ActivityTimeline& timeline, int64_t positionMs);
std::optional<int64_t> PreviousActivityStart(const ActivityTimeline& timeline, int64_t positionMs);

// Draws a timeline of a file durationMs long into area: the part walked so far, activity, gaps,
// damage and the marked clip.
void PaintTimeline(QPainter& painter, const QRect& area, const ActivityTimeline& timeline, int64_t durationMs,
                   const ClipMarks& marks);

class CActivityStrip : public QWidget {
public:
    CActivityStrip(QWidget& parent, QWidget& slider, std::function<CPlayerCore*()> currentPlayer);

    const ActivityTimeline& Timeline() const { return m_timeline; }
    // The marked clip, drawn over the strip.
    void SetMarks(const ClipMarks& marks);
    const ClipMarks& Marks() const { return m_marks; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Refresh();

    QWidget& m_slider;
    std::function<CPlayerCore*()> m_currentPlayer;
    QTimer m_timer;
    ActivityTimeline m_timeline;
    int64_t m_nDurationMs = 0;
    ClipMarks m_marks;
};
