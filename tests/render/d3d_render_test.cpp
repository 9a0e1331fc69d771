#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/render/d3d_render.h"
#include "platform/offscreen_video_target.h"
#include "platform/recording_window.h"
#include "platform/sync.h"
#include "tests/render/test_pictures.h"

namespace {

using namespace render_test;
using platform::OffscreenVideoTarget;
using platform::Rect;

constexpr uint32_t kWaitMs = 5000;  // generous: only a broken renderer takes this long

template <typename Condition>
bool WaitUntil(Condition condition) {
    const uint64_t giveUpMs = platform::TickMs64() + kWaitMs;
    while (!condition()) {
        if (platform::TickMs64() > giveUpMs) return false;
        platform::Sleep(1);
    }
    return true;
}

// What the render thread presented, one entry per present, in order.
struct PresentLog {
    struct Entry {
        uint32_t tickMs;
        int red;  // red of the top-left pixel: tells grey pictures apart
    };

    void Attach(OffscreenVideoTarget& target) {
        target.SetPresentObserver([this](const platform::PresentedPicture& picture) {
            uint32_t pixel = 0;
            std::memcpy(&pixel, picture.pixels, sizeof pixel);
            std::lock_guard<std::mutex> lock(mutex);
            entries.push_back(Entry{platform::TickMs(), Unpack(pixel).r});
        });
    }
    std::vector<Entry> Entries() {
        std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }

    std::mutex mutex;
    std::vector<Entry> entries;
};

class RenderTest : public ::testing::Test {
protected:
    static constexpr int kPictureWidth = 64;
    static constexpr int kPictureHeight = 48;

    void StartRenderer(int width = kPictureWidth, int height = kPictureHeight) {
        ASSERT_EQ(render.Init(target.Handle()), 0);
        ASSERT_EQ(render.Start(width, height), 0);
    }
    int PushGrey(uint8_t luma, int64_t timestampMs) {
        FramePtr frame = MakeGreyFrame(kPictureWidth, kPictureHeight, luma);
        return render.PushFrame(frame.get(), kPictureWidth, kPictureHeight, timestampMs);
    }
    int PushQuadrants(int width, int height, int64_t timestampMs = 1) {
        FramePtr frame = MakeFrame(width, height, [&](int x, int y) { return QuadrantColour(x, y, width, height); });
        return render.PushFrame(frame.get(), width, height, timestampMs);
    }

    // Declared before the renderer, so the renderer (and its thread) goes first.
    OffscreenVideoTarget target{320, 240};
    PresentLog log;
    CD3DRender render;
};

void ExpectQuadrantsPresented(const platform::PresentedPixels& picture) {
    const int w = picture.width;
    const int h = picture.height;
    const struct {
        const char* name;
        int x, y;
        Rgb colour;
    } probes[] = {
        {"top left is red", w / 4, h / 4, {255, 0, 0}},
        {"top right is green", 3 * w / 4, h / 4, {0, 255, 0}},
        {"bottom left is blue", w / 4, 3 * h / 4, {0, 0, 255}},
        {"bottom right is white", 3 * w / 4, 3 * h / 4, {255, 255, 255}},
    };
    for (const auto& probe : probes) {
        const uint32_t pixel = picture.At(probe.x, probe.y);
        EXPECT_EQ(pixel >> 24, 0xFFu) << probe.name << ": opaque";
        const Rgb actual = Unpack(pixel);
        EXPECT_TRUE(Near(actual, probe.colour, 24))
            << probe.name << ": got " << actual.r << "," << actual.g << "," << actual.b;
    }
}

TEST_F(RenderTest, PresentsIntoTheCentredRectangleAndFollowsClientResizes) {
    target.SetClientSize(1000, 1000);
    StartRenderer(1280, 720);
    ASSERT_EQ(PushQuadrants(1280, 720), 1);
    ASSERT_TRUE(target.WaitForPresentCount(1, kWaitMs));
    EXPECT_EQ(target.LastDestRect(), (Rect{0, 219, 1000, 781}));
    EXPECT_EQ(target.LastPicture().width, 1000);
    EXPECT_EQ(target.LastPicture().height, 562);

    target.SetClientSize(1000, 500);
    ASSERT_EQ(PushQuadrants(1280, 720), 1);
    ASSERT_TRUE(target.WaitForPresentCount(2, kWaitMs));
    EXPECT_EQ(target.LastDestRect(), (Rect{56, 0, 944, 500}));
}

struct PixelCase {
    const char* name;
    int width, height;     // picture
    int clientW, clientH;  // target
    int alignBytes;        // row alignment of the pushed frame
};

TEST_F(RenderTest, PresentedPixelsMatchThePushedPicture) {
    const PixelCase cases[] = {
        {"same size", 64, 48, 64, 48, 1},
        {"odd sizes", 33, 17, 33, 17, 1},
        {"frame rows longer than the picture", 40, 30, 40, 30, 64},
        {"scaled up", 64, 48, 160, 120, 1},
        {"scaled down", 64, 48, 32, 24, 1},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.name);
        OffscreenVideoTarget window(c.clientW, c.clientH);
        CD3DRender renderer;
        ASSERT_EQ(renderer.Init(window.Handle()), 0);
        ASSERT_EQ(renderer.Start(c.width, c.height), 0);
        FramePtr frame = MakeFrame(
            c.width, c.height, [&](int x, int y) { return QuadrantColour(x, y, c.width, c.height); }, c.alignBytes);
        ASSERT_EQ(renderer.PushFrame(frame.get(), c.width, c.height, 1), 1);
        frame.reset();  // the renderer has its own copy once PushFrame returns
        ASSERT_TRUE(window.WaitForPresentCount(1, kWaitMs));
        EXPECT_EQ(window.LastDestRect(), (Rect{0, 0, c.clientW, c.clientH}));
        ExpectQuadrantsPresented(window.LastPicture());
    }
}

