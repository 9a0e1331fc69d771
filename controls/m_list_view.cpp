#include "controls/m_list_view.h"

#include <QPainter>
#include <algorithm>

#include "platform/qt/draw_kit.h"
#include "platform/qt/fonts.h"

using namespace platform;

namespace {

constexpr QRgb kListBackground = 0xFF263035;
constexpr QRgb kSelectedFill = 0xFF668B8B, kSelectedText = 0xFFF0FFFF;
constexpr QRgb kHoverFill = 0xFF68838B, kHoverText = 0xFF000505;
constexpr QRgb kNormalText = 0xFF7A8B8B;
constexpr int kScrollBarLeft = 16;    // from the right edge
constexpr int kScrollBarWidth = 14;
constexpr int kTrackTop = 15;
constexpr int kHiddenKnobRows = 10;   // the thumb picture's lowest rows never show
constexpr int kRowsImageLeft = 3, kRowsImageTop = 2;
constexpr int kRowsRightGap = 19;     // client width minus the rows' width
constexpr int kWheelNotch = 120;
constexpr UINT kListHoverMs = 1;

}  // namespace

CMListView::CMListView(CWnd* parent) : CDialogEx(IDD_MLISTVIEW, parent) {}

CMListView::~CMListView() {
    // The window goes before the pictures it paints with.
    DestroyWindow();
}

bool CMListView::AddItem(const QString& text) {
    if (text.size() > kMaxTextLength) return false;
    CsGuard lock(m_csItems);
    if (static_cast<int>(m_arItems.size()) >= kMaxItems) return false;
    m_arItems.push_back(text);
    return true;
}

BOOL CMListView::RemoveAll() {
    {
        CsGuard lock(m_csItems);
        m_arItems.clear();
    }
    RedrawNow();
    return TRUE;
}

int CMListView::GetCount() const {
    CsGuard lock(m_csItems);
    return static_cast<int>(m_arItems.size());
}

bool CMListView::GetItemText(int index, QString& text) const { return ItemAt(index, text); }

bool CMListView::GetSelectedText(QString& text) const {
    text.clear();
    return ItemAt(m_nSel, text);
}

bool CMListView::ItemAt(int index, QString& text) const {
    CsGuard lock(m_csItems);
    if (index < 0 || index >= static_cast<int>(m_arItems.size())) return false;
    text = m_arItems[static_cast<size_t>(index)];
    return !text.isEmpty();
}

CMListView::Areas CMListView::LayoutAreas(int width, int height) {
    const int W = width, H = height;
    return Areas{Rect{W - 16, 2, W - 2, 14}, Rect{W - 16, H - 14, W - 2, H - 2}, Rect{W - 16, 15, W - 2, H - 15},
                 Rect{4, 3, W - 17, H - 2}, H - 28};
}

int CMListView::ThumbLength(int itemCount, int trackLength) {
    const int n = itemCount, T = trackLength;
    if (n == 0 || n * kRowHeight <= T) return T;
    // Each hidden item is worth 3 pixels of thumb travel, as long as the thumb keeps 20 pixels.
    const int hidden = n - T / kRowHeight;
    if (hidden > T - kMinThumbLength || (T - kMinThumbLength) / hidden <= 3) return kMinThumbLength;
    return T - 3 * hidden;
}

CMListView::ScrollLayout CMListView::ComputeScroll(int itemCount, int trackLength, int thumbPos, int clientHeight) {
    ScrollLayout layout;
    const int n = itemCount, T = trackLength;
    layout.thumbLength = ThumbLength(n, T);
    layout.scrolls = n > 0 && n * kRowHeight > T;
    const int rowsHeight = clientHeight - 2;
    if (rowsHeight > kRowHeight)
        layout.visibleRows = std::min(n, rowsHeight / kRowHeight + (rowsHeight % kRowHeight ? 1 : 0));
    const int travel = T - layout.thumbLength;
    if (layout.scrolls && travel > 0)
        layout.offset = int64_t{thumbPos} * (n - layout.visibleRows) * kRowHeight / travel;
    layout.firstItem = static_cast<int>(layout.offset / kRowHeight);
    layout.firstRowHeight = kRowHeight - static_cast<int>(layout.offset % kRowHeight);
    return layout;
}

