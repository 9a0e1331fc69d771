#include "shell/clock_view.h"

#include <QLabel>
#include <QWidget>

#include "engine/player_core.h"
#include "shell/clock_zone_setting.h"

namespace {

constexpr int kRefreshMs = 200;
constexpr int kLabelMargin = 8;
// The status bar's buttons take its right end; the label stands just left of them.
constexpr int kStatusButtonsWidth = 90;

void StyleLabel(QLabel& label, const char* style) {
    label.setStyleSheet(style);
    label.setAttribute(Qt::WA_TransparentForMouseEvents);
    label.hide();
}

}  // namespace

CClockView::CClockView(QWidget& statusBar, QWidget& picture, std::function<CPlayerCore*()> currentPlayer)
    : m_statusBar(&statusBar),
      m_picture(&picture),
      m_label(new QLabel(&statusBar)),
      m_overlay(new QLabel(&picture)),
      m_currentPlayer(std::move(currentPlayer)) {
    m_label->setObjectName("recordedClockLabel");
    m_overlay->setObjectName("recordedClockOverlay");
    StyleLabel(*m_label, "color: rgb(192,192,192); background: transparent;");
    StyleLabel(*m_overlay, "color: white; background: rgba(0,0,0,150); padding: 4px 8px; font-size: 20px;");
    connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
    m_timer.start(kRefreshMs);
}

CClockView::~CClockView() {
    m_timer.stop();
    delete m_label.data();
    delete m_overlay.data();
}

void CClockView::ToggleOverlay() {
    m_bOverlayWanted = !m_bOverlayWanted;
    Refresh();
}

QString CClockView::LabelText() const { return m_label && m_label->isVisible() ? m_label->text() : QString(); }

void CClockView::Refresh() {
    if (!m_label || !m_overlay || !m_picture) return;
    CPlayerCore* player = m_currentPlayer();
    const RecordedClock clock = player && player->IsOpened() ? player->GetRecordedClock() : RecordedClock{};
    const QString text = clock.IsKnown()
                             ? ShownClockText(clock, player->GetPosition())
                             : QString();
    m_label->setText(text);
    m_overlay->setText(text);
    m_label->setVisible(!text.isEmpty());
    const bool fullScreen = m_picture->isWindow();
    m_overlay->setVisible(!text.isEmpty() && fullScreen && m_bOverlayWanted);
    PlaceLabel();
    PlaceOverlay(fullScreen);
}

void CClockView::PlaceLabel() {
    if (!m_statusBar || !m_label->isVisible()) return;
    m_label->adjustSize();
    const int x = m_statusBar->width() - kStatusButtonsWidth - m_label->width() - kLabelMargin;
    m_label->move(std::max(0, x), (m_statusBar->height() - m_label->height()) / 2);
    m_label->raise();
}

void CClockView::PlaceOverlay(bool fullScreen) {
    if (!fullScreen || !m_overlay->isVisible()) return;
    m_overlay->adjustSize();
    m_overlay->move(2 * kLabelMargin, 2 * kLabelMargin);
    m_overlay->raise();
}