TEST_F(RenderTest, PictureOfAnotherSizeIsShownAtItsOwnSizeUndistorted) {
    target.SetClientSize(200, 200);
    StartRenderer(64, 48);
    const struct {
        int width, height;
        Rect dest;
    } pictures[] = {
        {64, 48, {0, 25, 200, 175}},
        {30, 60, {50, 0, 150, 200}},  // taller, and smaller than Start's
        {128, 96, {0, 25, 200, 175}},  // larger than Start's
        {64, 48, {0, 25, 200, 175}},
    };
    uint64_t presented = 0;
    for (const auto& picture : pictures) {
        SCOPED_TRACE(::testing::Message() << picture.width << "x" << picture.height);
        ASSERT_EQ(PushQuadrants(picture.width, picture.height), 1);
        ASSERT_TRUE(target.WaitForPresentCount(++presented, kWaitMs));
        EXPECT_EQ(target.LastDestRect(), picture.dest);
        ExpectQuadrantsPresented(target.LastPicture());
    }
}

TEST_F(RenderTest, PicturesComeOutInPushOrderAndNoneIsDroppedForLateness) {
    const struct {
        const char* name;
        int64_t firstMs;
        int64_t stepMs;
        uint32_t pauseAfterFirstMs;  // lets the clock run ahead of the stamps that follow
    } schemes[] = {
        {"the same stamp for every picture", 1, 0, 0},
        {"stamps long behind the clock", 0, 1, 300},
        {"negative stamps", -5000, -10, 0},
    };
    log.Attach(target);
    StartRenderer();
    constexpr int kPictures = 24;
    for (const auto& scheme : schemes) {
        SCOPED_TRACE(scheme.name);
        render.Flush();  // each scheme starts on a fresh clock
        const size_t before = log.Entries().size();
        for (int i = 0; i < kPictures; ++i) {
            ASSERT_EQ(PushGrey(static_cast<uint8_t>(20 + 8 * i), scheme.firstMs + scheme.stepMs * i), 1);
            if (i == 0) platform::Sleep(scheme.pauseAfterFirstMs);
        }
        ASSERT_TRUE(target.WaitForPresentCount(before + kPictures, kWaitMs));
        const std::vector<PresentLog::Entry> entries = log.Entries();
        ASSERT_EQ(entries.size(), before + kPictures);
        for (size_t i = before + 1; i < entries.size(); ++i) EXPECT_GT(entries[i].red, entries[i - 1].red);
    }
}

std::vector<uint32_t> PresentTicks(PresentLog& log) {
    std::vector<uint32_t> ticks;
    for (const PresentLog::Entry& entry : log.Entries()) ticks.push_back(entry.tickMs);
    return ticks;
}

