#pragma once
// The controls' artwork, in the frame's flat style: button strips of three square frames side by
// side (normal, pressed, hover, left to right), the slider's track, fill and thumb, and the list's
// scroll arrows and thumb. Every picture is drawn on a transparent ground, so the control's own
// background shows through.

#include <QImage>
#include <QString>
#include <vector>

namespace artwork {

enum class Glyph {
    Play,
    Pause,
    FrameStep,
    Stop,
    Slower,
    Faster,
    VolumeOn,
    VolumeOff,
    HidePlaylist,
    ShowPlaylist,
    Open,
    Convert,
    Add,
    Delete,
    Snapshot,
    FullScreen,
};

// One button's picture file: the frames are drawn at the size the button has on screen, so they
// are shown unscaled.
struct ButtonStrip {
    const char* fileName;
    Glyph glyph;
    int frameSize;
};

struct NamedPicture {
    QString fileName;
    QImage image;
};

const std::vector<ButtonStrip>& ButtonStrips();
// Every picture is drawn at its logical size times `scale` (1, or 2 for the "@2x" twins that
// high-density screens use), with that device pixel ratio.
QImage DrawButtonStrip(Glyph glyph, int frameSize, int scale = 1);

// The slider's strips are cut into two 30-pixel caps and a middle and scaled from their height to a
// track 6 or 8 pixels thick: 24 rows scale by whole factors to both, and 300 columns leave a middle
// for the widest caps (30 x 24 / 6 = 120 source columns each).
constexpr int kSliderStripHeight = 24;
constexpr int kSliderStripWidth = 300;
constexpr int kSliderThumbSize = 48;
// The list's arrows fill 14 x 12 rectangles; its thumb is 14 wide and stretched to any length, with
// its lowest 10 rows cut off.
constexpr int kListArrowWidth = 14;
constexpr int kListArrowHeight = 12;
constexpr int kListThumbHeight = 40;
constexpr int kListThumbHiddenRows = 10;

QImage DrawSliderTrack(int scale = 1);
QImage DrawSliderFill(int scale = 1);
QImage DrawSliderThumb(int scale = 1);
QImage DrawListArrow(bool up, int scale = 1);
QImage DrawListThumb(int scale = 1);

// "play.png" at scale 2 is "play@2x.png", the name the toolkit gives a picture of ratio 2.
QString ScaledFileName(const QString& fileName, int scale);

// Every picture of the images folder, under its file name.
std::vector<NamedPicture> DrawControlPictures(int scale = 1);
// All pictures enlarged on one sheet, on the panels' colour, for a person to look at.
QImage DrawContactSheet(const std::vector<NamedPicture>& pictures, int zoom);

}  // namespace artwork
