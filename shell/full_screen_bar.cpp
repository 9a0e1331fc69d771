#include "shell/full_screen_bar.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

#include "engine/player_core.h"
#include "shell/activity_strip.h"
#include "shell/clock_zone_setting.h"

namespace {

constexpr int kBarRefreshMs = 150;
// The pointer this close to the bottom brings the bar up; over the bar it stays.
constexpr int kEdgePixels = 6;
constexpr int kBarHeight = 52;
constexpr int kMargin = 14;
constexpr int kStripTop = 32;
constexpr int kBarStripHeight = 10;
constexpr int kTextPixels = 15;

QString BarPositionText(int64_t ms) {
    return QStringLiteral("%1:%2:%3")
        .arg(ms / 3'600'000)
        .arg(ms / 60'000 % 60, 2, 10, QChar('0'))
        .arg(ms / 1000 % 60, 2, 10, QChar('0'));
}

}  // namespace

CFullScreenBar::CFullScreenBar(QWidget& picture, std::function<CPlayerCore*()> currentPlayer,
                               std::function<ClipMarks()> marks)
    : QWidget(&picture), m_currentPlayer(std::move(currentPlayer)), m_marks(std::move(marks)) {
    setObjectName("fullScreenBar");
    hide();
    connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
    m_timer.start(kBarRefreshMs);
}

void CFullScreenBar::Refresh() {
    QWidget& picture = *parentWidget();
    CPlayerCore* player = m_currentPlayer();
    const bool wanted = picture.isWindow() && player && player->IsOpened() && PointerWantsBar(picture);
    if (!wanted) {
        hide();
        return;
    }
    setGeometry(0, picture.height() - kBarHeight, picture.width(), kBarHeight);
    m_timeline = player->GetActivity();
    m_nDurationMs = player->GetDuration();
    m_nPositionMs = player->GetPosition();
    m_shownMarks = m_marks();
    m_text = BarPositionText(m_nPositionMs) + QStringLiteral(" / ") + BarPositionText(m_nDurationMs);
    const RecordedClock clock = player->GetRecordedClock();
    if (clock.IsKnown()) m_text += QStringLiteral("     ") + ShownClockText(clock, m_nPositionMs);
    show();
    raise();
    update();
}

bool CFullScreenBar::PointerWantsBar(const QWidget& picture) const {
    const QPoint pointer = picture.mapFromGlobal(QCursor::pos());
    if (!picture.rect().contains(pointer)) return false;
    const int reach = isVisible() ? kBarHeight : kEdgePixels;
    return pointer.y() >= picture.height() - reach;
}

QRect CFullScreenBar::StripRect() const {
    return QRect(kMargin, kStripTop, std::max(1, width() - 2 * kMargin), kBarStripHeight);
}

void CFullScreenBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(kTextPixels);
    painter.setFont(font);
    painter.drawText(QRect(kMargin, 6, width() - 2 * kMargin, kStripTop - 8), Qt::AlignLeft | Qt::AlignVCenter, m_text);
    const QRect strip = StripRect();
    PaintTimeline(painter, strip, m_timeline, m_nDurationMs, m_shownMarks);
    const int x = strip.left() + StripXForMs(m_nPositionMs, m_nDurationMs, strip.width());
    painter.fillRect(x - 1, strip.top() - 3, 3, strip.height() + 6, QColor(0, 200, 230));
}

void CFullScreenBar::mousePressEvent(QMouseEvent* event) {
    const QRect strip = StripRect().adjusted(0, -6, 0, 6);
    CPlayerCore* player = m_currentPlayer();
    const QPoint at = event->position().toPoint();
    if (!strip.contains(at) || !player || !player->IsOpened()) return;
    player->SeekTo(StripMsForX(at.x() - strip.left(), m_nDurationMs, strip.width()));
}
