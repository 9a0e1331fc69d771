#pragma once
// A static text control: the window text in the dialog font, left, centred or right, optionally
// centred vertically (SS_CENTERIMAGE) and shortened in the middle when it is too long
// (SS_PATHELLIPSIS, keeping the beginning and the file name). Its colours come from the parent's
// OnCtlColor.

#include <QFontMetrics>

#include "platform/qt/wnd.h"

namespace platform {

// A path shortened to width pixels the way a path control shows it: unchanged when it fits;
// otherwise its beginning, an ellipsis and the whole last component with its "/"; when even the
// last component does not fit, its beginning and the end of the last component.
QString ElidePath(const QString& path, const QFontMetrics& metrics, int width);

class CStatic : public CWnd {
public:
    BOOL Create(const QString& text, UINT style, const Rect& rect, CWnd* parent, int controlId);
    // The text as it fits into width pixels under the control's style.
    QString DisplayText(int width) const;

protected:
    BOOL OnEraseBkgnd(QPainter& dc) override;
    void OnPaint(QPainter& dc) override;

private:
    CtlColors ColorsFromParent();
};

}  // namespace platform
