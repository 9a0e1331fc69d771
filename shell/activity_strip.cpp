#include "shell/activity_strip.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "engine/player_core.h"
#include "shell/clock_zone_setting.h"

namespace {

constexpr int kRefreshMs = 250;
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
    m_timer.start(kRefreshMs);
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

void CActivityStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(20, 40, 50));
    const int walkedX = StripXForMs(m_timeline.complete ? m_nDurationMs : m_timeline.walkedMs, m_nDurationMs, width());
    painter.fillRect(0, 0, walkedX, height(), QColor(40, 70, 85));
    for (const TimelineSpan& span : m_timeline.spans) {
        const int left = StripXForMs(span.startMs, m_nDurationMs, width());
        const int right = StripXForMs(span.endMs, m_nDurationMs, width());
        painter.fillRect(left, 0, std::max(2, right - left), height(), ColourOf(span.kind));
    }
    PaintMarks(painter);
}

void CActivityStrip::SetMarks(const ClipMarks& marks) {
    m_marks = marks;
    update();
}

// The clip as a light band, its marks as white posts; a lone mark's band runs to the file's end
// or from its start, as the export takes it.
void CActivityStrip::PaintMarks(QPainter& painter) const {
    const std::optional<std::pair<int64_t, int64_t>> stretch = m_marks.Stretch(m_nDurationMs);
    if (stretch) {
        const int left = StripXForMs(stretch->first, m_nDurationMs, width());
        const int right = StripXForMs(stretch->second, m_nDurationMs, width());
        painter.fillRect(left, 0, std::max(1, right - left), height(), QColor(255, 255, 255, 110));
    }
    for (const std::optional<int64_t>& mark : {m_marks.startMs, m_marks.endMs}) {
        if (mark) painter.fillRect(StripXForMs(*mark, m_nDurationMs, width()) - 1, 0, 3, height(), Qt::white);
    }
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