// A window that paints later than the renderer presents: at normal speed the next picture waits
// for the paint of the last, so none is replaced unseen.
TEST_F(RenderTest, NextPictureWaitsForTheWindowToPaintTheLast) {
    target.SetPaintsOnDemand(true);
    StartRenderer();
    ASSERT_EQ(PushGrey(60, 1), 1);
    ASSERT_TRUE(target.WaitForPresentCount(1, kWaitMs));
    uint64_t presented = 1;
    for (uint8_t luma : {120, 180}) {
        ASSERT_EQ(PushGrey(luma, 1), 1);
        ASSERT_TRUE(WaitUntil([&] { return render.PaintWaitCount() >= presented; })) << "picture " << presented;
        target.PaintNow();
        ASSERT_TRUE(target.WaitForPresentCount(++presented, kWaitMs));
    }
    // Counted by the render thread once the present has returned.
    EXPECT_TRUE(WaitUntil([&] { return render.PresentCount() == 3; }));
    EXPECT_GE(render.PresentationDelayMs(), 0);
}

TEST_F(RenderTest, PacesPicturesByTheirTimeStamps) {
    log.Attach(target);
    StartRenderer();
    // Picture k is presented no earlier than 8 ms before picture k - 1's time, counted from the
    // clock's base. The base is taken with the first picture, so no earlier than the moment
    // before it was pushed, however late a loaded machine presents the first one.
    const uint32_t beforeFirstMs = platform::TickMs();
    for (int i = 0; i < 10; ++i) ASSERT_EQ(PushGrey(100, 40 * i), 1);
    ASSERT_TRUE(target.WaitForPresentCount(10, kWaitMs));
    const std::vector<uint32_t> ticks = PresentTicks(log);
    constexpr int64_t kTickResolutionMs = 2;
    for (size_t k = 2; k < ticks.size(); ++k) {
        const int64_t earliestMs = 40 * static_cast<int64_t>(k - 1) - 8 - kTickResolutionMs;
        EXPECT_GE(static_cast<int64_t>(ticks[k] - beforeFirstMs), earliestMs) << "picture " << k;
    }
}

TEST_F(RenderTest, RepeatedTimeStampIsNotPacedAgain) {
    log.Attach(target);
    StartRenderer();
    for (int64_t stampMs : {0, 200, 200, 200, 200}) ASSERT_EQ(PushGrey(100, stampMs), 1);
    ASSERT_TRUE(target.WaitForPresentCount(5, kWaitMs));
    const std::vector<uint32_t> ticks = PresentTicks(log);
    EXPECT_GE(ticks[2] - ticks[0], 150u);
    // Were the repeats paced one after another, these would be 400 ms apart; a busy machine may
    // delay them some, never by that much.
    EXPECT_LT(ticks[4] - ticks[2], 380u);
}

TEST_F(RenderTest, FlushRebasesTheClockOnTheNextPicture) {
    log.Attach(target);
    StartRenderer();
    ASSERT_EQ(PushGrey(100, 0), 1);
    ASSERT_TRUE(target.WaitForPresentCount(1, kWaitMs));
    platform::Sleep(400);
    render.Flush();
    // On the old clock 300 ms lies in the past and nothing would wait; on the new one the third
    // picture comes about 292 ms after the first.
    for (int64_t stampMs : {0, 300, 300}) ASSERT_EQ(PushGrey(100, stampMs), 1);
    ASSERT_TRUE(target.WaitForPresentCount(4, kWaitMs));
    const std::vector<uint32_t> ticks = PresentTicks(log);
    EXPECT_GE(ticks[3] - ticks[1], 250u);
}

TEST_F(RenderTest, FlushAndStopEndALongPacingWait) {
    log.Attach(target);
    StartRenderer();
    constexpr int64_t kFarFutureMs = 100000000;
    ASSERT_EQ(PushGrey(100, 0), 1);
    ASSERT_EQ(PushGrey(110, kFarFutureMs), 1);
    ASSERT_TRUE(target.WaitForPresentCount(2, kWaitMs));
    render.Flush();
    ASSERT_EQ(PushGrey(120, 0), 1);
    EXPECT_TRUE(target.WaitForPresentCount(3, kWaitMs));

    ASSERT_EQ(PushGrey(130, kFarFutureMs), 1);
    ASSERT_TRUE(target.WaitForPresentCount(4, kWaitMs));
    render.Stop();  // would never return if the wait ran on
    EXPECT_EQ(PushGrey(140, 0), 0);
}

