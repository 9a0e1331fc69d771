#pragma once
// Dialogs: windows created from a dialog template (size, style and controls from resources/),
// initialised through OnInitDialog and ended through OnOK / OnCancel. A top-level dialog runs
// modally through DoModal; a child dialog is created inside its parent with Create.
// User-interface thread only.

#include <QEventLoop>
#include <QPointer>
#include <memory>
#include <vector>

#include "platform/qt/wnd.h"

namespace platform {

struct DialogTemplate;

class CDialogEx : public CWnd {
public:
    explicit CDialogEx(UINT templateId, CWnd* parent = nullptr);
    ~CDialogEx() override;

    // Creates the dialog from its template as a child of parent (top-level when null), sends the
    // first OnSize, creates the template's controls, calls OnInitDialog and shows the window when
    // the template says visible. FALSE when the template is unknown or the window exists.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Creates the dialog as a top-level window, centred on the primary screen, and runs it until
    // EndDialog; the window is destroyed before it returns. Returns EndDialog's result, -1 when the
    // window cannot be created.
    intptr_t DoModal();
    // Ends a modal run with result; a modeless top-level dialog is hidden, a child dialog stays.
    void EndDialog(int result);

    UINT GetTemplateId() const { return m_nTemplateId; }

    // Esc calls OnCancel and Enter OnOK (or the focused button's command): the key ends there.
    BOOL PreTranslateMessage(Message& message) override;

protected:
    // Runs DoDataExchange; TRUE.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange() {}
    virtual void OnOK();
    virtual void OnCancel();

    // Binds control to the template's control controlId: control takes over its window (place,
    // text, style, id) and PreSubclassWindow runs. FALSE when there is no such control.
    BOOL DDX_Control(int controlId, CWnd& control);

    BOOL OnCommand(WParam wParam, LParam lParam) override;
    void OnClose() override;

private:
    BOOL CreateFromTemplate(CWnd* parent, bool modal);
    void CreateTemplateControls();

    UINT m_nTemplateId;
    const DialogTemplate* m_pTemplate = nullptr;
    std::vector<std::unique_ptr<CWnd>> m_templateControls;
    QPointer<QEventLoop> m_pModalLoop;
    bool m_bEndRequested = false;
    int m_nModalResult = 0;
};

}  // namespace platform
