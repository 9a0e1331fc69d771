// Opens a frameless skinned window whose content shows owner-drawn push buttons in each look.

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <array>

#include "controls/button_ui.h"
#include "shell/black_window.h"

using namespace platform;

namespace {

void Style(CButtonUI& button, int shape) {
    button.m_nStyle = shape;
    button.m_crNormalFill = 0xFFFFFFFF;
    button.m_crNormalBorder = 0xFFA9A9A9;
    button.m_crNormalText = 0xFF000000;
    button.m_crHoverFill = 0xFFFF7F50;
    button.m_crHoverBorder = 0xFFC0C0C0;
    button.m_crHoverText = 0xFF000000;
    button.m_crPressedFill = 0xFFFFE4E1;
    button.m_crPressedBorder = 0xFFF08080;
    button.m_crPressedText = 0xFF000000;
}

class Panel : public CDialogEx {
public:
    Panel() : CDialogEx(134) {}

    void Populate() {
        const char* const names[4] = {"Normal", "Hover", "Pressed", "Disabled"};
        for (int row = 0; row < 2; ++row) {
            for (int i = 0; i < 4; ++i) {
                CButtonUI& button = m_buttons[row * 4 + i];
                const int x = 24 + i * 96, y = 24 + row * 44;
                button.Create(names[i], WS_VISIBLE, Rect{x, y, x + 80, y + 28}, this, 100 + row * 4 + i);
                Style(button, row == 0 ? CButtonUI::kStyleRounded : 0);
            }
            m_buttons[row * 4 + 1].m_bHover = 1;
            m_buttons[row * 4 + 3].EnableWindow(FALSE);
        }
    }

    // Holds the "Pressed" buttons down the way a press of the left button does.
    void PressDemoButtons() {
        for (int row = 0; row < 2; ++row) {
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(&m_buttons[row * 4 + 2], &press);
        }
    }

protected:
    void OnPaint(QPainter& dc) override { dc.fillRect(rect(), QColor(0, 22, 30)); }
    void OnCancel() override {}

private:
    std::array<CButtonUI, 8> m_buttons;
};

class DemoFrame : public CBlackWindow {
public:
    DemoFrame() : CBlackWindow(102) {
        m_bShowIcon = m_bShowTitle = m_bShowMinButton = m_bShowMaxButton = m_bShowCloseButton = 1;
        m_bResizable = 1;
        m_bMovable = 1;
    }

protected:
    BOOL OnInitDialog() override {
        CBlackWindow::OnInitDialog();
        SetWindowText("Telvane");
        m_panel.Create(134, this);
        m_panel.Populate();
        PlacePanel();
        m_panel.ShowWindow(SW_SHOW);
        m_panel.PressDemoButtons();
        return TRUE;
    }

    void OnSize(UINT type, int width, int height) override {
        CBlackWindow::OnSize(type, width, height);
        PlacePanel();
    }

private:
    void PlacePanel() {
        if (m_panel.GetSafeHwnd()) m_panel.MoveWindow(m_rcContent, TRUE);
    }

    Panel m_panel;
};

}  // namespace

// Libraries below Qt keep caches for the life of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\nleak:libfontconfig.so\n"; }

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    DemoFrame frame;
    frame.DoModal();
    return 0;
}
