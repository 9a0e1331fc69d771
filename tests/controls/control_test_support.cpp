#include "control_test_support.h"

#include <QDir>
#include <QWindow>
#include <gtest/gtest.h>

using namespace platform;

namespace control_test {
namespace {

constexpr MessageId kMarker = WM_USER + 0x3A1;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new qt_test::ApplicationEnvironment);

}  // namespace

void DoubleClickOnly(QWidget& target, QPoint point) {
    qt_test::SendMouse(target, QEvent::MouseButtonDblClick, point, Qt::LeftButton, Qt::LeftButton);
}

PictureFolder::PictureFolder() : m_previous(QDir::currentPath()) {
    QDir(m_dir.path()).mkpath(QStringLiteral("images"));
    QDir::setCurrent(m_dir.path());
}

PictureFolder::~PictureFolder() { QDir::setCurrent(m_previous); }

void PictureFolder::Write(const QString& name, const QImage& picture) const {
    picture.save(m_dir.filePath(QStringLiteral("images/") + name), "PNG");
}

void ShowOnScreen(CWnd& window) {
    Rect rect;
    window.GetWindowRect(&rect);
    window.MoveWindow(0, 0, rect.Width(), rect.Height());
    window.ShowWindow(SW_SHOW);
    EXPECT_TRUE(PumpUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
}

QImage Solid(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor::fromRgba(colour));
    return image;
}

CommandRecorder::CommandRecorder() : CDialogEx(134) {}

LResult CommandRecorder::WindowProc(MessageId message, WParam wParam, LParam lParam) {
    if (message == kMarker) {
        m_bMarkerSeen = true;
        return 0;
    }
    if (message != WM_COMMAND) return CDialogEx::WindowProc(message, wParam, lParam);
    commands.push_back(Message{message, wParam, lParam});
    if (onCommand) onCommand();
    return 0;
}

bool CommandRecorder::Flush() {
    m_bMarkerSeen = false;
    if (!PostMessage(kMarker)) return false;
    return PumpUntil([this] { return m_bMarkerSeen; });
}

}  // namespace control_test