int CMListView::RowAt(int y, int firstRowHeight) {
    // The rows are found 2 pixels lower than they are drawn; a partly shown top row shifts them up.
    const int fromFirstRow = y - firstRowHeight + 31;
    return fromFirstRow < 0 ? -1 : fromFirstRow / kRowHeight;
}

int CMListView::LimitThumbPos(int thumbPos, int trackLength, int thumbLength) {
    return std::max(0, std::min(thumbPos, trackLength - thumbLength));
}

BOOL CMListView::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_pDownImage = LoadPicture(QStringLiteral("images/down.png"));
    m_pUpImage = LoadPicture(QStringLiteral("images/up.png"));
    m_pKnobImage = LoadPicture(QStringLiteral("images/SliderList.png"));
    return TRUE;
}

void CMListView::OnSize(UINT type, int width, int height) {
    CDialogEx::OnSize(type, width, height);
    const Areas areas = LayoutAreas(width, height);
    m_rcUp = areas.up;
    m_rcDown = areas.down;
    m_rcTrack = areas.track;
    m_rcRows = areas.rows;
    m_nTrackLen = areas.trackLength;
}

BOOL CMListView::OnEraseBkgnd(QPainter&) { return TRUE; }

CMListView::ScrollLayout CMListView::TakeScrollLayout(int itemCount, int clientHeight) {
    CsGuard lock(m_csLayout);
    m_nThumbLen = ThumbLength(itemCount, m_nTrackLen);
    // A list refilled with fewer items would otherwise show its rows scrolled out of sight and its
    // thumb below the track.
    m_nThumbPos = LimitThumbPos(m_nThumbPos, m_nTrackLen, m_nThumbLen);
    return ComputeScroll(itemCount, m_nTrackLen, m_nThumbPos, clientHeight);
}

void CMListView::OnPaint(QPainter& dc) {
    Rect client;
    GetClientRect(&client);
    const int W = client.Width(), H = client.Height();
    const int itemCount = GetCount();
    const ScrollLayout layout = TakeScrollLayout(itemCount, H);
    // The outermost pixel line on each side is never painted.
    ComposeOffscreen(
        dc, QSize(W - 2, H - 2), kListBackground,
        [&](QPainter& painter) {
            DrawScrollBar(painter, W);
            DrawRows(painter, layout, itemCount, W, H);
        },
        QPoint(1, 1));
}

void CMListView::DrawScrollBar(QPainter& painter, int width) const {
    if (!m_pUpImage || !m_pDownImage || !m_pKnobImage) return;
    DrawImage(painter, m_pUpImage.get(), m_rcUp);
    DrawImage(painter, m_pDownImage.get(), m_rcDown);
    const int left = width - kScrollBarLeft, top = kTrackTop + m_nThumbPos;
    const Rect thumb{left, top, left + kScrollBarWidth, top + m_nThumbLen};
    const QSize knob = PictureSize(*m_pKnobImage);
    DrawImageRect(painter, *m_pKnobImage, thumb, Rect{0, 0, knob.width(), knob.height() - kHiddenKnobRows});
}

void CMListView::DrawRows(QPainter& painter, const ScrollLayout& layout, int itemCount, int width, int height) {
    const int V = layout.visibleRows, rowWidth = width - kRowsRightGap;
    if (itemCount == 0 || V == 0 || rowWidth <= 0) return;
    SelectPressedRow(layout, itemCount);
    OffscreenImage rows(QSize(rowWidth, (V + 1) * kRowHeight), kListBackground, painter.device()->devicePixelRatioF());
    if (!rows.IsValid()) return;
    QPainter& rowPainter = rows.Painter();
    rowPainter.setFont(MakeFont(QStringLiteral("微软雅黑"), 10));
    const int hoverRow = !m_bThumbDrag && m_bHover ? RowAt(m_nMouseY, layout.firstRowHeight) : -1;
    for (int j = 0; j <= V && layout.firstItem + j < itemCount; ++j) {
        const int item = layout.firstItem + j;
        QString text;
        if (!ItemAt(item, text)) continue;
        const RowLook look = m_bSelShown && item == m_nSel ? RowLook::kSelected
                             : j == hoverRow               ? RowLook::kHover
                                                           : RowLook::kNormal;
        DrawRow(rowPainter, QRect(0, kRowHeight * j, rowWidth, kRowHeight), text, look);
    }
    // Only the lower part of a partly scrolled top row shows.
    const int hiddenTop = kRowHeight - layout.firstRowHeight;
    rows.CopyTo(painter, QPoint(kRowsImageLeft, kRowsImageTop), QRect(0, hiddenTop, rowWidth, height - 2));
}

