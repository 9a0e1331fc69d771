#include "shell/black_window.h"

#include <QPainter>
#include <QRegion>
#include <QWindow>
#include <algorithm>

#include "platform/qt/draw_kit.h"
#include "platform/qt/fonts.h"
#include "platform/qt/system_pointer.h"

using namespace platform;

namespace {

constexpr int kButtonSize = 20;
constexpr int kIconSize = 24;
const QColor kPanelColour(0, 22, 30);

// An icon file holds several sizes: the one nearest above the icon box only ever shrinks a little.
std::unique_ptr<QImage> LoadFramePicture(const char* path) {
    return LoadPicture(QString::fromLatin1(path), kIconSize);
}

}  // namespace

CBlackWindow::CBlackWindow(UINT templateId, CWnd*) : CDialogEx(templateId, nullptr) {}

CBlackWindow::~CBlackWindow() {
    // The window goes first, so a move the poller is posting right now fails instead of waiting.
    DestroyWindow();
    m_bCaptionRun = 0;
    m_hCaptionThread.Join();
}

BOOL CBlackWindow::OnInitDialog() {
    CDialogEx::OnInitDialog();
    StartCaptionPoller();
    return TRUE;
}

void CBlackWindow::SetPointerQuery(std::shared_ptr<PointerQuery> query) {
    if (!m_hCaptionThread.IsStarted()) m_pPointer = std::move(query);
}

BOOL CBlackWindow::StartCaptionPoller() {
    if (m_hCaptionThread.IsStarted()) return FALSE;
    if (!m_pPointer) m_pPointer = SystemPointerQuery();
    // Where the compositor moves and resizes the window there is no pointer to follow.
    if (!m_pPointer->IsGlobal()) return TRUE;
    return m_hCaptionThread.Start([this] { CaptionPollThread(this); }) ? TRUE : FALSE;
}

bool CBlackWindow::PointerIsGlobal() {
    if (!m_pPointer) m_pPointer = SystemPointerQuery();
    return m_pPointer->IsGlobal();
}

BOOL CBlackWindow::CalcFrameRects(const Rect& client) {
    const int width = client.Width();
    const int height = client.Height();
    if (!GetSafeHwnd() || width < 1 || width > kMaxSize || height < 1 || height > kMaxSize) return FALSE;
    const int L = client.left, T = client.top, R = client.right, B = client.bottom;
    const int b = m_nBorder, h = m_nCaptionHeight;
    const int y0 = static_cast<int>(static_cast<unsigned>(h - kButtonSize) / 2u);
    const int iconTop = (h - kIconSize) / 2;

    m_rcContent = Rect{L + b, T + h, R - b, B - b};
    m_rcCloseButton = Rect{R - 30, y0, R - 10, y0 + kButtonSize};
    m_rcMaxButton = Rect{R - 51, y0, R - 31, y0 + kButtonSize};
    m_rcMinButton = Rect{R - 72, y0, R - 52, y0 + kButtonSize};
    m_rcCaption = Rect{L + 10, T + 4, R - 77, h};
    if (m_bShowIcon) m_rcIcon = Rect{L + 7, iconTop, L + 31, iconTop + kIconSize};
    m_rcTitle = m_bShowIcon ? Rect{L + 32, T, R - 88, h} : Rect{L + 7, T, R - 113, h};
    m_rcLeftEdge = Rect{L, T + 4, L + 4, B - 4};
    m_rcTopEdge = Rect{L + 4, T, R - 4, T + 4};
    m_rcBottomEdge = Rect{L + 4, B - 4, R - 4, B};
    m_rcRightEdge = Rect{R - 4, T + 4, R, B - 4};
    m_rcTopLeft = Rect{L, T, L + 3, T + 3};
    m_rcBottomLeft = Rect{L, B - 3, L + 3, B};
    m_rcTopRight = Rect{R - 3, T, R, T + 3};
    m_rcBottomRight = Rect{R - 3, B - 3, R, B};
    return TRUE;
}

BOOL CBlackWindow::LoadFrameImages() {
    m_pBackground = LoadFramePicture("pictures/background.png");
    m_pIconImage = LoadFramePicture("pictures/Orvex.ico");
    m_pCloseClick = LoadFramePicture("pictures/closeclick.png");
    m_pCloseHover = LoadFramePicture("pictures/closehover.png");
    m_pCloseNormal = LoadFramePicture("pictures/closenormal.png");
    m_pMaxClick = LoadFramePicture("pictures/maxclick.png");
    m_pMaxHover = LoadFramePicture("pictures/maxhover.png");
    m_pMaxNormal = LoadFramePicture("pictures/maxnormal.png");
    m_pMinClick = LoadFramePicture("pictures/minclick.png");
    m_pMinHover = LoadFramePicture("pictures/minhover.png");
    m_pMinNormal = LoadFramePicture("pictures/minnormal.png");
    m_pRestoreClick = LoadFramePicture("pictures/restoreclick.png");
    m_pRestoreHover = LoadFramePicture("pictures/restorehover.png");
    m_pRestoreNormal = LoadFramePicture("pictures/restorenormal.png");
    // A picture object always exists, possibly empty; an empty one draws nothing.
    m_bImagesLoaded = 1;
    return TRUE;
}

