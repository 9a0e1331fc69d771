#include "platform/qt/tooltip.h"

#include <QCursor>
#include <QEvent>
#include <QToolTip>

#include "platform/qt/wnd.h"

namespace platform {

CToolTipCtrl::CToolTipCtrl() {
    m_delay.setSingleShot(true);
    m_delay.setInterval(500);
    connect(&m_delay, &QTimer::timeout, this, [this] { ShowTip(); });
}

CToolTipCtrl::~CToolTipCtrl() {
    if (m_pTool) m_pTool->removeEventFilter(this);
}

BOOL CToolTipCtrl::Create(CWnd*, UINT) {
    m_bCreated = true;
    return TRUE;
}

BOOL CToolTipCtrl::AddTool(CWnd* tool, const QString& text) {
    if (!m_bCreated || !tool) return FALSE;
    if (m_pTool) m_pTool->removeEventFilter(this);
    m_pTool = tool;
    m_strText = text;
    tool->installEventFilter(this);
    return TRUE;
}

void CToolTipCtrl::UpdateTipText(const QString& text, CWnd*) {
    m_strText = text;
    if (text.isEmpty()) HideTip();
    else if (QToolTip::isVisible() && m_pTool && m_pTool->underMouse()) ShowTip();
}

void CToolTipCtrl::SetDelayTime(UINT delayMs) { m_delay.setInterval(static_cast<int>(delayMs)); }

bool CToolTipCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_pTool) return false;
    switch (event->type()) {
    case QEvent::ToolTip: return true;  // the delay is ours, not the style's
    case QEvent::Enter:
    case QEvent::MouseMove:
        if (!QToolTip::isVisible()) m_delay.start();
        break;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::Hide:
        HideTip();
        break;
    default: break;
    }
    return false;
}

void CToolTipCtrl::ShowTip() {
    if (!m_pTool || m_strText.isEmpty() || !m_pTool->isVisible()) return;
    QToolTip::showText(QCursor::pos(), m_strText, m_pTool);
}

void CToolTipCtrl::HideTip() {
    m_delay.stop();
    if (QToolTip::isVisible()) QToolTip::hideText();
}

}  // namespace platform
