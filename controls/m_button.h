#pragma once
// The skinned push button of the panes: one frame of a picture strip, chosen by the mouse state,
// and a command posted to the parent the moment the left button goes down. A two-strip button
// (play/pause, mute) holds a second strip; the owner picks the strip by writing m_nImage and the
// matching tooltip text, then redraws the button.
//
// User-interface thread only. The button never captures the mouse and ignores the button-up.

#include <QImage>
#include <QString>
#include <memory>

#include "platform/geometry.h"
#include "platform/qt/dialog.h"
#include "platform/qt/tooltip.h"

constexpr platform::UINT IDD_MBUTTON = 133;

class CMButton : public platform::CDialogEx {
public:
    // Values of m_nState.
    static constexpr int kNormal = 0;
    static constexpr int kHover = 1;
    static constexpr int kPressed = 2;
    // The button's own colour, shown where the strip is transparent or did not load.
    static constexpr QRgb kBackground = 0xFF00161E;
    static constexpr platform::UINT kTipDelayMs = 800;

    CMButton();

    // The frame a state shows, from a strip of square frames stripHeight pixels high laid side by
    // side: normal, pressed, hover from the left. A state the button does not know shows normal.
    static platform::Rect FrameSource(int state, int stripHeight);

    // Loads the picture file (relative to the current directory) into the first strip, or into the
    // second of a two-strip button whose first is already set; once both are set, changes nothing.
    // A file that does not load still sets a strip, one that draws nothing. FALSE only for a null
    // path.
    platform::BOOL SetImage(const QString* path);
    platform::BOOL SetImage(const QString& path) { return SetImage(&path); }
    // The first text goes to m_strTip, the second to m_strTip2 of a two-strip button; later texts
    // are dropped. The tooltip shows m_strTip.
    void SetTipText(const QString& text);

    platform::BOOL PreTranslateMessage(platform::Message& message) override;

    std::unique_ptr<QImage> m_pImage;
    std::unique_ptr<QImage> m_pImage2;
    int m_bTwoImages = 0;
    int m_nImage = 0;
    int m_nState = kNormal;
    int m_bTracking = 0;
    int m_nID = 0;
    platform::CToolTipCtrl m_ToolTip;
    QString m_strTip;
    QString m_strTip2;

protected:
    platform::BOOL OnInitDialog() override;
    void OnCancel() override {}
    // The whole window is painted off screen; erasing first would only flicker.
    platform::BOOL OnEraseBkgnd(QPainter&) override { return platform::TRUE; }
    void OnPaint(QPainter& dc) override;
    void OnMouseMove(platform::UINT flags, platform::Point point) override;
    void OnMouseHover(platform::UINT flags, platform::Point point) override;
    void OnMouseLeave() override;
    void OnLButtonDown(platform::UINT flags, platform::Point point) override;

private:
    // Null when the strip m_nImage names was never set.
    const QImage* ShownStrip() const;
    void PostCommandToParent();
};
