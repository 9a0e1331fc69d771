#include "panels/path_rules.h"

#include <QFile>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr const char* kVideoEndings[] = {"avi", "AVI", "mp4", "MP4", "mkv", "MKV"};

bool IsRecording(const QString& path, const RecordingTest& isRecording) {
    return isRecording && !path.isEmpty() && isRecording(path);
}

bool EndsWithVideoEnding(const QString& text) {
    if (text.size() < 3) return false;
    const QString last = text.right(3);
    for (const char* suffix : kVideoEndings)
        if (last == QLatin1String(suffix)) return true;
    return false;
}

QString ExtensionAfterFirstDot(const QString& name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.mid(dot + 1);
}

bool IsRegularFile(const QString& path) {
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISDIR(info.st_mode);
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool IsPlaylistFileName(const QString& name) {
    const QString extension = ExtensionAfterFirstDot(name);
    for (const char* video : kVideoEndings)
        if (extension == QLatin1String(video)) return true;
    return false;
}

bool IsOpenDialogPathAccepted(const QString& path, const RecordingTest& isRecording) {
    return EndsWithVideoEnding(path) || IsRecording(path, isRecording);
}

bool IsDropAccepted(const QStringList& paths, const RecordingTest& isRecording) {
    if (paths.size() != 1) return false;
    return EndsWithVideoEnding(paths.front()) || IsRecording(paths.front(), isRecording);
}

QString FolderOfPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString NameOfPath(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

QString WithTrailingSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QStringList ScanPlaylistFolder(const QString& folder, const RecordingTest& isRecording) {
    QStringList names;
    const std::unique_ptr<DIR, DirCloser> dir(opendir(QFile::encodeName(folder).constData()));
    if (!dir) return names;
    const QString prefix = WithTrailingSlash(folder);
    while (const dirent* entry = readdir(dir.get())) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name == QLatin1String(".") || name == QLatin1String("..")) continue;
        // A directory named like a video (clips.avi) is still a directory.
        if (!IsRegularFile(prefix + name)) continue;
        if (!IsPlaylistFileName(name) && !IsRecording(prefix + name, isRecording)) continue;
        names.push_back(name);
    }
    return names;
}