bool CBlackWindow::FrameCanPaint() {
    if (!m_bImagesLoaded && !LoadFrameImages()) return false;
    return GetSafeHwnd() && m_pBackground;
}

BOOL CBlackWindow::PaintFrame() {
    if (!FrameCanPaint()) return FALSE;
    if (isVisible()) repaint(QRegion(rect()).subtracted(QRegion(ToQRect(m_rcContent))));
    return TRUE;
}

void CBlackWindow::OnSize(UINT type, int width, int height) {
    CDialogEx::OnSize(type, width, height);
    Rect client;
    GetClientRect(&client);
    CalcFrameRects(client);
    PaintFrame();
}

void CBlackWindow::OnPaint(QPainter& dc) {
    if (!FrameCanPaint()) return;
    dc.setClipRegion(QRegion(rect()).subtracted(QRegion(ToQRect(m_rcContent))));
    // An undecodable background leaves the panel colour rather than whatever the buffer held.
    ComposeOffscreen(dc, size(), kPanelColour.rgb(), [this](QPainter& painter) { DrawFramePicture(painter); });
}

void CBlackWindow::DrawFramePicture(QPainter& painter) {
    Rect client;
    GetClientRect(&client);
    const int L = client.left, T = client.top, R = client.right, B = client.bottom, h = m_nCaptionHeight;
    const QImage& background = *m_pBackground;
    const int W = PictureSize(background).width(), H = PictureSize(background).height();
    if (W > 40) {
        // The strips are clipped to the picture: the body's nominal source runs one row past it.
        const Rect captionSource = ClipToPicture(Rect{20, 0, W - 20, 42}, background);
        const Rect bodySource = ClipToPicture(Rect{20, 43, W - 20, 43 + H - 42}, background);
        DrawImageRect(painter, background, Rect{L, T, R, T + h}, captionSource);
        DrawImageRect(painter, background, Rect{L, h, R, B - T}, bodySource);
    }
    if (m_bShowIcon) DrawImage(painter, m_pIconImage.get(), m_rcIcon);
    if (m_bShowTitle) {
        const QFont font = MakeFont(QString::fromUtf8("微软雅黑"), 11);
        painter.setFont(font);
        painter.setPen(QColor(255, 255, 255));
        // Laid-out strings keep a sixth of the em free at either side, as the platform's text
        // layout does, so the title does not touch the icon.
        const double margin = font.pixelSize() / 6.0;
        painter.drawText(QRectF(ToQRect(m_rcTitle)).adjusted(margin, 0, -margin, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, GetWindowText());
    }
    if (m_bShowMinButton) DrawButton(painter, m_rcMinButton, 0, m_nMinState);
    if (m_bShowMaxButton) DrawButton(painter, m_rcMaxButton, 1, m_nMaxState);
    if (m_bShowCloseButton) DrawButton(painter, m_rcCloseButton, 2, m_nCloseState);
}

void CBlackWindow::DrawButton(QPainter& painter, const Rect& rect, int which, int state) {
    DrawImage(painter, ButtonPicture(which, state), rect);
}

const QImage* CBlackWindow::ButtonPicture(int which, int state) const {
    const bool maximised = IsZoomed();
    const std::unique_ptr<QImage>* set[3][3] = {
        {&m_pMinNormal, &m_pMinClick, &m_pMinHover},
        {maximised ? &m_pRestoreNormal : &m_pMaxNormal, maximised ? &m_pRestoreClick : &m_pMaxClick,
         maximised ? &m_pRestoreHover : &m_pMaxHover},
        {&m_pCloseNormal, &m_pCloseClick, &m_pCloseHover},
    };
    if (which < 0 || which > 2 || state < 0 || state > 2) return nullptr;
    return set[which][state]->get();
}

// --- mouse ---------------------------------------------------------------------------------------

void CBlackWindow::OnMouseMove(UINT flags, Point point) {
    if (!PtInRect(m_rcContent, point)) {
        bool changed = false;
        auto follow = [&](int show, const Rect& rect, int& state) {
            if (!show) return;
            const int next = PtInRect(rect, point) ? 2 : 0;
            if (next != state) {
                state = next;
                changed = true;
            }
        };
        follow(m_bShowMinButton, m_rcMinButton, m_nMinState);
        follow(m_bShowMaxButton, m_rcMaxButton, m_nMaxState);
        follow(m_bShowCloseButton, m_rcCloseButton, m_nCloseState);
        if (changed) PaintFrame();
    }
    if (m_bResizable) SetSizingCursor(point);
    CDialogEx::OnMouseMove(flags, point);
}

bool CBlackWindow::SetSizingCursor(Point point) {
    if (PtInRect(m_rcLeftEdge, point) || PtInRect(m_rcRightEdge, point)) SetCursor(Qt::SizeHorCursor);
    else if (PtInRect(m_rcTopEdge, point) || PtInRect(m_rcBottomEdge, point)) SetCursor(Qt::SizeVerCursor);
    else if (PtInRect(m_rcTopLeft, point) || PtInRect(m_rcBottomRight, point)) SetCursor(Qt::SizeFDiagCursor);
    else if (PtInRect(m_rcBottomLeft, point) || PtInRect(m_rcTopRight, point)) SetCursor(Qt::SizeBDiagCursor);
    else return false;
    return true;
}

void CBlackWindow::OnLButtonDown(UINT flags, Point point) {
    bool buttonHit = false;
    auto press = [&](int show, const Rect& rect, int& state) {
        if (show && PtInRect(rect, point)) {
            state = 1;
            buttonHit = true;
        }
    };
    press(m_bShowMinButton, m_rcMinButton, m_nMinState);
    press(m_bShowMaxButton, m_rcMaxButton, m_nMaxState);
    press(m_bShowCloseButton, m_rcCloseButton, m_nCloseState);
    StartGesture(point);
    if (PtInRect(m_rcCaption, point)) m_bCaptionDrag = 1;
    if (m_bResizable && SetSizingCursor(point)) RaiseSizingFlags(point);
    if (!PointerIsGlobal()) HandToCompositor();
    if (buttonHit) PaintFrame();
    // The frame keeps the release even off itself, so a caption drag always learns that it ended.
    SetCapture();
    CDialogEx::OnLButtonDown(flags, point);
}

// The edges of an earlier gesture whose release the poller missed must not act on this one.
void CBlackWindow::StartGesture(Point point) {
    ClearSizing();
    Point screen = point;
    ClientToScreen(&screen);
    m_nPressX = screen.x;
    m_nPressY = screen.y;
    m_bNewGesture = 1;
}

bool CBlackWindow::RaiseSizingFlags(Point point) {
    bool any = false;
    auto raise = [&](const Rect& zone, std::atomic<int>& flag) {
        if (PtInRect(zone, point)) {
            flag = 1;
            any = true;
        }
    };
    raise(m_rcLeftEdge, m_bSizeLeft);
    raise(m_rcRightEdge, m_bSizeRight);
    raise(m_rcTopEdge, m_bSizeTop);
    raise(m_rcBottomEdge, m_bSizeBottom);
    raise(m_rcTopLeft, m_bSizeTopLeft);
    raise(m_rcBottomRight, m_bSizeBottomRight);
    raise(m_rcBottomLeft, m_bSizeBottomLeft);
    raise(m_rcTopRight, m_bSizeTopRight);
    return any;
}

// Without a global pointer the poller cannot follow a drag: the compositor moves or resizes the
// window interactively instead, and the flags are dropped so the poller stays out of it.
void CBlackWindow::HandToCompositor() {
    QWindow* window = windowHandle();
    const SizingEdges sizing = CurrentSizing();
    if (m_bCaptionDrag && m_bMovable && window) window->startSystemMove();
    m_bCaptionDrag = 0;
    if (!m_bResizable || !window) {
        ClearSizing();
        return;
    }
    Qt::Edges edges;
    if (sizing.left || sizing.topLeft || sizing.bottomLeft) edges |= Qt::LeftEdge;
    if (sizing.right || sizing.topRight || sizing.bottomRight) edges |= Qt::RightEdge;
    if (sizing.top || sizing.topLeft || sizing.topRight) edges |= Qt::TopEdge;
    if (sizing.bottom || sizing.bottomLeft || sizing.bottomRight) edges |= Qt::BottomEdge;
    if (edges) window->startSystemResize(edges);
    ClearSizing();
}

void CBlackWindow::OnLButtonUp(UINT flags, Point point) {
    if (PtInRect(m_rcMinButton, point) && m_nMinState == 1) {
        m_nMinState = 0;
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
    }
    if (PtInRect(m_rcMaxButton, point) && m_nMaxState == 1) {
        m_nMaxState = 0;
        SendMessage(WM_SYSCOMMAND, IsZoomed() ? SC_RESTORE : SC_MAXIMIZE);
    }
    if (PtInRect(m_rcCloseButton, point) && m_nCloseState == 1) {
        m_nCloseState = 0;
        SendMessage(WM_SYSCOMMAND, SC_CLOSE);
    }
    m_bCaptionDrag = 0;
    ReleaseCapture();
    CDialogEx::OnLButtonUp(flags, point);
}

void CBlackWindow::OnLButtonDblClk(UINT flags, Point point) {
    if (PtInRect(m_rcCaption, point)) {
        if (IsZoomed()) SendMessage(WM_SYSCOMMAND, SC_RESTORE);
        else SendMessage(WM_SYSCOMMAND, m_bResizable ? SC_MAXIMIZE : SC_RESTORE);
    }
    CDialogEx::OnLButtonDblClk(flags, point);
}

void CBlackWindow::OnMouseLeave() {
    m_bCaptionDrag = 0;
    CDialogEx::OnMouseLeave();
}
