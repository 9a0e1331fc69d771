// The main window's keys: the system menu opens with Alt+Space wherever the focus is inside it,
// also in a pane of the main panel, and the key does not reach the focused window; Enter and Esc
// never close it.

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

#include "shell/orvex_dlg.h"
#include "tests/main_panel/main_panel_test_support.h"

using namespace platform;

namespace {

// The deepest shown window inside the main window, a control of a pane.
CWnd* DeepestWindowIn(CWnd& top) {
    CWnd* deepest = nullptr;
    int deepestLevel = 0;
    for (QWidget* widget : top.findChildren<QWidget*>()) {
        auto* window = dynamic_cast<CWnd*>(widget);
        if (!window || !window->GetSafeHwnd() || !window->isVisible()) continue;
        int level = 0;
        for (CWnd* up = window; up && up != &top; up = up->GetParent()) ++level;
        if (level > deepestLevel) {
            deepest = window;
            deepestLevel = level;
        }
    }
    return deepest;
}

// The main window shown, with the deepest control inside it.
class MainWindowKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Create(IDD_ORVEX_DIALOG, nullptr));
        window.ShowWindow(SW_SHOW);
        control = DeepestWindowIn(window);
        ASSERT_NE(control, nullptr);
        ASSERT_NE(control->GetParent(), &window);
    }
    void TearDown() override { window.DestroyWindow(); }

    COrvexDlg window;
    CWnd* control = nullptr;
};

TEST_F(MainWindowKeys, AltSpaceInAPaneOpensTheMainWindowsSystemMenu) {
    control->SetFocus();

    // The menu runs its own loop: it is looked at and closed from inside that loop.
    QStringList shownItems;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions())
                if (!action->isSeparator()) shownItems << action->text();
            menu->close();
        }
    });
    closer.start(5);

    QKeyEvent altSpace(QEvent::KeyPress, Qt::Key_Space, Qt::AltModifier, QStringLiteral(" "));
    QCoreApplication::sendEvent(control, &altSpace);
    ASSERT_TRUE(main_panel_test::PumpUntil([&] { return !shownItems.isEmpty(); }));
    EXPECT_TRUE(shownItems.contains(QStringLiteral("&Close"))) << shownItems.join(", ").toStdString();
}

// Enter and Esc would reach the main window's OK and cancel, which end the program; whether they
// arrive at the window itself or at a control inside it, the window stays.
TEST_F(MainWindowKeys, EnterAndEscapeDoNotCloseTheMainWindow) {
    const struct {
        const char* name;
        QWidget* receiver;
    } receivers[] = {{"the window", &window}, {"a control", control}};
    for (const auto& r : receivers) {
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(r.receiver, &press);
            main_panel_test::PumpFor(30);
            EXPECT_TRUE(window.isVisible()) << r.name << ", key " << std::hex << key;
        }
    }
}

}  // namespace
