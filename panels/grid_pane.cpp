#include "panels/grid_pane.h"

#include <QEvent>
#include <QPainter>

#include "panels/grid_layout.h"
#include "platform/qt/fonts.h"
#include "platform/qt/window_video_target.h"

using namespace platform;

namespace {

constexpr int kFrameWidth = 3;
const QColor kFrameColour(255, 196, 0);
const QColor kLabelText(192, 192, 192);
const QColor kLabelBackground(0, 0, 0, 160);
constexpr int kLabelHeight = 18;
constexpr int kLabelPadding = 4;
constexpr int kLabelFontPx = 12;
constexpr int kMarkFontPx = 16;
constexpr const char* kNoRecordingMark = "no recording";

}  // namespace

// One tile: a window the session presents into, with its own paint of what goes over the picture.
class CGridTile : public CWnd {
public:
    CGridTile(CGridPane& pane, int index) : m_pane(pane), m_nIndex(index) {}
    ~CGridTile() override { DestroyWindow(); }

    void AttachTarget() { m_videoTarget.Attach(this); }
    void SetLabel(const QString& label) {
        if (label == m_strLabel) return;
        m_strLabel = label;
        Invalidate(FALSE);
    }
    void SetSelected(bool selected) {
        m_bSelected = selected;
        Invalidate(FALSE);
    }
    void SetFootage(bool hasFootage) {
        if (hasFootage == m_bHasFootage) return;
        m_bHasFootage = hasFootage;
        Invalidate(FALSE);
    }
    bool HasFootage() const { return m_bHasFootage; }

protected:
    BOOL OnEraseBkgnd(QPainter&) override { return TRUE; }
    void OnPaint(QPainter& dc) override {
        Rect client;
        GetClientRect(&client);
        m_videoTarget.Paint(dc, client);
        if (!m_bHasFootage) PaintNoRecording(dc, client);
        PaintLabel(dc, client);
        if (m_bSelected && m_pane.TileCount() > 1) PaintFrame(dc, client);
    }
    void OnLButtonDown(UINT, Point) override { m_pane.OnTileClicked(m_nIndex); }
    void OnLButtonDblClk(UINT, Point) override { m_pane.OnTileDoubleClicked(m_nIndex); }
    void OnDestroy() override {
        m_videoTarget.Detach();
        CWnd::OnDestroy();
    }

private:
    static QRect ToQRect(const Rect& rect) { return QRect(rect.left, rect.top, rect.Width(), rect.Height()); }