void CMListView::DrawRow(QPainter& painter, const QRect& row, const QString& text, RowLook look) {
    QRgb textColour = kNormalText;
    if (look == RowLook::kSelected) {
        painter.fillRect(row, QColor::fromRgba(kSelectedFill));
        textColour = kSelectedText;
    } else if (look == RowLook::kHover) {
        painter.fillRect(row, QColor::fromRgba(kHoverFill));
        textColour = kHoverText;
    }
    painter.setPen(QColor::fromRgba(textColour));
    painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

// A press on a row chooses it before the rows are drawn, so the old selection is not shown beside it.
void CMListView::SelectPressedRow(const ScrollLayout& layout, int itemCount) {
    if (m_bThumbDrag || !m_bHover || !m_bPressed) return;
    const int row = RowAt(m_nMouseY, layout.firstRowHeight);
    const int item = layout.firstItem + row;
    QString text;
    if (row < 0 || row > layout.visibleRows || item >= itemCount || !ItemAt(item, text)) return;
    m_nSel = item;
    m_bSelShown = 1;
}

void CMListView::OnLButtonDown(UINT, Point point) {
    SetFocus();
    if (PtInRect(m_rcTrack, point) && GetCount() > 0) {
        const int thumbTop = kTrackTop + m_nThumbPos;
        if (point.y >= thumbTop && point.y < thumbTop + m_nThumbLen) m_bThumbDrag = 1;
        else MoveThumbTo(point.y - kTrackTop);
    } else if (PtInRect(m_rcRows, point)) {
        m_bPressed = 1;
    } else {
        return;
    }
    RedrawNow();
}

void CMListView::OnLButtonUp(UINT, Point) {
    m_bThumbDrag = 0;
    m_bPressed = 0;
    RedrawNow();
}

void CMListView::OnLButtonDblClk(UINT, Point point) {
    if (!PtInRect(m_rcRows, point)) return;
    m_bPressed = 1;
    // The repaint chooses the row under the pointer, which the parent reads on the command.
    RedrawNow();
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_COMMAND, static_cast<WParam>(m_nID), 0);
}

void CMListView::OnMouseMove(UINT, Point point) {
    if (!m_bTracking) {
        TrackMouseEvent(TME_HOVER | TME_LEAVE, kListHoverMs);
        m_bTracking = 1;
    }
    if (m_bThumbDrag) {
        MoveThumbTo(m_nThumbPos + point.y - m_nLastY);
        RedrawNow();
    } else {
        m_nMouseY = point.y;
        if (m_bHover) RedrawNow();
    }
    m_nLastY = point.y;
}

// Touchpads and smooth wheels send fractions of a notch: what a delta leaves over is kept for the
// next, so that many small turns scroll as far as one large one. A turn the other way starts afresh.
BOOL CMListView::OnMouseWheel(UINT, short zDelta, Point) {
    if ((zDelta < 0) != (m_nWheelRemainder < 0)) m_nWheelRemainder = 0;
    m_nWheelRemainder += zDelta;
    const int notches = m_nWheelRemainder / kWheelNotch;
    m_nWheelRemainder -= notches * kWheelNotch;
    MoveThumbTo(m_nThumbPos - notches);
    RedrawNow();
    return TRUE;
}

void CMListView::OnMouseHover(UINT, Point) { m_bHover = 1; }

void CMListView::OnMouseLeave() {
    // No repaint: the last hover highlight stays until the next one.
    m_bTracking = 0;
    m_bHover = 0;
    m_bThumbDrag = 0;
    m_bPressed = 0;
}

void CMListView::MoveThumbTo(int thumbPos) { m_nThumbPos = LimitThumbPos(thumbPos, m_nTrackLen, m_nThumbLen); }

void CMListView::RedrawNow() { RedrawWindow(nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }
