#include "platform/qt/window_video_target.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "platform/qt/draw_kit.h"
#include "platform/qt/posted_window_calls.h"
#include "platform/qt/wnd.h"

namespace platform {
namespace {

bool ChangesUsability(QEvent::Type type) {
    switch (type) {
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
    case QEvent::ParentChange:
    case QEvent::ScreenChangeInternal:
        return true;
    default:
        return false;
    }
}

// Copies rows into `image`, re-using its buffer when the size is unchanged so that a steady
// stream of pictures allocates nothing.
void CopyPicture(const PresentedPicture& picture, QImage& image) {
    const QSize size(picture.width, picture.height);
    if (image.size() != size || image.format() != QImage::Format_RGB32)
        image = QImage(size, QImage::Format_RGB32);
    if (image.isNull()) return;
    const size_t rowBytes = static_cast<size_t>(picture.width) * 4;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image.scanLine(y), picture.pixels + static_cast<size_t>(y) * picture.strideBytes, rowBytes);
}

// The pane's size in the screen's own pixels, which is what the renderer scales pictures to.
Rect DevicePixels(const Rect& logical, qreal ratio) {
    return Rect{0, 0, qRound(logical.Width() * ratio), qRound(logical.Height() * ratio)};
}

// Where a picture made for another pane size goes in this one: as large as fits, centred.
Rect FitKeepingAspect(const QSize& picture, const Rect& client) {
    if (picture.isEmpty() || client.IsEmpty()) return client;
    const double scale =
        std::min(double(client.Width()) / picture.width(), double(client.Height()) / picture.height());
    const int width = qRound(picture.width() * scale), height = qRound(picture.height() * scale);
    const int left = client.left + (client.Width() - width) / 2, top = client.top + (client.Height() - height) / 2;
    return Rect{left, top, left + width, top + height};
}

bool IsWellFormed(const PresentedPicture& picture) {
    return picture.pixels && picture.width > 0 && picture.height > 0 &&
           picture.strideBytes >= static_cast<int64_t>(picture.width) * 4;
}

}  // namespace

WindowVideoTarget::WindowVideoTarget() = default;

WindowVideoTarget::~WindowVideoTarget() { Detach(); }

void WindowVideoTarget::Attach(CWnd* window) {
    Detach();
    if (!window || !window->GetSafeHwnd()) return;
    m_pWindow = window;
    m_hWindow = window->GetSafeHwnd();
    window->installEventFilter(this);
    WatchTopLevel();
    RefreshState();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hRepaint = m_hWindow;
    }
    RegisterVideoTarget(m_hWindow, this);
}

void WindowVideoTarget::Detach() {
    if (m_hWindow) UnregisterVideoTarget(m_hWindow);
    m_hWindow = nullptr;
    if (m_pWindow) m_pWindow->removeEventFilter(this);
    if (m_pTopLevel) m_pTopLevel->removeEventFilter(this);
    m_pWindow.clear();
    m_pTopLevel.clear();
    m_shown = QImage();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_picture = QImage();
    m_bNewPicture = true;
    m_bUnpainted = false;
    m_bUsable = false;
    m_rcClient = Rect{};
    m_hRepaint = nullptr;
}

void WindowVideoTarget::WatchTopLevel() {
    QWidget* topLevel = m_pWindow ? m_pWindow->window() : nullptr;
    if (topLevel == m_pTopLevel.data()) return;
    if (m_pTopLevel) m_pTopLevel->removeEventFilter(this);
    m_pTopLevel = topLevel;
    if (topLevel && topLevel != m_pWindow.data()) topLevel->installEventFilter(this);
}

