#pragma once
// The open-file dialog and the folder browser, as the panes ask for them, and a way for tests to
// answer them without a dialog. The dialogs are Qt's own (not the desktop's), so they behave alike
// everywhere and take a typed path and Enter. User-interface thread only.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace platform {

// "Video files (*.avi)|*.avi;|All Files (*.*)|*.*||": pairs of a description and its patterns
// (separated by ";"), each field ended by "|". Becomes Qt's name filters, one per pair, with
// "*.*" matching every name as it does there.
QStringList NameFiltersFromPlatformFilter(const QString& filter);

// Asks for one existing file; its absolute path, or empty when the user cancels.
QString GetOpenFileName(QWidget* parent, const QString& platformFilter);
// Asks for one or more existing files (several selected together); their absolute paths in the
// order given, or none when the user cancels. A test answerer gives them one per line.
QStringList GetOpenFileNames(QWidget* parent, const QString& platformFilter);
// Asks for a folder under `title`; its absolute path ending with "/" ("/" for the root), or empty
// when the user cancels.
QString BrowseForFolder(QWidget* parent, const QString& title);

// What a test answerer is asked: the dialog that would have been shown.
struct FileDialogRequest {
    enum class Kind { OpenFile, OpenFiles, Folder };
    Kind kind = Kind::OpenFile;
    QString title;            // the folder browser's
    QStringList nameFilters;  // the open-file dialog's
};
// Returns what the user would have chosen, as the dialog gives it; empty cancels.
using FileDialogAnswerer = std::function<QString(const FileDialogRequest&)>;
// Dialogs are answered by answerer instead of being shown; an empty one shows them again.
void SetFileDialogAnswererForTests(FileDialogAnswerer answerer);

}  // namespace platform
