#pragma once
// Writes an icon file holding several sizes of one picture, each stored as PNG, as the icon format
// allows; Qt's own writer stores a single size only.

#include <QImage>
#include <QString>
#include <vector>

namespace artwork {

bool WriteIconFile(const QString& path, const std::vector<QImage>& sizes);

}  // namespace artwork
