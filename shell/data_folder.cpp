#include "shell/data_folder.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The language files are the one data folder the program cannot start without.
bool HoldsData(const QString& folder) { return QFileInfo(QDir(folder).filePath(QStringLiteral("langconfig"))).isDir(); }

}  // namespace

QString FindDataFolder(const QString& currentFolder, const QString& executableFolder) {
    if (HoldsData(currentFolder)) return currentFolder;
    if (executableFolder.isEmpty()) return QString();
    if (HoldsData(executableFolder)) return executableFolder;
    const QString installed = QDir::cleanPath(executableFolder + QStringLiteral("/../share/telvane"));
    if (HoldsData(installed)) return installed;
    return QString();
}

bool EnterDataFolder(const QString& executableFolder) {
    const QString folder = FindDataFolder(QDir::currentPath(), executableFolder);
    return !folder.isEmpty() && QDir::setCurrent(folder);
}
