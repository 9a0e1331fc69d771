#pragma once
// A tooltip for one window (the tool): its text appears at the pointer after the pointer has rested
// over the tool for the delay, and goes on a press, on leaving or when the text is emptied.
// User-interface thread only. Messages need no relaying: the tooltip watches its tool itself.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "platform/qt/win_defs.h"

namespace platform {

class CWnd;

class CToolTipCtrl : public QObject {
public:
    CToolTipCtrl();
    ~CToolTipCtrl() override;

    BOOL Create(CWnd* owner, UINT style = 0);
    BOOL AddTool(CWnd* tool, const QString& text = QString());
    void UpdateTipText(const QString& text, CWnd* tool);
    // The delay before the tip appears, in milliseconds.
    void SetDelayTime(UINT delayMs);
    BOOL IsCreated() const { return m_bCreated; }
    QString GetText() const { return m_strText; }
    // Kept for owners that relay every message: the tooltip already watches its tool.
    void RelayEvent(const void*) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowTip();
    void HideTip();

    bool m_bCreated = false;
    QPointer<CWnd> m_pTool;
    QString m_strText;
    QTimer m_delay;
};

}  // namespace platform