    void PaintNoRecording(QPainter& dc, const Rect& client) {
        dc.fillRect(ToQRect(client), Qt::black);
        dc.setPen(kLabelText);
        dc.setFont(MakePixelFont(QStringLiteral("sans-serif"), kMarkFontPx, 0, 400));
        dc.drawText(ToQRect(client), Qt::AlignCenter, QString::fromLatin1(kNoRecordingMark));
    }
    void PaintLabel(QPainter& dc, const Rect& client) {
        if (m_strLabel.isEmpty()) return;
        dc.setFont(MakePixelFont(QStringLiteral("sans-serif"), kLabelFontPx, 0, 400));
        const int textWidth = dc.fontMetrics().horizontalAdvance(m_strLabel);
        const QRect box(client.left + kFrameWidth, client.top + kFrameWidth,
                        std::min(textWidth + 2 * kLabelPadding, client.Width() - 2 * kFrameWidth), kLabelHeight);
        dc.fillRect(box, kLabelBackground);
        dc.setPen(kLabelText);
        dc.drawText(box.adjusted(kLabelPadding, 0, -kLabelPadding, 0), Qt::AlignLeft | Qt::AlignVCenter, m_strLabel);
    }
    void PaintFrame(QPainter& dc, const Rect& client) {
        QPen pen(kFrameColour);
        pen.setWidth(kFrameWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        dc.setPen(pen);
        dc.setBrush(Qt::NoBrush);
        const int inset = kFrameWidth / 2;
        dc.drawRect(QRect(client.left + inset, client.top + inset, client.Width() - kFrameWidth,
                          client.Height() - kFrameWidth));
    }

    CGridPane& m_pane;
    const int m_nIndex;
    WindowVideoTarget m_videoTarget;
    QString m_strLabel;
    bool m_bSelected = false;
    bool m_bHasFootage = true;
};

CGridPane::CGridPane(SelectHandler onSelect) : m_onSelect(std::move(onSelect)) {}

CGridPane::~CGridPane() {
    if (m_pVideoPane) m_pVideoPane->removeEventFilter(this);
    DestroyWindow();
}

bool CGridPane::Create(CWnd& videoPane, int tileCount) {
    Rect client;
    videoPane.GetClientRect(&client);
    if (!CreateEx(&videoPane, client, WS_CHILD | WS_VISIBLE, 0)) return false;
    m_pVideoPane = &videoPane;
    videoPane.installEventFilter(this);
    const int count = std::min(tileCount, kMaxGridTiles);
    for (int i = 0; i < count; ++i) {
        auto tile = std::make_unique<CGridTile>(*this, i);
        if (!tile->CreateEx(this, Rect{}, WS_CHILD | WS_VISIBLE, 0)) return false;
        tile->AttachTarget();
        m_tiles.push_back(std::move(tile));
    }
    Select(0);
    PlaceTiles();
    return true;
}

WindowHandle CGridPane::TileHandle(int index) const {
    if (index < 0 || index >= TileCount()) return nullptr;
    return m_tiles[static_cast<size_t>(index)]->GetSafeHwnd();
}

void CGridPane::SetTileLabel(int index, const QString& label) {
    if (index >= 0 && index < TileCount()) m_tiles[static_cast<size_t>(index)]->SetLabel(label);
}

void CGridPane::SetTileFootage(int index, bool hasFootage) {
    if (index >= 0 && index < TileCount()) m_tiles[static_cast<size_t>(index)]->SetFootage(hasFootage);
}

bool CGridPane::TileHasFootage(int index) const {
    return index >= 0 && index < TileCount() && m_tiles[static_cast<size_t>(index)]->HasFootage();
}

void CGridPane::Select(int index) {
    if (index < 0 || index >= TileCount()) return;
    m_nSelected = index;
    for (int i = 0; i < TileCount(); ++i) m_tiles[static_cast<size_t>(i)]->SetSelected(i == index);
}

void CGridPane::ToggleSelectedAlone() {
    m_bAlone = !m_bAlone;
    PlaceTiles();
}

Rect CGridPane::TileScreenRect(int index) const {
    if (index < 0 || index >= TileCount()) return Rect{};
    Rect rect;
    m_tiles[static_cast<size_t>(index)]->GetWindowRect(&rect);
    return rect;
}

void CGridPane::OnTileClicked(int index) {
    if (index == m_nSelected) return;
    Select(index);
    if (m_onSelect) m_onSelect(index);
}

// The first click of the pair has selected the tile already.
void CGridPane::OnTileDoubleClicked(int index) {
    OnTileClicked(index);
    ToggleSelectedAlone();
}

void CGridPane::OnSize(UINT type, int width, int height) {
    CWnd::OnSize(type, width, height);
    PlaceTiles();
}

BOOL CGridPane::OnEraseBkgnd(QPainter& dc) {
    dc.fillRect(rect(), Qt::black);
    return TRUE;
}

void CGridPane::OnDestroy() {
    for (auto& tile : m_tiles) tile->DestroyWindow();
    CWnd::OnDestroy();
}

bool CGridPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pVideoPane && event->type() == QEvent::Resize) FollowVideoPane();
    return CWnd::eventFilter(watched, event);
}

void CGridPane::FollowVideoPane() {
    if (!m_pVideoPane || !GetSafeHwnd()) return;
    Rect client;
    m_pVideoPane->GetClientRect(&client);
    MoveWindow(client, TRUE);
}

void CGridPane::PlaceTiles() {
    Rect client;
    GetClientRect(&client);
    const std::vector<Rect> cells = GridCellRects(TileCount(), client);
    for (int i = 0; i < TileCount(); ++i) {
        CGridTile& tile = *m_tiles[static_cast<size_t>(i)];
        const bool shown = !m_bAlone || i == m_nSelected;
        if (shown) tile.MoveWindow(m_bAlone ? client : cells[static_cast<size_t>(i)], TRUE);
        tile.ShowWindow(shown ? SW_SHOW : SW_HIDE);
    }
}
