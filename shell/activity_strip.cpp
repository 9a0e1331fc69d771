#include "shell/activity_strip.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "engine/player_core.h"
#include "shell/clock_zone_setting.h"

namespace {

constexpr int kStripRefreshMs = 250;
constexpr int kStripHeight = 4;
// A jump from within the first moments of a stretch goes on to the next one.
constexpr int64_t kJumpSlackMs = 500;

QColor ColourOf(TimelineSpanKind kind) {
    switch (kind) {
        case TimelineSpanKind::Activity: return QColor(255, 160, 0);
        case TimelineSpanKind::Gap: return QColor(90, 90, 90);
        case TimelineSpanKind::Damage: return QColor(220, 40, 40);
    }
    return Qt::transparent;
}

QString OffsetText(int64_t ms) {
    return QString("%1:%2:%3").arg(ms / 3'600'000).arg(ms / 60'000 % 60, 2, 10, QChar('0')).arg(ms / 1000 % 60, 2, 10, QChar('0'));
}

}  // namespace

int StripXForMs(int64_t timeMs, int64_t durationMs, int width) {
    if (durationMs <= 0 || width <= 0) return 0;
    return int(std::clamp<int64_t>(timeMs, 0, durationMs) * width / durationMs);
}

int64_t StripMsForX(int x, int64_t durationMs, int width) {
    if (durationMs <= 0 || width <= 0) return 0;
    return std::clamp(x, 0, width) * durationMs / width;
}

std::optional<int64_t> NextActivityStart(const ActivityTimeline& timeline, int64_t positionMs) {
    for (const TimelineSpan& span : timeline.spans) {
        if (span.kind == TimelineSpanKind::Activity && span.startMs > positionMs + kJumpSlackMs) return span.startMs;
    }
    return std::nullopt;
}

std::optional<int64_t> PreviousActivityStart(const ActivityTimeline& timeline, int64_t positionMs) {
    std::optional<int64_t> found;
    for (const TimelineSpan& span : timeline.spans) {
        if (span.kind == TimelineSpanKind::Activity && span.startMs < positionMs - kJumpSlackMs) found = span.startMs;
    }
    return found;
}

CActivityStrip::CActivityStrip(QWidget& parent, QWidget& slider, std::function<CPlayerCore*()> currentPlayer)
    : QWidget(&parent), m_slider(slider), m_currentPlayer(std::move(currentPlayer)) {
    setObjectName("activityStrip");
    setMouseTracking(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
    m_timer.start(kStripRefreshMs);
}

void CActivityStrip::Refresh() {
    const QRect slider = m_slider.geometry();
    setGeometry(slider.left(), std::max(0, slider.top() - kStripHeight - 1), slider.width(), kStripHeight);
    raise();
    CPlayerCore* player = m_currentPlayer();
    const bool opened = player && player->IsOpened();
    m_timeline = opened ? player->GetActivity() : ActivityTimeline{};
    m_nDurationMs = opened ? player->GetDuration() : 0;
    setVisible(opened);
    update();
}

void PaintTimeline(QPainter& painter, const QRect& area, const ActivityTimeline& timeline, int64_t durationMs,
                   const ClipMarks& marks) {
    const int width = area.width();
    auto x = [&](int64_t ms) { return area.left() + StripXForMs(ms, durationMs, width); };
    painter.fillRect(area, QColor(20, 40, 50));
    const int walked = x(timeline.complete ? durationMs : timeline.walkedMs) - area.left();
    painter.fillRect(area.left(), area.top(), walked, area.height(), QColor(40, 70, 85));
    for (const TimelineSpan& span : timeline.spans) {
        const int left = x(span.startMs);
        painter.fillRect(left, area.top(), std::max(2, x(span.endMs) - left), area.height(), ColourOf(span.kind));
    }
    // The clip as a light band, its marks as white posts; a lone mark's band runs to the file's
    // end or from its start, as the export takes it.
    if (const std::optional<std::pair<int64_t, int64_t>> clip = marks.Stretch(durationMs)) {
        const int left = x(clip->first);
        painter.fillRect(left, area.top(), std::max(1, x(clip->second) - left), area.height(),
                         QColor(255, 255, 255, 110));
    }
    for (const std::optional<int64_t>& mark : {marks.startMs, marks.endMs}) {
        if (mark) painter.fillRect(x(*mark) - 1, area.top(), 3, area.height(), Qt::white);
    }
}

void CActivityStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintTimeline(painter, rect(), m_timeline, m_nDurationMs, m_marks);
}

void CActivityStrip::SetMarks(const ClipMarks& marks) {
    m_marks = marks;
    update();
}

bool CActivityStrip::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int64_t atMs = StripMsForX(help->pos().x(), m_nDurationMs, width());
    CPlayerCore* player = m_currentPlayer();
    const RecordedClock clock = player && player->IsOpened() ? player->GetRecordedClock() : RecordedClock{};
    const QString text = clock.IsKnown() ? ShownClockText(clock, atMs)
                                         : OffsetText(atMs);
    QToolTip::showText(help->globalPos(), text, this);
    return true;
}
