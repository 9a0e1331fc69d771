#include "controls/button_ui.h"

#include <QPainter>

#include "platform/qt/fonts.h"

using namespace platform;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kSilver = 0xFFC0C0C0;
constexpr int kCornerBox = 8;

QColor Argb(uint32_t argb) { return QColor::fromRgba(argb); }

QPen OutlinePen(uint32_t argb) {
    QPen pen(Argb(argb));
    pen.setWidthF(1.0);
    return pen;
}

QRectF CornerBox(double x, double y) { return QRectF(x, y, kCornerBox, kCornerBox); }

// The outline's pieces in order; each line is added from its own start point, so consecutive
// pieces are joined as one figure.
QPainterPath Outline(const Rect& c, double rightX, double rightTop, double bottomY, double bottomLeft) {
    const double L = c.left, T = c.top, R = c.right, B = c.bottom;
    QPainterPath path;
    path.arcMoveTo(CornerBox(L, T), 180);
    path.arcTo(CornerBox(L, T), 180, -90);
    path.lineTo(L + 4, T);
    path.lineTo(R - 5, T);
    path.arcTo(CornerBox(R - 9, T), 90, -90);
    path.lineTo(rightX, rightTop);
    path.lineTo(rightX, B - 5);
    path.arcTo(CornerBox(R - 9, B - 9), 0, -90);
    path.lineTo(bottomLeft, bottomY);
    path.lineTo(R - 5, bottomY);
    path.arcTo(CornerBox(L, B - 9), -90, -90);
    path.lineTo(L, T + 4);
    path.lineTo(L, B - 5);
    return path;
}

}  // namespace

void CButtonUI::PreSubclassWindow() {
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
    CButton::PreSubclassWindow();
}

CButtonUI::Look CButtonUI::ChooseLook(UINT itemState, int hover) {
    if (itemState & ODS_SELECTED) return Look::Pressed;
    if (hover) return Look::Hover;
    if (itemState & ODS_DISABLED) return Look::Disabled;
    return Look::Normal;
}

QPainterPath CButtonUI::RoundedOutline(const Rect& c) {
    return Outline(c, c.right - 1, c.top + 4, c.bottom - 1, c.left + 4);
}

QPainterPath CButtonUI::PressedRoundedOutline(const Rect& c) {
    return Outline(c, c.right - 2, c.top + 3, c.bottom - 2, c.left + 3);
}

CButtonUI::Colours CButtonUI::ColoursOf(Look look) const {
    switch (look) {
    case Look::Hover: return {m_crHoverFill, m_crHoverBorder, m_crHoverText};
    case Look::Pressed: return {m_crPressedFill, m_crPressedBorder, m_crPressedText};
    case Look::Disabled: return {kWhite, kSilver, kSilver};
    case Look::Normal: break;
    }
    return {m_crNormalFill, m_crNormalBorder, m_crNormalText};
}

void CButtonUI::DrawItem(const DRAWITEMSTRUCT& item) {
    if (!item.dc) return;
    QPainter& painter = *item.dc;
    Rect client;
    GetClientRect(&client);
    const Look look = ChooseLook(item.itemState, m_bHover);
    const Colours colours = ColoursOf(look);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    DrawShape(painter, client, look, colours);
    QRectF box(client.left, client.top, client.Width(), client.Height());
    if (look == Look::Pressed) box.translate(1, 1);
    DrawContent(painter, box, colours.text);
    painter.restore();
}

void CButtonUI::DrawShape(QPainter& painter, const Rect& client, Look look, const Colours& colours) const {
    painter.save();
    // Coordinates name pixel centres, as the drawing arithmetic assumes.
    painter.translate(0.5, 0.5);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(OutlinePen(colours.border));
    if (m_nStyle & kStyleRounded) DrawRoundedShape(painter, client, look, colours);
    else DrawSquareShape(painter, client, look, colours);
    painter.restore();
}

void CButtonUI::DrawRoundedShape(QPainter& painter, const Rect& c, Look look, const Colours& colours) const {
    const double L = c.left, T = c.top, R = c.right, B = c.bottom;
    switch (look) {
    case Look::Normal:
    case Look::Disabled: {
        painter.fillRect(QRectF(L + 1, T + 1, R - L - 2, B - T - 2), Argb(colours.fill));
        painter.drawPath(RoundedOutline(c));
        break;
    }
    case Look::Hover: {
        const QPainterPath path = RoundedOutline(c);
        painter.fillPath(path, Argb(colours.fill));
        painter.drawPath(path);
        break;
    }
    case Look::Pressed: {
        const QPainterPath path = PressedRoundedOutline(c);
        painter.fillPath(path, Argb(colours.fill));
        painter.drawPath(path);
        painter.drawLine(QPointF(R - 1, T + 3), QPointF(R - 1, B - 5));
        painter.drawLine(QPointF(L + 3, B - 1), QPointF(R - 5, B - 1));
        break;
    }
    }
}

void CButtonUI::DrawSquareShape(QPainter& painter, const Rect& c, Look look, const Colours& colours) const {
    const double L = c.left, T = c.top, R = c.right, B = c.bottom;
    const QRectF inner(L + 1, T + 1, R - L - 2, B - T - 2);
    if (look == Look::Pressed) {
        painter.drawRect(QRectF(L, T, R - L - 2, B - T - 2));
        painter.fillRect(inner, Argb(colours.fill));
        painter.drawLine(QPointF(R - 1, T), QPointF(R - 1, B - 2));
        painter.drawLine(QPointF(L, B - 1), QPointF(R - 2, B - 1));
        return;
    }
    painter.drawRect(QRectF(L, T, R - L - 1, B - T - 1));
    painter.fillRect(inner, Argb(colours.fill));
}

// The text centred in box; with the picture style and a picture, the picture stands at the left,
// scaled to the button's height less a 2-pixel margin, and the text is centred in what remains.
void CButtonUI::DrawContent(QPainter& painter, QRectF box, uint32_t textColour) const {
    if ((m_nStyle & kStylePicture) && m_pButtonImage && !m_pButtonImage->isNull()) {
        const double side = std::max(0.0, box.height() - 4);
        const QRectF picture(box.left() + 4, box.top() + 2, side, side);
        painter.drawImage(picture, *m_pButtonImage);
        box.setLeft(picture.right() + 2);
    }
    const QString text = GetWindowText();
    if (text.isEmpty()) return;
    painter.setFont(MakeFont(QStringLiteral("Arial"), 10));
    painter.setPen(Argb(textColour));
    painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text);
}

void CButtonUI::OnMouseMove(UINT flags, Point point) {
    if (m_bTrackNeeded == 1) {
        TrackMouseEvent(TME_HOVER | TME_LEAVE, 1);
        m_bTrackNeeded = 0;
    }
    CButton::OnMouseMove(flags, point);
}

void CButtonUI::OnMouseHover(UINT flags, Point point) {
    m_bHover = 1;
    RedrawWindow(nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    CButton::OnMouseHover(flags, point);
}

void CButtonUI::OnMouseLeave() {
    m_bHover = 0;
    m_bTrackNeeded = 1;
    RedrawWindow(nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    CButton::OnMouseLeave();
}
