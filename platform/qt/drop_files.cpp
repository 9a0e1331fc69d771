#include "platform/qt/drop_files.h"

#include <QMimeData>
#include <QUrl>

namespace platform {

bool CarriesFiles(const QMimeData& data) { return data.hasUrls() && !data.urls().isEmpty(); }

QStringList DroppedFilePaths(const QMimeData& data) {
    QStringList paths;
    for (const QUrl& url : data.urls()) paths << (url.isLocalFile() ? url.toLocalFile() : QString());
    return paths;
}

}  // namespace platform
