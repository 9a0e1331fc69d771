// Full screen the way the video pane does it, while the main dialog runs modally: the pane made a
// popup of its own still takes keys and clicks from the window system, and goes back exactly where
// it was.

#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <vector>

#include "platform/qt/dialog.h"
#include "platform/qt/window_video_target.h"
#include "window_test_support.h"

using namespace platform;
using window_test::PumpUntil;

namespace {

constexpr UINT kMainDialogTemplate = 102;
constexpr UINT kVideoPaneTemplate = 129;

class InputLog : public CDialogEx {
public:
    InputLog() : CDialogEx(kVideoPaneTemplate) {}
    std::vector<WParam> keys;
    int doubleClicks = 0;

    BOOL PreTranslateMessage(Message& message) override {
        if (message.message == WM_KEYDOWN) keys.push_back(message.wParam);
        return CDialogEx::PreTranslateMessage(message);
    }

protected:
    void OnLButtonDblClk(UINT, Point) override { ++doubleClicks; }
    void OnCancel() override {}  // Esc never ends a pane
};

struct FullScreenRun {
    CDialogEx mainDialog{kMainDialogTemplate};
    InputLog pane;
    WindowVideoTarget target;
    Rect restore;          // the pane's window rectangle before full screen, screen coordinates
    Rect monitor;
    QRect childGeometry;

    void CreatePane() {
        ASSERT_TRUE(pane.Create(kVideoPaneTemplate, &mainDialog));
        pane.MoveWindow(12, 34, 320, 180);
        pane.ShowWindow(SW_SHOW);
        target.Attach(&pane);
        childGeometry = pane.geometry();
        pane.GetWindowRect(&restore);
    }

    void Enter() {
        monitor = pane.GetMonitorRect();
        pane.ModifyStyle(WS_CHILD, WS_POPUP);
        pane.SetWindowPos(true, monitor.left, monitor.top, monitor.Width(), monitor.Height(), TRUE);
    }

    void Leave() {
        pane.ModifyStyle(WS_POPUP, WS_CHILD);
        Point topLeft{restore.left, restore.top};
        pane.GetParent()->ScreenToClient(&topLeft);
        pane.MoveWindow(topLeft.x, topLeft.y, restore.Width(), restore.Height(), TRUE);
    }

    // Through the window system, where a modal dialog shuts other windows out.
    void PressEscape() { QTest::keyClick(pane.windowHandle(), Qt::Key_Escape); }
    void DoubleClick() { QTest::mouseDClick(pane.windowHandle(), Qt::LeftButton, {}, QPoint(40, 40)); }

    void Steps() {
        CreatePane();
        ASSERT_FALSE(HasFailure());
        Enter();
        EXPECT_TRUE(pane.isWindow());
        EXPECT_EQ(pane.GetParent(), &mainDialog);
        EXPECT_EQ(pane.geometry(), QRect(monitor.left, monitor.top, monitor.Width(), monitor.Height()));
        ASSERT_NE(pane.windowHandle(), nullptr);
        EXPECT_FALSE(QGuiApplication::modalWindow() == nullptr);
        EXPECT_TRUE(PumpUntil([&] { return target.ClientRect() == (Rect{0, 0, monitor.Width(), monitor.Height()}); }));

        PressEscape();
        EXPECT_TRUE(PumpUntil([&] { return !pane.keys.empty(); }));
        EXPECT_EQ(pane.keys, std::vector<WParam>{VK_ESCAPE});
        DoubleClick();
        EXPECT_TRUE(PumpUntil([&] { return pane.doubleClicks == 1; }));

        Leave();
        EXPECT_FALSE(pane.isWindow());
        EXPECT_EQ(pane.parentWidget(), &mainDialog);
        EXPECT_EQ(pane.geometry(), childGeometry);
        EXPECT_TRUE(pane.isVisible());
        EXPECT_EQ(target.ClientRect(), (Rect{0, 0, 320, 180}));
        EXPECT_TRUE(target.IsUsable());
    }

    static bool HasFailure() { return ::testing::Test::HasFatalFailure(); }
};

TEST(FullScreen, PaneTakesKeysAndClicksUnderTheModalMainDialogAndReturnsToItsPlace) {
    FullScreenRun run;
    bool stepsRan = false;
    QTimer::singleShot(0, [&] {
        run.Steps();
        stepsRan = true;
        run.mainDialog.EndDialog(IDOK);
    });
    // Should a step hang, the dialog still ends and the test fails instead of waiting forever.
    QTimer::singleShot(60000, &run.mainDialog, [&] { run.mainDialog.EndDialog(IDCANCEL); });
    EXPECT_EQ(run.mainDialog.DoModal(), IDOK);
    EXPECT_TRUE(stepsRan);
}

TEST(FullScreen, EnterInAPaneLeavesItShownWhetherChildOrFullScreen) {
    CDialogEx mainDialog(kMainDialogTemplate);
    InputLog pane;
    ASSERT_TRUE(mainDialog.Create(kMainDialogTemplate, nullptr));
    mainDialog.ShowWindow(SW_SHOW);
    ASSERT_TRUE(pane.Create(kVideoPaneTemplate, &mainDialog));
    pane.ShowWindow(SW_SHOW);

    QTest::keyClick(&pane, Qt::Key_Return);
    EXPECT_TRUE(pane.isVisible());

    pane.ModifyStyle(WS_CHILD, WS_POPUP);
    QTest::keyClick(&pane, Qt::Key_Return);
    EXPECT_TRUE(pane.isVisible());
    pane.ModifyStyle(WS_POPUP, WS_CHILD);
}

}  // namespace