void WindowVideoTarget::RefreshState() {
    Rect client;
    bool usable = false;
    if (m_pWindow && m_pWindow->GetSafeHwnd()) {
        m_pWindow->GetClientRect(&client);
        const QWidget* topLevel = m_pWindow->window();
        usable = m_pWindow->isVisible() && !topLevel->isMinimized() && !client.IsEmpty();
        m_ratio = m_pWindow->devicePixelRatioF();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rcClient = DevicePixels(client, m_ratio);
    m_bUsable = usable;
}

bool WindowVideoTarget::eventFilter(QObject* watched, QEvent* event) {
    if (ChangesUsability(event->type())) {
        // A window turned popup (full screen) and back has another top-level window to watch.
        if (event->type() == QEvent::ParentChange && watched == m_pWindow.data()) WatchTopLevel();
        RefreshState();
    }
    return QObject::eventFilter(watched, event);
}

void WindowVideoTarget::Paint(QPainter& dc, const Rect& client) {
    // A window moved to a screen of another density learns it here at the latest.
    if (m_pWindow && m_pWindow->devicePixelRatioF() != m_ratio) RefreshState();
    dc.fillRect(ToQRect(client), Qt::black);
    const bool newPicture = TakeNewestPicture();
    if (m_shown.isNull()) return;
    // The picture is already at the pane's device pixels: undoing the painter's scale draws it 1:1,
    // where the scale would stretch it and soften every edge.
    const qreal ratio = dc.device()->devicePixelRatioF();
    dc.save();
    dc.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio), true);
    // The destination is in device pixels too; a picture of its size is copied as it is. One made
    // for the pane's size before a resize (full screen while paused) is scaled to fit until the
    // renderer hands over one of the new size.
    const Rect current = DevicePixels(client, ratio);
    if (m_rcShownMadeFor == current) {
        dc.drawImage(ToQRect(m_rcShownDest), m_shown);
    } else {
        dc.setRenderHint(QPainter::SmoothPixmapTransform);
        dc.drawImage(ToQRect(FitKeepingAspect(m_shown.size(), current)), m_shown);
    }
    dc.restore();
    if (newPicture) NotePainted();
}

// Smoothed over about eight pictures: one slow paint does not swing the aim of the next ones.
void WindowVideoTarget::NotePainted() {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bUnpainted) return;
    m_bUnpainted = false;
    ++m_counts.painted;
    const int64_t sampleUs = std::chrono::duration_cast<std::chrono::microseconds>(now - m_presentedAt).count();
    int64_t& smoothedUs = m_counts.presentToPaintUs;
    smoothedUs = m_counts.painted == 1 ? sampleUs : smoothedUs + (sampleUs - smoothedUs) / 8;
}

// The picture is copied rather than shared: a QImage shared between the threads would be freed by
// whichever lets go last, outside any lock of ours.
// True when a picture not painted before was taken.
bool WindowVideoTarget::TakeNewestPicture() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bNewPicture) return false;
    m_bNewPicture = false;
    m_rcShownDest = m_rcDest;
    m_rcShownMadeFor = m_rcMadeFor;
    if (m_picture.isNull()) {
        m_shown = QImage();
        return false;
    }
    if (m_shown.size() != m_picture.size() || m_shown.format() != m_picture.format())
        m_shown = QImage(m_picture.size(), m_picture.format());
    if (m_shown.isNull()) return false;
    std::memcpy(m_shown.bits(), m_picture.constBits(), static_cast<size_t>(m_picture.sizeInBytes()));
    return m_bUnpainted;
}

Rect WindowVideoTarget::ClientRect() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rcClient;
}

bool WindowVideoTarget::IsUsable() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bUsable;
}

void WindowVideoTarget::Present(const PresentedPicture& picture) {
    if (!IsWellFormed(picture)) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        CopyPicture(picture, m_picture);
        m_rcDest = picture.dest;
        m_rcMadeFor = m_rcClient;
        m_bNewPicture = true;
        if (m_bUnpainted) ++m_counts.replacedUnpainted;
        m_bUnpainted = true;
        m_presentedAt = std::chrono::steady_clock::now();
        ++m_counts.presented;
    }
    PostRepaint();
}

bool WindowVideoTarget::HasPaintedLastPicture() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_bUnpainted;
}

int64_t WindowVideoTarget::PresentToPaintUs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counts.presentToPaintUs;
}

WindowVideoTarget::PaintCounts WindowVideoTarget::Counts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counts;
}

void WindowVideoTarget::ClearPresented() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_picture = QImage();
        m_rcDest = Rect{};
        m_bNewPicture = true;
        m_bUnpainted = false;  // nothing is waiting to be seen any more
    }
    PostRepaint();
}

void WindowVideoTarget::PostRepaint() {
    WindowHandle window;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        window = m_hRepaint;
    }
    // A window destroyed meanwhile takes nothing; the paint shows whatever picture is newest then.
    PostInvalidate(window);
}

}  // namespace platform
