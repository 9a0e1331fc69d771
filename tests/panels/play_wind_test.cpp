// The video pane: black until a picture is presented into it from the render thread, full screen
// only while allowed and back to its exact place, Esc, and the files dropped on it.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "panels/command_ids.h"
#include "panels/play_wind.h"
#include "panes_test_support.h"
#include "platform/video_target.h"

using namespace platform;
using panes_test::CommandRecorder;
using panes_test::PumpFor;
using panes_test::PumpUntil;

namespace {

class VideoPane : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pane.Create(IDD_PLAY_WIND, &panel));
        pane.MoveWindow(Rect{0, 39, 714, 570}, TRUE);
        pane.ShowWindow(SW_SHOW);
        panel.ShowWindow(SW_SHOW);
        panes_test::ShownMessages().clear();
    }

    QRgb PixelAt(int x, int y) { return pane.grab().toImage().pixel(x, y); }

    void Drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&pane, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&pane, &drop);
        shownDuringDrop = panes_test::ShownMessages().size();
        PumpFor(20);
    }

    size_t shownDuringDrop = 0;

    CommandRecorder panel;
    CPlayWind pane;
};

TEST_F(VideoPane, Threads_APicturePresentedFromAnotherThreadShowsOverBlack) {
    EXPECT_EQ(PixelAt(100, 100), qRgb(0, 0, 0));
    const WindowHandle handle = pane.GetSafeHwnd();
    ASSERT_TRUE(IsVideoTarget(handle));
    std::thread renderThread([handle] {
        std::vector<uint32_t> pixels(64 * 32, 0xFF20A040u);
        PresentedPicture picture;
        picture.pixels = reinterpret_cast<const uint8_t*>(pixels.data());
        picture.width = 64;
        picture.height = 32;
        picture.strideBytes = 64 * 4;
        picture.dest = Rect{100, 50, 300, 150};
        VideoTargetLease target(handle);
        if (target) target->Present(picture);
    });
    renderThread.join();
    ASSERT_TRUE(PumpUntil([&] { return PixelAt(200, 100) == qRgb(0x20, 0xA0, 0x40); }));
    EXPECT_EQ(PixelAt(99, 100), qRgb(0, 0, 0));

    std::thread([handle] { ClearVideoTarget(handle); }).join();
    ASSERT_TRUE(PumpUntil([&] { return PixelAt(200, 100) == qRgb(0, 0, 0); }));

    pane.DestroyWindow();
    EXPECT_FALSE(IsVideoTarget(handle));
}

