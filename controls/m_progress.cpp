#include "controls/m_progress.h"

#include <QPainter>
#include <algorithm>

#include "platform/qt/draw_kit.h"
#include "platform/qt/posted_window_calls.h"

using namespace platform;

namespace {

constexpr QRgb kSliderBackground = 0xFF00161E;
constexpr int kCapWidth = 30;
constexpr UINT kTipDelayMs = 200;
constexpr UINT kSliderHoverMs = 1;

Rect RectAt(int x, int y, int width, int height) { return Rect{x, y, x + width, y + height}; }

}  // namespace

CMProgress::CMProgress(CWnd* parent) : CDialogEx(IDD_MPROGRESS, parent) {}

CMProgress::~CMProgress() {
    // The window goes before the pictures it paints with.
    DestroyWindow();
}

BOOL CMProgress::SetPos(uint32_t pos) {
    {
        CsGuard lock(m_csPos);
        const uint32_t max = m_nMax.load();
        if (max == 0 || pos > max) return FALSE;
        m_nPos = pos;
    }
    PostInvalidate(GetSafeHwnd(), TRUE);
    return TRUE;
}

uint32_t CMProgress::GetPos() const {
    CsGuard lock(m_csPos);
    return m_nPos;
}

uint32_t CMProgress::ValueAtX(int x, int width, int margin, uint32_t max) {
    if (x <= margin) return 0;
    if (x >= width - margin) return max;
    // Over the track's length, the length the fill is drawn over: a click lands under the pointer.
    return static_cast<uint32_t>(int64_t{x - margin} * max / (width - 2 * margin));
}

int CMProgress::FillLength(int width, int margin, uint32_t pos, uint32_t max, bool hovered) {
    if (max == 0) return 0;
    // A range the owner shrank below the value draws as a full track, not past the window.
    const int64_t track = int64_t{width} - 2 * int64_t{margin};
    const int64_t length = track * std::min(pos, max) / max + 2;
    return static_cast<int>(hovered ? std::min(length, track) : length);
}

std::array<CMProgress::Piece, 3> CMProgress::TrackPieces(int width, int height, int margin, QSize picture) {
    const int m = margin, y = (height - m) / 2;
    const int w1 = picture.width(), h1 = picture.height();
    const int c1 = m > 0 ? kCapWidth * h1 / m : 0;
    return {Piece{RectAt(m, y, kCapWidth, m), RectAt(0, 0, c1, h1)},
            Piece{RectAt(m + kCapWidth, y, width - 2 * m - 2 * kCapWidth, m), RectAt(kCapWidth, 0, w1 - 2 * kCapWidth, h1)},
            Piece{RectAt(width - m - kCapWidth, y, kCapWidth, m), RectAt(w1 - c1, 0, c1, h1)}};
}

std::vector<CMProgress::Piece> CMProgress::FillPieces(int fillLength, int height, int margin, QSize picture) {
    const int m = margin, L = fillLength, y = (height - m) / 2;
    const int w2 = picture.width(), h2 = picture.height();
    if (L <= 0 || m <= 0) return {};
    if (L <= 2 * kCapWidth) {
        const int half = L / 2, sourceHalf = half * h2 / m;
        return {Piece{RectAt(m, y, half, m), RectAt(0, 0, sourceHalf, h2)},
                Piece{RectAt(m + half, y, half, m), RectAt(w2 - sourceHalf, 0, sourceHalf, h2)}};
    }
    const int c2 = kCapWidth * h2 / m;
    // The left cap is m pixels too wide; the middle, drawn after it, covers the excess.
    return {Piece{RectAt(m, y, m + kCapWidth, m), RectAt(0, 0, c2, h2)},
            Piece{RectAt(m + kCapWidth, y, L - 2 * kCapWidth, m), RectAt(kCapWidth, 0, w2 - 2 * kCapWidth, h2)},
            Piece{RectAt(m + L - kCapWidth, y, kCapWidth, m), RectAt(w2 - c2, 0, c2, h2)}};
}

Rect CMProgress::ThumbRect(int fillLength, int width, int height, int margin) {
    const int x = std::min(fillLength + margin / 2, width - 2 * margin);
    return RectAt(x, (height - 2 * margin) / 2, 2 * margin, 2 * margin);
}

