#include "platform/qt/dialog.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/qt/button.h"
#include "platform/qt/dialog_template.h"
#include "platform/qt/static.h"

namespace platform {
namespace {

std::unique_ptr<CWnd> CreateControl(const ControlTemplate& control, CWnd* parent) {
    const QRect px = DialogUnitsToPixels(control.units);
    const Rect rect{px.left(), px.top(), px.left() + px.width(), px.top() + px.height()};
    const UINT style = control.style | WS_CHILD;
    if (control.kind == ControlKind::Button) {
        auto button = std::make_unique<CButton>();
        button->Create(control.text, style, rect, parent, control.id);
        return button;
    }
    auto label = std::make_unique<CStatic>();
    label->Create(control.text, style, rect, parent, control.id);
    return label;
}

QPoint CentredOnPrimaryScreen(const QSize& size) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return QPoint(0, 0);
    const QRect area = screen->availableGeometry();
    return area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
}

}  // namespace

CDialogEx::CDialogEx(UINT templateId, CWnd*) : m_nTemplateId(templateId) {}

CDialogEx::~CDialogEx() {
    if (m_pModalLoop) m_pModalLoop->exit(IDCANCEL);
    DestroyWindow();
}

BOOL CDialogEx::Create(UINT templateId, CWnd* parent) {
    m_nTemplateId = templateId;
    return CreateFromTemplate(parent, false);
}

BOOL CDialogEx::CreateFromTemplate(CWnd* parent, bool modal) {
    if (GetSafeHwnd()) return FALSE;
    m_pTemplate = FindDialogTemplate(m_nTemplateId);
    if (!m_pTemplate) return FALSE;
    const QSize size(DialogUnitsToPixelsX(m_pTemplate->widthUnits),
                     DialogUnitsToPixelsY(m_pTemplate->heightUnits));
    const QPoint origin = parent ? QPoint(0, 0) : CentredOnPrimaryScreen(size);
    const Rect rect{origin.x(), origin.y(), origin.x() + size.width(), origin.y() + size.height()};
    // Shown only after OnInitDialog, as the platform shows a dialog once it is initialised.
    if (!CreateEx(parent, rect, m_pTemplate->style & ~WS_VISIBLE, 0)) return FALSE;
    if (modal) setWindowModality(Qt::ApplicationModal);
    m_bEndRequested = false;
    CreateTemplateControls();
    OnInitDialog();
    if ((m_pTemplate->style & WS_VISIBLE) && GetSafeHwnd() && !m_bEndRequested) show();
    return GetSafeHwnd() != nullptr;
}

void CDialogEx::CreateTemplateControls() {
    m_templateControls.clear();
    for (const ControlTemplate& control : m_pTemplate->controls)
        m_templateControls.push_back(CreateControl(control, this));
}

intptr_t CDialogEx::DoModal() {
    if (!CreateFromTemplate(nullptr, true)) return -1;
    if (!m_bEndRequested) {
        if (!isVisible()) show();
        QEventLoop loop;
        m_pModalLoop = &loop;
        loop.exec(QEventLoop::DialogExec);
        m_pModalLoop.clear();
    }
    DestroyWindow();
    return m_nModalResult;
}

void CDialogEx::EndDialog(int result) {
    m_nModalResult = result;
    m_bEndRequested = true;
    if (m_pModalLoop) m_pModalLoop->exit(result);
    // Ending a child dialog leaves it in place, even while it is a popup of its parent (full
    // screen): Enter in a pane must not make the pane vanish.
    else if (GetSafeHwnd() && !GetParent()) hide();
}

BOOL CDialogEx::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void CDialogEx::OnOK() { EndDialog(IDOK); }
void CDialogEx::OnCancel() { EndDialog(IDCANCEL); }
void CDialogEx::OnClose() { OnCancel(); }

BOOL CDialogEx::OnCommand(WParam wParam, LParam) {
    const int id = static_cast<int>(LoWord(wParam));
    if (HiWord(wParam) != BN_CLICKED) return FALSE;
    if (id == IDOK) {
        OnOK();
        return TRUE;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

BOOL CDialogEx::PreTranslateMessage(Message& message) {
    if (message.message != WM_KEYDOWN) return FALSE;
    if (message.wParam == VK_ESCAPE) {
        OnCancel();
        return TRUE;
    }
    if (message.wParam == VK_RETURN) {
        // Enter presses the focused push button, else the default one (IDOK).
        auto* focused = dynamic_cast<CButton*>(focusWidget());
        const int id = focused && focused->GetParent() == this ? focused->GetDlgCtrlID() : IDOK;
        SendMessage(WM_COMMAND, MakeWParam(static_cast<UINT>(id), BN_CLICKED), 0);
        return TRUE;
    }
    return FALSE;
}

BOOL CDialogEx::DDX_Control(int controlId, CWnd& control) {
    for (auto it = m_templateControls.begin(); it != m_templateControls.end(); ++it) {
        CWnd* placeholder = it->get();
        if (placeholder->GetDlgCtrlID() != controlId) continue;
        Rect rect;
        placeholder->GetClientRect(&rect);
        const QPoint origin = placeholder->pos();
        rect = Rect{origin.x(), origin.y(), origin.x() + rect.Width(), origin.y() + rect.Height()};
        const QString text = placeholder->GetWindowText();
        const UINT style = placeholder->GetStyle() | (placeholder->isHidden() ? 0 : WS_VISIBLE);
        m_templateControls.erase(it);  // the placeholder's window goes with it
        if (!control.CreateEx(this, rect, style & ~WS_VISIBLE, controlId)) return FALSE;
        control.SetWindowText(text);
        if (style & WS_VISIBLE) control.show();
        return TRUE;
    }
    return FALSE;
}

}  // namespace platform
