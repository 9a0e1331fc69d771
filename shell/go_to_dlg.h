#pragma once
// The go-to dialog: a clock time ("10:00:05", "2025-12-10 10:00:05") or an offset from the start
// ("+1:30") becomes a position, which the caller seeks to. A text that names no moment of the file
// keeps the dialog open with a word on why. User-interface thread only.

#include <QDialog>
#include <cstdint>

#include "engine/recorded_clock.h"

class QLabel;
class QLineEdit;

class CGoToDlg : public QDialog {
public:
    CGoToDlg(QWidget* parent, const RecordedClock& clock, int64_t positionMs, int64_t durationMs);

    // After an accepted dialog: ms from the file's start.
    int64_t TargetMs() const { return m_nTargetMs; }

protected:
    void accept() override;

private:
    RecordedClock m_clock;
    int64_t m_nDurationMs;
    int64_t m_nTargetMs = -1;
    QLineEdit* m_pEdit;
    QLabel* m_pProblem;
};
