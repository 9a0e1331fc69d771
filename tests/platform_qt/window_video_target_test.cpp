// The video target of a real window: pictures handed in from the render thread reach the screen
// through a posted repaint, the renderer sees the window's size and state, and a hidden window is a
// lost device the renderer recovers from.

#include <QImage>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

#include "engine/render/d3d_render.h"
#include "platform/qt/window_video_target.h"
#include "platform/qt/wnd.h"
#include "test_pictures.h"
#include "window_test_support.h"

using namespace platform;
using window_test::PumpUntil;

namespace {

constexpr QRgb kBlack = 0xFF000000;

class VideoWindow : public CWnd {
public:
    WindowVideoTarget target;
    int paints = 0;

protected:
    BOOL OnEraseBkgnd(QPainter&) override { return TRUE; }
    void OnPaint(QPainter& dc) override {
        ++paints;
        Rect client;
        GetClientRect(&client);
        target.Paint(dc, client);
    }
};

// A top-level frame with the video window as its child, both shown.
struct VideoScene {
    CWnd frame;
    VideoWindow video;

    explicit VideoScene(int width = 320, int height = 240) {
        frame.CreateEx(nullptr, Rect{0, 0, width + 20, height + 20}, WS_POPUP | WS_VISIBLE, 0);
        video.CreateEx(&frame, Rect{10, 10, 10 + width, 10 + height}, WS_CHILD | WS_VISIBLE, 0);
        video.target.Attach(&video);
    }
    WindowHandle Handle() const { return video.GetSafeHwnd(); }
    QRgb PixelAt(int x, int y) { return video.grab().toImage().pixel(x, y) | 0xFF000000; }
};

// A solid picture handed over the way the presentation device does it: from another thread,
// through the registry.
void PresentFromAnotherThread(WindowHandle window, QRgb colour, const Rect& dest) {
    std::vector<uint32_t> pixels(static_cast<size_t>(dest.Width()) * dest.Height(), colour);
    const PresentedPicture picture{reinterpret_cast<const uint8_t*>(pixels.data()), dest.Width(), dest.Height(),
                                   dest.Width() * 4, dest};
    std::thread renderThread([&] {
        VideoTargetLease target(window);
        if (target) target->Present(picture);
    });
    renderThread.join();
}

void ClearFromAnotherThread(WindowHandle window) {
    std::thread closer([window] { ClearVideoTarget(window); });
    closer.join();
}

TEST(WindowVideoTarget, Threads_PicturesFromTheRenderThreadShowOnceTheEventLoopRunsAndClearShowsBlack) {
    VideoScene scene;
    ASSERT_TRUE(PumpUntil([&] { return scene.video.paints > 0; }));

    const int before = scene.video.paints;
    PresentFromAnotherThread(scene.Handle(), 0xFFFF0000, Rect{100, 50, 140, 80});
    ASSERT_TRUE(PumpUntil([&] { return scene.video.paints > before; }));
    EXPECT_EQ(scene.PixelAt(120, 60), 0xFFFF0000u);
    EXPECT_EQ(scene.PixelAt(99, 60), kBlack);   // outside the destination the background shows
    EXPECT_EQ(scene.PixelAt(120, 80), kBlack);

    const int beforeClear = scene.video.paints;
    ClearFromAnotherThread(scene.Handle());
    ASSERT_TRUE(PumpUntil([&] { return scene.video.paints > beforeClear; }));
    EXPECT_EQ(scene.PixelAt(120, 60), kBlack);
}

TEST(WindowVideoTarget, Threads_ManyPicturesBeforeTheLoopRunsShowTheLastOne) {
    VideoScene scene;
    const QRgb colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (QRgb colour : colours) PresentFromAnotherThread(scene.Handle(), colour, Rect{0, 0, 320, 240});
    ASSERT_TRUE(PumpUntil([&] { return scene.PixelAt(160, 120) == 0xFF0000FFu; }));
}

// Paused, no picture of the new size follows a resize (full screen): the last one fills the pane
// until one comes, rather than a corner of it.
TEST(WindowVideoTarget, PictureMadeBeforeAResizeIsScaledToTheNewSize) {
    VideoScene scene;
    PresentFromAnotherThread(scene.Handle(), 0xFFFF0000, Rect{0, 0, 320, 240});
    ASSERT_TRUE(PumpUntil([&] { return scene.PixelAt(160, 120) == 0xFFFF0000u; }));

    scene.frame.MoveWindow(Rect{0, 0, 660, 500}, TRUE);
    scene.video.MoveWindow(Rect{10, 10, 650, 490}, TRUE);
    EXPECT_TRUE(PumpUntil([&] { return scene.PixelAt(600, 440) == 0xFFFF0000u; }));
}

TEST(WindowVideoTarget, MalformedPicturesAreIgnored) {
    VideoScene scene;
    std::vector<uint32_t> pixels(16, 0xFFFFFFFF);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels.data());
    const PresentedPicture bad[] = {
        {nullptr, 4, 4, 16, Rect{0, 0, 4, 4}},  // no pixels
        {bytes, 0, 4, 16, Rect{0, 0, 4, 4}},    // no width
        {bytes, 4, -1, 16, Rect{0, 0, 4, 4}},   // negative height
        {bytes, 4, 4, 8, Rect{0, 0, 4, 4}},     // rows shorter than the width
    };
    for (const PresentedPicture& picture : bad) scene.video.target.Present(picture);
    window_test::PumpFor(20);
    EXPECT_EQ(scene.PixelAt(1, 1), kBlack);
}

