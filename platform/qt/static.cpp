#include "platform/qt/static.h"

#include <QFontMetrics>
#include <QPainter>

#include "platform/qt/fonts.h"

namespace platform {

BOOL CStatic::Create(const QString& text, UINT style, const Rect& rect, CWnd* parent, int controlId) {
    if (!CreateEx(parent, rect, style, controlId)) return FALSE;
    SetWindowText(text);
    return TRUE;
}

QString CStatic::DisplayText(int width) const {
    const QFontMetrics metrics(DialogFont());
    if (GetStyle() & SS_PATHELLIPSIS) return metrics.elidedText(GetWindowText(), Qt::ElideMiddle, width);
    return GetWindowText();
}

CtlColors CStatic::ColorsFromParent() {
    CtlColors colors;
    if (CWnd* parent = GetParent()) parent->OnCtlColor(this, colors);
    return colors;
}

BOOL CStatic::OnEraseBkgnd(QPainter&) { return TRUE; }  // painted with the text, in the parent's colour

void CStatic::OnPaint(QPainter& dc) {
    const CtlColors colors = ColorsFromParent();
    if (!colors.transparent) dc.fillRect(rect(), colors.background);
    const UINT type = GetStyle() & SS_TYPEMASK;
    Qt::Alignment align = type == SS_CENTER ? Qt::AlignHCenter : type == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft;
    align |= (GetStyle() & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
    const bool wrap = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
    dc.setFont(DialogFont());
    dc.setPen(colors.text);
    dc.drawText(rect(), static_cast<int>(align) | (wrap ? Qt::TextWordWrap : 0), DisplayText(width()));
}

}  // namespace platform