TEST_F(VideoPane, FullScreenOnlyWhileAllowedAndBackToTheExactPlace) {
    const QRect childPlace = pane.geometry();
    QTest::mouseDClick(&pane, Qt::LeftButton, {}, QPoint(40, 40));
    pane.ToggleFullScreen();
    EXPECT_EQ(pane.m_bFullScreen, 0);  // nothing opened yet
    EXPECT_FALSE(pane.isWindow());

    pane.m_bFullScreenAllowed = 1;
    QTest::mouseDClick(&pane, Qt::LeftButton, {}, QPoint(40, 40));
    ASSERT_EQ(pane.m_bFullScreen, 1);
    EXPECT_TRUE(pane.isWindow());
    const Rect monitor = pane.GetMonitorRect();
    EXPECT_EQ(pane.geometry(), QRect(monitor.left, monitor.top, monitor.Width(), monitor.Height()));
    EXPECT_EQ(pane.m_rcRestore.Width(), childPlace.width());

    pane.m_bFullScreenAllowed = 0;  // the file ended: a double click no longer leaves
    QTest::mouseDClick(&pane, Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(pane.m_bFullScreen, 1);

    panes_test::KeyPress(pane, Qt::Key_Escape);  // Esc still does
    EXPECT_EQ(pane.m_bFullScreen, 0);
    EXPECT_FALSE(pane.isWindow());
    EXPECT_EQ(pane.geometry(), childPlace);
    EXPECT_TRUE(pane.IsWindowVisible());

    pane.m_bFullScreenAllowed = 1;
    pane.ToggleFullScreen();
    pane.ToggleFullScreen();
    EXPECT_EQ(pane.m_bFullScreen, 0);
    EXPECT_EQ(pane.geometry(), childPlace);
}

TEST_F(VideoPane, GoesWithTheMainPanelEvenInFullScreen) {
    const WindowHandle handle = pane.GetSafeHwnd();
    pane.m_bFullScreenAllowed = 1;
    pane.ToggleFullScreen();
    ASSERT_EQ(pane.m_bFullScreen, 1);
    panel.DestroyWindow();
    EXPECT_FALSE(pane.GetSafeHwnd());
    EXPECT_FALSE(IsVideoTarget(handle));
    PumpFor(10);
}

TEST_F(VideoPane, NeitherEscapeNorACloseRequestEndsIt) {
    panes_test::KeyPress(pane, Qt::Key_Escape);
    pane.SendMessage(WM_CLOSE);
    pane.m_bFullScreenAllowed = 1;
    pane.ToggleFullScreen();
    pane.close();  // the window system's close of the full-screen window
    PumpFor(10);
    EXPECT_TRUE(pane.GetSafeHwnd());
    EXPECT_TRUE(pane.IsWindowVisible());
    pane.SetFullScreen(FALSE);
}

TEST_F(VideoPane, OneDroppedVideoIsHandedToTheMainPanelWithItsFolder) {
    Drop({QUrl::fromLocalFile("/rec/cam1/a.mp4")});
    EXPECT_EQ(pane.m_strDropFile, "/rec/cam1/a.mp4");
    EXPECT_EQ(pane.m_strDropFolder, "/rec/cam1/");
    EXPECT_EQ(panel.received, (std::vector<WParam>{ID_PLAY_DROPPED_FILE}));
    EXPECT_TRUE(panes_test::ShownMessages().empty());

    Drop({QUrl::fromLocalFile("/srv/share/xavi")});
    EXPECT_EQ(pane.m_strDropFolder, "/srv/share/");
    EXPECT_EQ(panel.received.size(), 2u);

    // A path longer than the platform's 260 characters is taken whole, not cut to another file.
    const QString deep = "/rec/" + QString(300, QChar('d')) + "/clip.avi";
    Drop({QUrl::fromLocalFile(deep)});
    EXPECT_EQ(pane.m_strDropFile, deep);
    EXPECT_EQ(pane.m_strDropFolder, "/rec/" + QString(300, QChar('d')) + "/");
}

TEST_F(VideoPane, OtherDropsChangeNothingAndOnlyARefusedTypeSaysSo) {
    Drop({QUrl::fromLocalFile("/rec/a.AVI")});
    const struct {
        QList<QUrl> urls;
        bool message;
    } cases[] = {
        {{QUrl::fromLocalFile("/rec/clip.Avi")}, true},
        {{QUrl::fromLocalFile("/rec/clip.mov")}, true},
        {{QUrl::fromLocalFile("/rec/cam1")}, true},
        {{QUrl::fromLocalFile("/rec/a.avi"), QUrl::fromLocalFile("/rec/b.avi")}, false},
        {{QUrl("https://example.org/a.avi")}, false},
    };
    for (const auto& c : cases) {
        panes_test::ShownMessages().clear();
        Drop(c.urls);
        EXPECT_EQ(pane.m_strDropFile, "/rec/a.AVI");
        EXPECT_EQ(pane.m_strDropFolder, "/rec/");
        EXPECT_EQ(panel.received.size(), 1u);
        EXPECT_EQ(panes_test::ShownMessages(), c.message ? std::vector<QString>{QString()} : std::vector<QString>{});
        // The program the file came from waits for the drop to end: the box comes after it.
        EXPECT_EQ(shownDuringDrop, 0u);
    }
}

// mkv as the open dialog takes it, and a recording of any name, known by the test the main panel
// hands in.
TEST_F(VideoPane, AnMkvAndARecordingOfAnyNameAreHandedOn) {
    pane.m_isRecording = [](const QString& path) { return path == QStringLiteral("/rec/cam1/0001.dat"); };
    const struct {
        const char* path;
        bool taken;
    } cases[] = {{"/rec/cam1/clip.mkv", true}, {"/rec/cam1/0001.dat", true}, {"/rec/cam1/0002.dat", false}};
    for (const auto& c : cases) {
        panel.received.clear();
        panes_test::ShownMessages().clear();
        Drop({QUrl::fromLocalFile(QString::fromLatin1(c.path))});
        EXPECT_EQ(panel.received.size(), c.taken ? 1u : 0u) << c.path;
        EXPECT_EQ(panes_test::ShownMessages().size(), c.taken ? 0u : 1u) << c.path;
    }
}

}  // namespace

namespace {

constexpr UINT kMainDialogTemplate = 102;

// The main dialog runs modally, as it does in the player: the full-screen pane must still take the
// double click and Esc from the window system.
TEST(VideoPaneUnderModalDialog, EntersByDoubleClickLeavesByEscapeAndReturnsToItsPlace) {
    CDialogEx mainDialog(kMainDialogTemplate);
    CPlayWind pane;
    QRect childPlace;
    bool stepsRan = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(pane.Create(IDD_PLAY_WIND, &mainDialog));
        pane.MoveWindow(Rect{3, 42, 717, 573}, TRUE);
        pane.ShowWindow(SW_SHOW);
        childPlace = pane.geometry();
        pane.m_bFullScreenAllowed = 1;

        QTest::mouseDClick(&pane, Qt::LeftButton, {}, QPoint(40, 40));
        ASSERT_EQ(pane.m_bFullScreen, 1);
        ASSERT_NE(pane.windowHandle(), nullptr);
        QTest::keyClick(pane.windowHandle(), Qt::Key_Escape);
        EXPECT_TRUE(PumpUntil([&] { return pane.m_bFullScreen == 0; }));
        EXPECT_EQ(pane.geometry(), childPlace);

        QTest::mouseDClick(&pane, Qt::LeftButton, {}, QPoint(40, 40));
        ASSERT_EQ(pane.m_bFullScreen, 1);
        QTest::mouseDClick(pane.windowHandle(), Qt::LeftButton, {}, QPoint(40, 40));
        EXPECT_TRUE(PumpUntil([&] { return pane.m_bFullScreen == 0; }));
        EXPECT_EQ(pane.geometry(), childPlace);
        stepsRan = true;
        mainDialog.EndDialog(IDOK);
    });
    // Should a step hang, the dialog still ends and the test fails instead of waiting forever.
    QTimer::singleShot(60000, &mainDialog, [&] { mainDialog.EndDialog(IDCANCEL); });
    mainDialog.DoModal();
    EXPECT_TRUE(stepsRan);
}

}  // namespace