TEST(WindowVideoTarget, ClientRectAndUsabilityFollowTheWindowAndItsFrame) {
    VideoScene scene;
    WindowVideoTarget& target = scene.video.target;
    ASSERT_TRUE(PumpUntil([&] { return target.IsUsable(); }));
    EXPECT_EQ(target.ClientRect(), (Rect{0, 0, 320, 240}));

    scene.video.MoveWindow(10, 10, 200, 100);
    EXPECT_EQ(target.ClientRect(), (Rect{0, 0, 200, 100}));

    scene.video.ShowWindow(SW_HIDE);
    EXPECT_FALSE(target.IsUsable());
    scene.video.ShowWindow(SW_SHOW);
    EXPECT_TRUE(target.IsUsable());

    // The child is not told that its frame was minimised: the target watches the frame itself.
    scene.frame.ShowWindow(SW_MINIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return !target.IsUsable(); }));
    scene.frame.ShowWindow(SW_RESTORE);
    ASSERT_TRUE(PumpUntil([&] { return target.IsUsable(); }));

    scene.frame.ShowWindow(SW_HIDE);
    EXPECT_FALSE(target.IsUsable());
    scene.frame.ShowWindow(SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return target.IsUsable(); }));

    scene.video.MoveWindow(10, 10, 0, 100);
    EXPECT_FALSE(target.IsUsable());
    EXPECT_EQ(target.ClientRect(), (Rect{0, 0, 0, 100}));
}

TEST(WindowVideoTarget, DetachUnregistersAndMayBeRepeated) {
    VideoScene scene;
    const WindowHandle handle = scene.Handle();
    EXPECT_TRUE(IsVideoTarget(handle));
    scene.video.target.Detach();
    EXPECT_FALSE(IsVideoTarget(handle));
    EXPECT_FALSE(scene.video.target.IsUsable());
    scene.video.target.Detach();

    // A target that goes away unregisters itself; one attached to no window registers nothing.
    auto separate = std::make_unique<WindowVideoTarget>();
    separate->Attach(&scene.video);
    EXPECT_TRUE(IsVideoTarget(handle));
    separate.reset();
    EXPECT_FALSE(IsVideoTarget(handle));

    VideoWindow notCreated;
    notCreated.target.Attach(&notCreated);
    notCreated.target.Attach(nullptr);
    EXPECT_FALSE(notCreated.target.IsUsable());
}

TEST(WindowVideoTarget, DestroyedWindowIsNoLongerUsable) {
    VideoScene scene;
    ASSERT_TRUE(PumpUntil([&] { return scene.video.target.IsUsable(); }));
    scene.video.DestroyWindow();
    EXPECT_FALSE(scene.video.target.IsUsable());
}

// The renderer of the engine, presenting into a real window.
class RendererInWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(renderer.Init(scene.Handle()), 0);
        ASSERT_EQ(renderer.Start(kPictureWidth, kPictureHeight), 0);
    }
    void TearDown() override {
        renderer.Flush();
        renderer.Stop();
    }
    void Push(const render_test::FramePtr& frame) {
        ASSERT_EQ(renderer.PushFrame(frame.get(), kPictureWidth, kPictureHeight, 1), 1);
    }
    render_test::Rgb Shown(int x, int y) { return render_test::Unpack(scene.PixelAt(x, y)); }

    static constexpr int kPictureWidth = 160;
    static constexpr int kPictureHeight = 90;
    VideoScene scene{400, 400};
    CD3DRender renderer;
};

TEST_F(RendererInWindow, Threads_PictureFillsTheWidthOfATallWindowKeepingItsShape) {
    Push(render_test::MakeFrame(kPictureWidth, kPictureHeight, [](int x, int y) {
        return render_test::QuadrantColour(x, y, kPictureWidth, kPictureHeight);
    }));
    // 160 x 90 in 400 x 400: 400 x 225, centred from y = 87 to 312.
    ASSERT_TRUE(PumpUntil([&] { return render_test::Near(Shown(100, 140), {255, 0, 0}, 24); }));
    EXPECT_TRUE(render_test::Near(Shown(300, 140), {0, 255, 0}, 24));
    EXPECT_TRUE(render_test::Near(Shown(100, 260), {0, 0, 255}, 24));
    EXPECT_TRUE(render_test::Near(Shown(300, 260), {255, 255, 255}, 24));
    EXPECT_EQ(scene.PixelAt(200, 85), kBlack);
    EXPECT_NE(scene.PixelAt(100, 89), kBlack);
    EXPECT_NE(scene.PixelAt(100, 310), kBlack);
    EXPECT_EQ(scene.PixelAt(200, 313), kBlack);
}

TEST_F(RendererInWindow, Threads_HiddenWindowDropsPicturesAndShowingItAgainResumes) {
    Push(render_test::MakeGreyFrame(kPictureWidth, kPictureHeight, 235));
    ASSERT_TRUE(PumpUntil([&] { return Shown(200, 200).r > 200; }));

    scene.video.ShowWindow(SW_HIDE);
    // While the window is hidden every picture is dropped, and the pusher is never held up.
    for (int i = 0; i < 8; ++i) Push(render_test::MakeGreyFrame(kPictureWidth, kPictureHeight, 16));

    scene.video.ShowWindow(SW_SHOW);
    const auto dark = render_test::MakeGreyFrame(kPictureWidth, kPictureHeight, 60);
    ASSERT_TRUE(PumpUntil([&] {
        Push(dark);
        const int level = Shown(200, 200).r;
        return level > 20 && level < 120;
    }));
}

}  // namespace
