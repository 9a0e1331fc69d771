// Base window behaviour the panes rely on: size notifications, full-screen style changes that keep
// the window in its family, and tooltips.

#include <QToolTip>
#include <gtest/gtest.h>
#include <vector>

#include "platform/qt/dialog.h"
#include "platform/qt/dialog_template.h"
#include "platform/qt/static.h"
#include "platform/qt/tooltip.h"
#include "window_test_support.h"

using namespace platform;
using window_test::PumpUntil;

namespace {

class SizeLog : public CDialogEx {
public:
    explicit SizeLog(UINT templateId) : CDialogEx(templateId) {}
    std::vector<QSize> sizes;
    int commands = 0;

protected:
    void OnSize(UINT, int width, int height) override { sizes.emplace_back(width, height); }
    BOOL OnCommand(WParam, LParam) override {
        ++commands;
        return TRUE;
    }
};

class HubLog : public CDialogEx {
public:
    HubLog() : CDialogEx(134) {}
    int seen = 0;
    BOOL PreTranslateMessage(Message& message) override {
        if (message.message == WM_COMMAND) ++seen;
        return CDialogEx::PreTranslateMessage(message);
    }
};

TEST(BaseWindow, CreationSendsTheFirstSizeAndMovesSendMore) {
    SizeLog pane(138);
    HubLog parent;
    ASSERT_TRUE(parent.Create(134, nullptr));
    ASSERT_TRUE(pane.Create(138, &parent));
    ASSERT_EQ(pane.sizes.size(), 1u);
    EXPECT_EQ(pane.sizes[0], QSize(DialogUnitsToPixelsX(309), DialogUnitsToPixelsY(36)));
    pane.MoveWindow(0, 0, 300, 38);
    pane.MoveWindow(5, 5, 300, 38);  // a move without a new size sends nothing
    EXPECT_EQ(pane.sizes.back(), QSize(300, 38));
    EXPECT_EQ(pane.sizes.size(), 2u);
}

TEST(BaseWindow, DialogUnitsFollowTheDialogFont) {
    EXPECT_EQ(DialogUnitsToPixelsX(605), 908);
    EXPECT_EQ(DialogUnitsToPixelsY(371), 603);
    EXPECT_EQ(DialogUnitsToPixelsY(36), 59);
}

TEST(BaseWindow, ChildTurnedPopupStaysInItsParentsFamily) {
    HubLog parent;
    SizeLog pane(129);
    ASSERT_TRUE(parent.Create(134, nullptr));
    ASSERT_TRUE(pane.Create(129, &parent));
    pane.MoveWindow(10, 20, 200, 100);
    pane.ShowWindow(SW_SHOW);

    pane.ModifyStyle(WS_CHILD, WS_POPUP);
    EXPECT_TRUE(pane.isWindow());
    EXPECT_EQ(pane.GetParent(), &parent);
    pane.PostMessage(WM_COMMAND, 49, 0);
    ASSERT_TRUE(PumpUntil([&] { return pane.commands == 1; }));
    EXPECT_EQ(parent.seen, 1);

    pane.ModifyStyle(WS_POPUP, WS_CHILD);
    EXPECT_FALSE(pane.isWindow());
    EXPECT_EQ(pane.parentWidget(), &parent);
}

TEST(BaseWindow, StaticControlOfTheTemplateShortensPathsInTheMiddle) {
    CDialogEx bar(138);
    ASSERT_TRUE(bar.Create(138, nullptr));
    auto* text = dynamic_cast<CStatic*>(bar.GetDlgItem(1002));
    ASSERT_NE(text, nullptr);
    text->SetWindowText("/recordings/cameras/front-door/2024-05-01/very-long-recording-name.mp4");
    const QString shown = text->DisplayText(120);
    EXPECT_TRUE(shown.startsWith("/rec")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(".mp4")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
}

TEST(Tooltip, ShowsAfterTheDelayWhileOverTheToolAndHidesOnLeave) {
    CDialogEx tool(133);
    ASSERT_TRUE(tool.Create(133, nullptr));
    tool.ShowWindow(SW_SHOW);
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&tool));
    ASSERT_TRUE(tip.AddTool(&tool, "Play"));
    tip.SetDelayTime(10);
    window_test::Enter(tool, QPoint(2, 2));
    ASSERT_TRUE(PumpUntil([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text(), "Play");
    window_test::Leave(tool);
    EXPECT_TRUE(PumpUntil([] { return !QToolTip::isVisible(); }));
}

TEST(Tooltip, EmptyTextShowsNothing) {
    CDialogEx tool(133);
    ASSERT_TRUE(tool.Create(133, nullptr));
    tool.ShowWindow(SW_SHOW);
    CToolTipCtrl tip;
    tip.Create(&tool);
    tip.AddTool(&tool);
    tip.SetDelayTime(1);
    window_test::Enter(tool, QPoint(2, 2));
    window_test::PumpFor(30);
    EXPECT_FALSE(QToolTip::isVisible());
}

}  // namespace