TEST_F(RenderTest, StopReleasesAProducerWaitingForASlot) {
    StartRenderer();
    ASSERT_EQ(PushGrey(100, 0), 1);
    ASSERT_EQ(PushGrey(100, 100000000), 1);  // the render thread now waits and keeps its slot
    ASSERT_TRUE(target.WaitForPresentCount(2, kWaitMs));
    int refused = -1;
    std::thread producer([&] {
        for (int i = 0; i < CD3DRender::kSlotCount + 1; ++i) {
            if (PushGrey(100, 0) == 0) {
                refused = i;
                return;
            }
        }
    });
    platform::Sleep(100);
    render.Stop();
    producer.join();
    EXPECT_GE(refused, 0);
}

TEST(RenderWithoutWindow, KeepsRunningWhenTheWindowGoesAwayAndDropsPictures) {
    auto window = std::make_unique<OffscreenVideoTarget>(64, 48);
    CD3DRender renderer;
    ASSERT_EQ(renderer.Init(window->Handle()), 0);
    ASSERT_EQ(renderer.Start(64, 48), 0);
    FramePtr frame = MakeGreyFrame(64, 48, 100);
    ASSERT_EQ(renderer.PushFrame(frame.get(), 64, 48, 1), 1);
    ASSERT_TRUE(window->WaitForPresentCount(1, kWaitMs));

    window.reset();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(renderer.PushFrame(frame.get(), 64, 48, 1), 1);
    renderer.Flush();
    renderer.Stop();
}

TEST(RenderLifetime, WindowShowsTheLastPictureUntilItsRendererIsDestroyed) {
    OffscreenVideoTarget window(64, 48);
    {
        CD3DRender renderer;
        ASSERT_EQ(renderer.Init(window.Handle()), 0);
        ASSERT_EQ(renderer.Start(64, 48), 0);
        FramePtr frame = MakeGreyFrame(64, 48, 100);
        ASSERT_EQ(renderer.PushFrame(frame.get(), 64, 48, 1), 1);
        ASSERT_TRUE(window.WaitForPresentCount(1, kWaitMs));
        renderer.Flush();
        renderer.Stop();
        EXPECT_EQ(window.LastPicture().width, 64) << "a stopped renderer's last picture stays";
    }
    EXPECT_EQ(window.LastPicture().width, 0);
    EXPECT_TRUE(window.LastPicture().bytes.empty());
}

enum class Loss { Hidden, Minimised, ZeroSize };

void LoseTarget(OffscreenVideoTarget& target, Loss loss) {
    switch (loss) {
        case Loss::Hidden: target.SetVisible(false); break;
        case Loss::Minimised: target.SetMinimised(true); break;
        case Loss::ZeroSize: target.SetClientSize(0, 0); break;
    }
}

void RestoreTarget(OffscreenVideoTarget& target) {
    target.SetVisible(true);
    target.SetMinimised(false);
    target.SetClientSize(320, 240);
}

class LostTargetTest : public RenderTest, public ::testing::WithParamInterface<Loss> {};

TEST_P(LostTargetTest, DropsPicturesAndResumesAfterRecreation) {
    log.Attach(target);
    StartRenderer();
    ASSERT_EQ(PushGrey(50, 1), 1);
    ASSERT_TRUE(target.WaitForPresentCount(1, kWaitMs));

    LoseTarget(target, GetParam());
    // More pictures than there are slots: each one dropped frees its slot for the next.
    for (int i = 0; i < 20; ++i) ASSERT_EQ(PushGrey(100, 1), 1);
    platform::Sleep(300);
    EXPECT_EQ(target.PresentCount(), 1u);

    RestoreTarget(target);
    ASSERT_EQ(PushGrey(200, 1), 1);
    ASSERT_TRUE(target.WaitForPresentCount(2, kWaitMs));
    // The dropped pictures stay dropped: the next one shown is the one pushed after the loss.
    const std::vector<PresentLog::Entry> entries = log.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_GT(entries[1].red, 200);
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfLoss, LostTargetTest,
                         ::testing::Values(Loss::Hidden, Loss::Minimised, Loss::ZeroSize),
                         [](const ::testing::TestParamInfo<Loss>& info) {
                             switch (info.param) {
                                 case Loss::Hidden: return "Hidden";
                                 case Loss::Minimised: return "Minimised";
                                 case Loss::ZeroSize: return "ZeroSize";
                             }
                             return "Unknown";
                         });

