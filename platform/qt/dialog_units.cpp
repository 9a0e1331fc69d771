#include "platform/qt/dialog_template.h"

namespace platform {
namespace {

// Average character cell of the dialog font at 96 dpi; a dialog unit is a quarter of its width
// and an eighth of its height.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

int MulDivRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

int DialogUnitsToPixelsX(int units) { return MulDivRounded(units, kBaseUnitX, 4); }
int DialogUnitsToPixelsY(int units) { return MulDivRounded(units, kBaseUnitY, 8); }

QRect DialogUnitsToPixels(const QRect& units) {
    const int left = DialogUnitsToPixelsX(units.x());
    const int top = DialogUnitsToPixelsY(units.y());
    const int right = DialogUnitsToPixelsX(units.x() + units.width());
    const int bottom = DialogUnitsToPixelsY(units.y() + units.height());
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace platform
