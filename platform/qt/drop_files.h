#pragma once
// Files dragged onto a window: what a drop carries, as the list of paths a window is handed.

#include <QStringList>

class QMimeData;

namespace platform {

// True when the drag carries URLs, whatever they name: the window decides what it takes.
bool CarriesFiles(const QMimeData& data);
// One entry per dropped URL, in order: the local path, or an empty entry for a URL that is no local
// file, so that a window counting the dropped items still counts it.
QStringList DroppedFilePaths(const QMimeData& data);

}  // namespace platform
