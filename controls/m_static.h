#pragma once
// The skinned text label of the control bar: its own window text in silver on the panels' colour,
// on one line, against the left or the right edge. A text too wide is cut at the edge away from
// its alignment, without an ellipsis.
//
// User-interface thread only; other threads change the text through the platform's posted window
// text and redraw.

#include <QString>

#include "platform/qt/dialog.h"

constexpr platform::UINT IDD_MSTATIC = 140;

class CMStatic : public platform::CDialogEx {
public:
    // Values of m_nAlign; any other value aligns left.
    static constexpr int kAlignLeft = 1;
    static constexpr int kAlignRight = 2;
    static constexpr QRgb kBackground = 0xFF00161E;
    static constexpr QRgb kTextColour = 0xFFC0C0C0;

    CMStatic();

    // The Qt alignment flags of an m_nAlign value: always at the top, never wrapped.
    static int TextFlags(int align);

    int m_nAlign = kAlignLeft;

protected:
    void OnCancel() override {}
    // The whole window is painted off screen; erasing first would only flicker.
    platform::BOOL OnEraseBkgnd(QPainter&) override { return platform::TRUE; }
    void OnPaint(QPainter& dc) override;
};
