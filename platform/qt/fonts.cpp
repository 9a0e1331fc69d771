#include "platform/qt/fonts.h"

#include <QStringList>

namespace platform {

QFont MakeFont(const QString& family, double points, bool bold) {
    QFont font;
    font.setFamilies(QStringList{family, QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(static_cast<int>(points * 96.0 / 72.0 + 0.5));
    font.setBold(bold);
    return font;
}

QFont DialogFont() { return MakeFont(QStringLiteral("MS Shell Dlg"), 8); }

}  // namespace platform
