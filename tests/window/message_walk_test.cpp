// Posted messages reach Qt windows through the pre-translation walk; dialogs end through OnOK and
// OnCancel; template controls can be bound to control objects.

#include <QKeyEvent>
#include <QTimer>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/qt/button.h"
#include "platform/qt/dialog.h"
#include "platform/sync.h"
#include "window_test_support.h"

using namespace platform;
using window_test::PumpUntil;

namespace {

class Pane : public CDialogEx {
public:
    Pane(UINT templateId, std::string name, std::vector<std::string>& log)
        : CDialogEx(templateId), m_name(std::move(name)), m_log(log) {}

    std::string stopHere;  // the pane whose pre-translation ends WM_COMMAND messages

    BOOL PreTranslateMessage(Message& message) override {
        if (message.message == WM_COMMAND) {
            m_log.push_back(m_name + " pre " + std::to_string(message.wParam));
            if (stopHere == m_name) {
                message.wParam = 0;
                return TRUE;
            }
        }
        return CDialogEx::PreTranslateMessage(message);
    }

protected:
    BOOL OnCommand(WParam wParam, LParam lParam) override {
        m_log.push_back(m_name + " acts " + std::to_string(wParam));
        return CDialogEx::OnCommand(wParam, lParam);
    }
    void OnCancel() override { m_log.push_back(m_name + " cancel"); }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
};

class Family : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(top.Create(134, nullptr));
        ASSERT_TRUE(child.Create(131, &top));
        ASSERT_TRUE(grandchild.Create(137, &child));
    }

    std::vector<std::string> log;
    Pane top{134, "top", log};
    Pane child{131, "child", log};
    Pane grandchild{137, "grandchild", log};
};

TEST_F(Family, PostedCommandIsOfferedFromTargetUpToTopBeforeTheTargetActs) {
    ASSERT_TRUE(PostMessage(grandchild.GetSafeHwnd(), WM_COMMAND, 7, 0));
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 4; }));
    EXPECT_EQ(log, (std::vector<std::string>{"grandchild pre 7", "child pre 7", "top pre 7", "grandchild acts 7"}));
}

TEST_F(Family, HandlerThatEndsTheMessageStopsTheWalkAndTheTarget) {
    child.stopHere = "child";
    ASSERT_TRUE(PostMessage(grandchild.GetSafeHwnd(), WM_COMMAND, 7, 0));
    ASSERT_TRUE(PumpUntil([&] { return log.size() >= 2; }));
    window_test::PumpFor(20);
    EXPECT_EQ(log, (std::vector<std::string>{"grandchild pre 7", "child pre 7"}));
}

TEST_F(Family, PostFromAnotherThreadArrivesOnTheUserInterfaceThread) {
    Thread poster;
    poster.Start([&] { PostMessage(child.GetSafeHwnd(), WM_COMMAND, 65, 0); });
    poster.Join();
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 3; }));
    EXPECT_EQ(log.back(), "child acts 65");
}

TEST_F(Family, DestroyedWindowRefusesPostsAndDropsWhatWasQueued) {
    const WindowHandle handle = grandchild.GetSafeHwnd();
    ASSERT_TRUE(PostMessage(handle, WM_COMMAND, 3, 0));
    grandchild.DestroyWindow();
    EXPECT_FALSE(PostMessage(handle, WM_COMMAND, 4, 0));
    window_test::PumpFor(20);
    EXPECT_TRUE(log.empty());
}

TEST_F(Family, DestroyingAParentDestroysTheChildWindows) {
    top.DestroyWindow();
    EXPECT_EQ(child.GetSafeHwnd(), nullptr);
    EXPECT_EQ(grandchild.GetSafeHwnd(), nullptr);
}

TEST_F(Family, EscapeEndsAtTheInnermostDialog) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&grandchild, &escape);
    EXPECT_EQ(log, (std::vector<std::string>{"grandchild cancel"}));
}

class ModalBox : public CDialogEx {
public:
    explicit ModalBox(bool endAtInit) : CDialogEx(100), m_bEndAtInit(endAtInit) {}
    int oks = 0;

protected:
    BOOL OnInitDialog() override {
        CDialogEx::OnInitDialog();
        if (m_bEndAtInit) OnCancel();
        return TRUE;
    }
    void OnOK() override {
        ++oks;
        CDialogEx::OnOK();
    }

private:
    bool m_bEndAtInit;
};

TEST(Modal, RunEndsWithTheResultOfOnOkAndDestroysTheWindow) {
    ModalBox box(false);
    QTimer::singleShot(0, [&] {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(&box, &enter);
    });
    EXPECT_EQ(box.DoModal(), IDOK);
    EXPECT_EQ(box.oks, 1);
    EXPECT_EQ(box.GetSafeHwnd(), nullptr);
}

TEST(Modal, CancelDuringInitialisationEndsBeforeTheLoop) {
    ModalBox box(true);
    EXPECT_EQ(box.DoModal(), IDCANCEL);
}

TEST(Modal, UnknownTemplateFails) {
    CDialogEx box(9999);
    EXPECT_EQ(box.DoModal(), -1);
}

class BoundBox : public CDialogEx {
public:
    BoundBox() : CDialogEx(100) {}
    CButton ok;
    bool bound = false;
    int oks = 0;

protected:
    void DoDataExchange() override { bound = DDX_Control(IDOK, ok); }
    void OnOK() override { ++oks; }
};

TEST(Binding, ControlTakesOverTheTemplateButtonAndItsClicksReachTheDialog) {
    BoundBox box;
    ASSERT_TRUE(box.Create(100, nullptr));
    ASSERT_TRUE(box.bound);
    EXPECT_EQ(box.ok.GetWindowText(), "OK");
    EXPECT_EQ(box.ok.GetDlgCtrlID(), IDOK);
    EXPECT_EQ(box.GetDlgItem(IDOK), &box.ok);
    window_test::Press(box.ok, QPoint(5, 5));
    window_test::Release(box.ok, QPoint(5, 5));
    EXPECT_EQ(box.oks, 1);
}

TEST(Binding, ReleaseOutsideTheButtonIsNoClick) {
    BoundBox box;
    ASSERT_TRUE(box.Create(100, nullptr));
    window_test::Press(box.ok, QPoint(5, 5));
    window_test::Move(box.ok, QPoint(-20, 5), Qt::LeftButton);
    window_test::Release(box.ok, QPoint(-20, 5));
    EXPECT_EQ(box.oks, 0);
}

}  // namespace
