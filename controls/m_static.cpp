#include "controls/m_static.h"

#include <QPainter>

#include "platform/qt/draw_kit.h"
#include "platform/qt/fonts.h"

using namespace platform;

CMStatic::CMStatic() : CDialogEx(IDD_MSTATIC) {}

int CMStatic::TextFlags(int align) {
    const int horizontal = align == kAlignRight ? Qt::AlignRight : Qt::AlignLeft;
    return horizontal | Qt::AlignTop | Qt::TextSingleLine;
}

void CMStatic::OnPaint(QPainter& dc) {
    Rect client;
    GetClientRect(&client);
    const QString text = GetWindowText();
    ComposeOffscreen(dc, QSize(client.Width(), client.Height()), kBackground, [&](QPainter& painter) {
        if (text.isEmpty()) return;
        painter.setFont(MakeFont(QStringLiteral("微软雅黑"), 8));
        painter.setPen(QColor::fromRgba(kTextColour));
        // Drawing past the rectangle is clipped by the image's own edge, so a long text is cut
        // there rather than shortened.
        painter.drawText(ToQRect(client), TextFlags(m_nAlign), text);
    });
}
