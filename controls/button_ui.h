#pragma once
// An owner-drawn push button: a filled rectangle, square or with rounded corners, with a one-pixel
// outline and the window text centred in it, in four looks (normal, hover, pressed, disabled).
// The owner writes the style and the nine colours of the first three looks after binding it.

#include <QImage>
#include <QPainterPath>
#include <cstdint>
#include <memory>

#include "platform/qt/button.h"

class CButtonUI : public platform::CButton {
public:
    enum class Look { Normal, Hover, Pressed, Disabled };

    static constexpr int kStylePicture = 1;  // a picture left of the text
    static constexpr int kStyleRounded = 2;

    void PreSubclassWindow() override;
    void DrawItem(const platform::DRAWITEMSTRUCT& item) override;

    // First match wins: pressed, then hover, then disabled.
    static Look ChooseLook(platform::UINT itemState, int hover);
    // The outline of the rounded shape in the client rectangle, as pen coordinates (a coordinate
    // names a pixel's centre); the pressed shape is one pixel smaller at the right and bottom.
    static QPainterPath RoundedOutline(const platform::Rect& client);
    static QPainterPath PressedRoundedOutline(const platform::Rect& client);

    int m_bHover = 0;
    int m_bTrackNeeded = 1;
    int m_nStyle = 0;
    std::unique_ptr<QImage> m_pButtonImage;
    uint32_t m_crNormalFill = 0xFF000000, m_crNormalBorder = 0xFF000000, m_crNormalText = 0xFF000000;
    uint32_t m_crHoverFill = 0xFF000000, m_crHoverBorder = 0xFF000000, m_crHoverText = 0xFF000000;
    uint32_t m_crPressedFill = 0xFF000000, m_crPressedBorder = 0xFF000000, m_crPressedText = 0xFF000000;

protected:
    void OnMouseMove(platform::UINT flags, platform::Point point) override;
    void OnMouseHover(platform::UINT flags, platform::Point point) override;
    void OnMouseLeave() override;

private:
    struct Colours {
        uint32_t fill, border, text;
    };
    Colours ColoursOf(Look look) const;
    void DrawShape(QPainter& painter, const platform::Rect& client, Look look, const Colours& colours) const;
    void DrawRoundedShape(QPainter& painter, const platform::Rect& client, Look look, const Colours& colours) const;
    void DrawSquareShape(QPainter& painter, const platform::Rect& client, Look look, const Colours& colours) const;
    void DrawContent(QPainter& painter, QRectF box, uint32_t textColour) const;
};
