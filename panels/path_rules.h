#pragma once
// The rules by which the panes take a file name or a path: which files a folder scan lists, which
// paths the open dialog and a drop accept, and how a path splits into its folder and its name.
// Paths use '/' and a folder ends with '/'. Pure functions, except the scan, which reads a folder.

#include <QString>
#include <QStringList>
#include <functional>

// Whether the file at a path is one of the recorders' recordings, judged by its content, whatever
// its name. The panes know nothing of the recording format: the main panel hands them the engine's
// test. An empty test takes no file by content.
using RecordingTest = std::function<bool(const QString& path)>;

// A folder scan lists a file when everything after the first dot of its name (the whole name when
// it has none) is exactly avi, AVI, mp4, MP4, mkv or MKV.
bool IsPlaylistFileName(const QString& name);

// The open dialog accepts a path whose last three characters are exactly avi, AVI, mp4, MP4, mkv
// or MKV (no dot is needed before them), and a recording of any name.
bool IsOpenDialogPathAccepted(const QString& path, const RecordingTest& isRecording = {});

// A drop is played when exactly one path came and its last three characters are exactly avi, AVI,
// mp4, MP4, mkv or MKV, or it is a recording of any name.
bool IsDropAccepted(const QStringList& paths, const RecordingTest& isRecording = {});

// The path up to and including its last '/'; empty when it has none.
QString FolderOfPath(const QString& path);
// What follows the last '/' (the whole path when it has none).
QString NameOfPath(const QString& path);
// The folder with one '/' at its end ("/" stays "/").
QString WithTrailingSlash(const QString& folder);

// The names of the files directly in folder (no subfolders, no "." or "..") that
// IsPlaylistFileName takes or that are recordings, in the order the file system lists them. Empty
// when the folder cannot be read.
QStringList ScanPlaylistFolder(const QString& folder, const RecordingTest& isRecording = {});
