#pragma once
// A push button: pressed while the left button is held over it, a click sends WM_COMMAND
// (BN_CLICKED, its id) to the parent. With BS_OWNERDRAW every paint arrives as DrawItem.

#include <QPainter>

#include "platform/qt/wnd.h"

namespace platform {

struct DRAWITEMSTRUCT {
    QPainter* dc = nullptr;
    UINT itemState = 0;  // ODS_* bits
    Rect rcItem;
    int CtlID = 0;
};

class CButton : public CWnd {
public:
    BOOL Create(const QString& text, UINT style, const Rect& rect, CWnd* parent, int controlId);
    virtual void DrawItem(const DRAWITEMSTRUCT& item);
    // ODS_SELECTED while pushed with the pointer over it, ODS_DISABLED, ODS_FOCUS.
    UINT ItemState() const;

protected:
    void OnPaint(QPainter& dc) override;
    BOOL OnEraseBkgnd(QPainter& dc) override;
    void OnMouseMove(UINT flags, Point point) override;
    void OnLButtonDown(UINT flags, Point point) override;
    void OnLButtonUp(UINT flags, Point point) override;
    void OnLButtonDblClk(UINT flags, Point point) override;
    void OnKeyDown(UINT virtualKey, UINT repeatCount, UINT flags) override;

private:
    bool IsOwnerDraw() const { return (GetStyle() & BS_TYPEMASK) == BS_OWNERDRAW; }
    void PaintStandard(QPainter& dc);
    void SetPushedLook(bool pushed);
    void NotifyClicked();

    bool m_bCapturing = false;  // the left button went down on us and is still held
    bool m_bPushedLook = false;
};

}  // namespace platform
