#include "platform/qt/static.h"

#include <QFontMetrics>
#include <QPainter>

#include "platform/qt/fonts.h"

namespace platform {
namespace {

const QString kEllipsis = QString(QChar(0x2026));

// The longest beginning of head that fits before the ellipsis and the tail; the advance of a
// string grows with its length, so a binary search finds it.
qsizetype LongestFittingHead(const QString& head, const QString& tail, const QFontMetrics& metrics, int width) {
    qsizetype fits = 0;
    qsizetype tooLong = head.size() + 1;
    while (tooLong - fits > 1) {
        const qsizetype middle = (fits + tooLong) / 2;
        if (metrics.horizontalAdvance(head.left(middle) + kEllipsis + tail) <= width) fits = middle;
        else tooLong = middle;
    }
    return fits;
}

}  // namespace

QString ElidePath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width) return path;
    const qsizetype lastSlash = path.lastIndexOf(QLatin1Char('/'));
    const QString tail = lastSlash < 0 ? path : path.mid(lastSlash);
    // The file name itself must be cut: still keep the beginning, and the name's end (its type).
    if (lastSlash < 0 || metrics.horizontalAdvance(kEllipsis + tail) > width)
        return metrics.elidedText(path, Qt::ElideMiddle, std::max(0, width));
    const QString head = path.left(lastSlash);
    return head.left(LongestFittingHead(head, tail, metrics, width)) + kEllipsis + tail;
}

BOOL CStatic::Create(const QString& text, UINT style, const Rect& rect, CWnd* parent, int controlId) {
    if (!CreateEx(parent, rect, style, controlId)) return FALSE;
    SetWindowText(text);
    return TRUE;
}

QString CStatic::DisplayText(int width) const {
    const QFontMetrics metrics(DialogFont());
    if (GetStyle() & SS_PATHELLIPSIS) return ElidePath(GetWindowText(), metrics, width);
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
