#include "platform/qt/fonts.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace platform {
namespace {

constexpr int kLargestPixelSize = 4096;
constexpr int kNarrowestStretch = 1;
constexpr int kWidestStretch = 4000;

QFont FamilyWithFallbacks(const QString& family) {
    QFont font;
    font.setFamilies(QStringList{family, QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// The cell of a face is a little taller than its pixel size (the internal leading), by a ratio
// that depends on the face: aim, measure and correct until the cell is as tall as asked, never
// taller.
void FitCellHeight(QFont& font, int cellPx) {
    int size = cellPx;
    for (int attempt = 0; attempt < 4; ++attempt) {
        font.setPixelSize(size);
        const int measured = QFontMetrics(font).height();
        if (measured == cellPx || measured <= 0) return;
        const int next = std::clamp(static_cast<int>(std::lround(double(size) * cellPx / measured)), 1, kLargestPixelSize);
        if (next == size) break;
        size = next;
    }
    while (size > 1 && QFontMetrics(font).height() > cellPx) font.setPixelSize(--size);
}

void FitAverageWidth(QFont& font, int averageWidthPx) {
    const int natural = QFontMetrics(font).averageCharWidth();
    if (natural <= 0) return;
    const long stretch = std::lround(100.0 * averageWidthPx / natural);
    font.setStretch(static_cast<int>(std::clamp<long>(stretch, kNarrowestStretch, kWidestStretch)));
}

}  // namespace

QFont MakeFont(const QString& family, double points, bool bold) {
    QFont font = FamilyWithFallbacks(family);
    font.setPixelSize(static_cast<int>(points * 96.0 / 72.0 + 0.5));
    font.setBold(bold);
    return font;
}

QFont DialogFont() { return MakeFont(QStringLiteral("MS Shell Dlg"), 8); }

QFont MakePixelFont(const QString& family, int heightPx, int averageWidthPx, int weight) {
    QFont font = FamilyWithFallbacks(family);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    if (heightPx > 0) FitCellHeight(font, std::min(heightPx, kLargestPixelSize));
    else if (heightPx < 0) font.setPixelSize(std::min(-static_cast<long>(heightPx), long(kLargestPixelSize)));
    if (averageWidthPx > 0) FitAverageWidth(font, averageWidthPx);
    return font;
}

}  // namespace platform
