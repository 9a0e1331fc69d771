// On a screen with more than one device pixel per logical pixel, the video pane shows a picture
// at the pane's device resolution, pixel for pixel, rather than at its logical size stretched.

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "engine/render/d3d_render.h"
#include "platform/qt/window_video_target.h"
#include "platform/qt/wnd.h"
#include "tests/qt_support/qt_test_support.h"
#include "tests/render/test_pictures.h"

using namespace platform;

namespace {

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new qt_test::ApplicationEnvironment);

class VideoWindow : public CWnd {
public:
    WindowVideoTarget target;

protected:
    BOOL OnEraseBkgnd(QPainter&) override { return TRUE; }
    void OnPaint(QPainter& dc) override {
        Rect client;
        GetClientRect(&client);
        target.Paint(dc, client);
    }
};

bool IsWhite(QRgb pixel) { return qRed(pixel) > 215 && qGreen(pixel) > 215 && qBlue(pixel) > 215; }
bool IsBlack(QRgb pixel) { return qRed(pixel) < 40 && qGreen(pixel) < 40 && qBlue(pixel) < 40; }

// The first pixel of `shown` that breaks a one-pixel checkerboard, as "x,y"; empty when none does.
std::string FirstBrokenChecker(const QImage& shown) {
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb pixel = shown.pixel(x, y);
            if ((x + y) % 2 == 0 ? !IsWhite(pixel) : !IsBlack(pixel))
                return std::to_string(x) + "," + std::to_string(y);
        }
    return {};
}

TEST(DevicePixels, OnePixelCheckerboardSurvivesPixelForPixel) {
    // The pane's origin sits on whole device pixels at 1.5 and 2 alike.
    constexpr int kPaneWidth = 160, kPaneHeight = 90, kFrameMargin = 10;
    CWnd frame;
    frame.CreateEx(nullptr, Rect{0, 0, kPaneWidth + 2 * kFrameMargin, kPaneHeight + 2 * kFrameMargin},
                   WS_POPUP | WS_VISIBLE, 0);
    VideoWindow video;
    video.CreateEx(&frame, Rect{kFrameMargin, kFrameMargin, kFrameMargin + kPaneWidth, kFrameMargin + kPaneHeight},
                   WS_CHILD | WS_VISIBLE, 0);
    video.target.Attach(&video);
    ASSERT_TRUE(qt_test::PumpUntil([&] { return video.target.IsUsable(); }));

    const qreal ratio = video.devicePixelRatioF();
    ASSERT_GT(ratio, 1.0) << "run with QT_SCALE_FACTOR above 1";
    const int width = qRound(kPaneWidth * ratio), height = qRound(kPaneHeight * ratio);
    EXPECT_EQ(video.target.ClientRect(), (Rect{0, 0, width, height}));

    CD3DRender renderer;
    ASSERT_EQ(renderer.Init(video.GetSafeHwnd()), 0);
    ASSERT_EQ(renderer.Start(width, height), 0);
    const auto checkerboard = render_test::MakeFrame(width, height, [](int x, int y) {
        return (x + y) % 2 == 0 ? render_test::Rgb{255, 255, 255} : render_test::Rgb{0, 0, 0};
    });
    ASSERT_EQ(renderer.PushFrame(checkerboard.get(), width, height, 1), 1);

    QImage shown;
    const bool sharp = qt_test::PumpUntil([&] {
        shown = video.grab().toImage().convertToFormat(QImage::Format_RGB32);
        return shown.size() == QSize(width, height) && FirstBrokenChecker(shown).empty();
    });
    renderer.Stop();
    qt_test::SaveShot(shown, QStringLiteral("checkerboard_at_%1").arg(ratio));
    ASSERT_EQ(shown.size(), QSize(width, height));
    EXPECT_TRUE(sharp) << "first broken pixel at " << FirstBrokenChecker(shown);
}

}  // namespace
