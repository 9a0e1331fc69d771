#include "shell/go_to_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "shell/clock_zone_setting.h"

namespace {

QString Hint(const RecordedClock& clock, int64_t durationMs) {
    if (!clock.IsKnown()) return "An offset from the start, such as 1:30 or +0:02:05.";
    return "A recorded time, from " + ShownClockText(clock, 0) + " to " + ShownClockText(clock, durationMs) +
           ",\nor an offset from the start, such as +1:30.";
}

}  // namespace

CGoToDlg::CGoToDlg(QWidget* parent, const RecordedClock& clock, int64_t positionMs, int64_t durationMs)
    : QDialog(parent), m_clock(clock), m_nDurationMs(durationMs), m_pEdit(new QLineEdit(this)),
      m_pProblem(new QLabel(this)) {
    setObjectName("goToDialog");
    setWindowTitle("Go to");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Hint(clock, durationMs), this));
    m_pEdit->setObjectName("goToText");
    m_pEdit->setText(clock.IsKnown() ? QString::fromStdString(FormatClockAt(clock, positionMs, ShownClockZone()))
                                     : QString());
    m_pEdit->selectAll();
    layout->addWidget(m_pEdit);
    m_pProblem->setStyleSheet("color: rgb(200,40,40);");
    layout->addWidget(m_pProblem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CGoToDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGoToDlg::reject);
    layout->addWidget(buttons);
}

void CGoToDlg::accept() {
    m_nTargetMs = ParseGoToTarget(m_pEdit->text().toStdString(), m_clock, ShownClockZone(), m_nDurationMs);
    if (m_nTargetMs < 0) {
        m_pProblem->setText("Not a moment of this file.");
        return;
    }
    QDialog::accept();
}