QString CMProgress::ValueText(int tipMode, uint32_t pos, uint32_t max) {
    switch (tipMode) {
    case kTipMinutesSeconds: return QStringLiteral("%1:%2").arg(pos / 60000).arg(pos / 1000 % 60);
    case kTipPercent:
        // Without a range there is nothing to be a share of.
        return QStringLiteral("%1%").arg(max == 0 ? 0 : uint64_t{pos} * 100 / max);
    default: return QString::number(pos);
    }
}

BOOL CMProgress::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_ToolTip.Create(this);
    m_ToolTip.AddTool(this);
    m_ToolTip.SetDelayTime(kTipDelayMs);
    m_pThumbImage = LoadPicture(QStringLiteral("images/slider.png"));
    m_pTrackImage = LoadPicture(QStringLiteral("images/strip1.png"));
    m_pFillImage = LoadPicture(QStringLiteral("images/strip2.png"));
    return TRUE;
}

BOOL CMProgress::OnEraseBkgnd(QPainter&) { return TRUE; }

void CMProgress::OnPaint(QPainter& dc) {
    if (!m_pTrackImage || !m_pFillImage || !m_pThumbImage) return;
    Rect client;
    GetClientRect(&client);
    const int W = client.Width(), H = client.Height(), m = m_nMargin;
    uint32_t pos = 0, max = 0;
    {
        CsGuard lock(m_csPos);
        pos = m_nPos;
        max = m_nMax.load();
    }
    const int fill = FillLength(W, m, pos, max, m_bHover != 0);
    ComposeOffscreen(dc, QSize(W, H), kSliderBackground, [&](QPainter& painter) {
        const auto track = TrackPieces(W, H, m, PictureSize(*m_pTrackImage));
        DrawPieces(painter, *m_pTrackImage, std::vector<Piece>(track.begin(), track.end()));
        DrawPieces(painter, *m_pFillImage, FillPieces(fill, H, m, PictureSize(*m_pFillImage)));
        if (m_bHover) DrawImage(painter, m_pThumbImage.get(), ThumbRect(fill, W, H, m));
    });
}

void CMProgress::DrawPieces(QPainter& painter, const QImage& picture, const std::vector<Piece>& pieces) const {
    for (const Piece& piece : pieces) DrawImageRect(painter, picture, piece.dest, piece.source);
}

void CMProgress::OnMouseMove(UINT, Point point) {
    if (!m_bTracking) {
        TrackMouseEvent(TME_HOVER | TME_LEAVE, kSliderHoverMs);
        m_bTracking = 1;
    }
    if (m_bDragging) MoveValueToPointer(point.x);
    else if (m_bChanged) ShowValueTip();
}

void CMProgress::OnLButtonDown(UINT, Point point) {
    MoveValueToPointer(point.x);
    m_bDragging = 1;
}

void CMProgress::OnLButtonUp(UINT, Point) {
    m_bDragging = 0;
    if (!m_bChanged) return;
    m_bChanged = 0;
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_COMMAND, static_cast<WParam>(m_nID), 0);
}

void CMProgress::OnMouseHover(UINT, Point) {
    if (m_bHover == 1) return;
    m_bHover = 1;
    Invalidate(TRUE);
}

void CMProgress::OnMouseLeave() {
    if (m_bHover == 1) {
        m_bHover = 0;
        Invalidate(TRUE);
    }
    // A value changed during the drag stays unreported until the next release on the slider.
    m_bTracking = 0;
    m_bDragging = 0;
}

void CMProgress::MoveValueToPointer(int x) {
    Rect client;
    GetClientRect(&client);
    {
        CsGuard lock(m_csPos);
        m_nPos = ValueAtX(x, client.Width(), m_nMargin, m_nMax.load());
    }
    // The paint takes m_csPos itself, so the lock is released before the repaint.
    RedrawWindow(nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    m_bChanged = 1;
    ShowValueTip();
}

void CMProgress::ShowValueTip() {
    uint32_t pos = 0, max = 0;
    {
        CsGuard lock(m_csPos);
        pos = m_nPos;
        max = m_nMax.load();
    }
    m_ToolTip.UpdateTipText(ValueText(m_nTipMode, pos, max), this);
}