TEST_F(RenderTest, InitRefusesAWindowThatIsNoVideoTarget) {
    platform::RecordingWindow plainWindow;
    EXPECT_EQ(render.Init(nullptr), CD3DRender::kEFail);
    EXPECT_EQ(render.Init(plainWindow.Handle()), CD3DRender::kEFail);
    EXPECT_EQ(render.Init(reinterpret_cast<platform::WindowHandle>(uintptr_t{0xdead0})), CD3DRender::kEFail);
    EXPECT_LT(CD3DRender::kEFail, 0);
}

TEST_F(RenderTest, PushAfterAFailedStartReturnsZeroAtOnce) {
    const struct {
        const char* name;
        bool init;
        uint32_t width, height;
    } failures[] = {
        {"no Init", false, 64, 48},
        {"zero width", true, 0, 48},
        {"size beyond any picture", true, 1u << 20, 1u << 20},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.name);
        CD3DRender renderer;
        if (failure.init) {
            ASSERT_EQ(renderer.Init(target.Handle()), 0);
        }
        EXPECT_EQ(renderer.Start(failure.width, failure.height), -1);
        FramePtr frame = MakeGreyFrame(64, 48, 100);
        // No render thread would ever free a slot: this must not wait for one.
        EXPECT_EQ(renderer.PushFrame(frame.get(), 64, 48, 1), 0);
    }
    EXPECT_EQ(target.PresentCount(), 0u);
}

TEST_F(RenderTest, RefusesPicturesItCannotReadSafely) {
    StartRenderer();
    const struct {
        const char* name;
        std::function<void(AVFrame&)> spoil;
        int width, height;
    } cases[] = {
        {"negative width", [](AVFrame&) {}, -64, 48},
        {"zero height", [](AVFrame&) {}, 64, 0},
        {"wider than the frame", [](AVFrame&) {}, 65, 48},
        {"taller than the frame", [](AVFrame&) {}, 64, 49},
        {"not planar 4:2:0", [](AVFrame& f) { f.format = AV_PIX_FMT_RGB24; }, 64, 48},
        {"missing plane", [](AVFrame& f) { f.data[2] = nullptr; }, 64, 48},
        {"line size shorter than a row", [](AVFrame& f) { f.linesize[1] = 8; }, 64, 48},
        {"rows beyond the frame's buffers", [](AVFrame& f) { f.width = f.height = 0; }, 64, 480},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FramePtr frame = MakeGreyFrame(64, 48, 100);
        c.spoil(*frame);
        EXPECT_EQ(render.PushFrame(frame.get(), c.width, c.height, 1), 0);
    }
    EXPECT_EQ(render.PushFrame(nullptr, 64, 48, 1), 0);

    ASSERT_EQ(PushGrey(100, 1), 1);
    EXPECT_TRUE(target.WaitForPresentCount(1, kWaitMs));
    EXPECT_EQ(target.PresentCount(), 1u);
}

TEST_F(RenderTest, FramesWithBottomUpRowsAreReadInTheirOwnOrder) {
    target.SetClientSize(64, 48);
    StartRenderer();
    FramePtr frame = MakeFrame(64, 48, [](int x, int y) { return QuadrantColour(x, 47 - y, 64, 48); });
    // Point every plane at its last row and walk upwards: the picture turns upside down.
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? 48 : 24;
        frame->data[plane] += (rows - 1) * frame->linesize[plane];
        frame->linesize[plane] = -frame->linesize[plane];
    }
    ASSERT_EQ(render.PushFrame(frame.get(), 64, 48, 1), 1);
    ASSERT_TRUE(target.WaitForPresentCount(1, kWaitMs));
    ExpectQuadrantsPresented(target.LastPicture());
}

}  // namespace
