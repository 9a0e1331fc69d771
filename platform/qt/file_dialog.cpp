#include "platform/qt/file_dialog.h"
#include "platform/qt/modal_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace platform {
namespace {

FileDialogAnswerer& DialogAnswerer() {
    static FileDialogAnswerer answerer;
    return answerer;
}

// Both dialogs start where the user last chose something during this run.
QString& LastFolder() {
    static QString folder;
    return folder;
}

QString StartFolder() { return LastFolder().isEmpty() ? QDir::homePath() : LastFolder(); }

QString QtPatterns(const QString& platformPatterns) {
    QStringList patterns;
    for (const QString& pattern : platformPatterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (trimmed.isEmpty()) continue;
        patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return patterns.join(QLatin1Char(' '));
}

QStringList Ask(const FileDialogRequest& request, QWidget* parent) {
    if (DialogAnswerer()) return DialogAnswerer()(request).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QFileDialog dialog(parent, request.title, StartFolder());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (request.kind == FileDialogRequest::Kind::Folder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        const bool several = request.kind == FileDialogRequest::Kind::OpenFiles;
        dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // The descriptions already name their patterns; the list shows them once.
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        if (!request.nameFilters.isEmpty()) dialog.setNameFilters(request.nameFilters);
    }
    if (ExecModalDialog(dialog) != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

}  // namespace

QStringList NameFiltersFromPlatformFilter(const QString& filter) {
    const QStringList fields = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        const QString description = fields[i].trimmed();
        const QString patterns = QtPatterns(fields[i + 1]);
        if (description.isEmpty() || patterns.isEmpty()) continue;
        filters << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return filters;
}

QString GetOpenFileName(QWidget* parent, const QString& platformFilter) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::OpenFile;
    request.nameFilters = NameFiltersFromPlatformFilter(platformFilter);
    const QStringList chosen = Ask(request, parent);
    if (chosen.isEmpty() || chosen.first().isEmpty()) return QString();
    const QFileInfo file(chosen.first());
    LastFolder() = file.absolutePath();
    return file.absoluteFilePath();
}

QStringList GetOpenFileNames(QWidget* parent, const QString& platformFilter) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::OpenFiles;
    request.nameFilters = NameFiltersFromPlatformFilter(platformFilter);
    QStringList paths;
    for (const QString& chosen : Ask(request, parent)) {
        const QFileInfo file(chosen);
        LastFolder() = file.absolutePath();
        paths << file.absoluteFilePath();
    }
    return paths;
}

QString BrowseForFolder(QWidget* parent, const QString& title) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Folder;
    request.title = title;
    const QStringList answer = Ask(request, parent);
    const QString chosen = answer.isEmpty() ? QString() : answer.first();
    if (chosen.isEmpty()) return QString();
    QString folder = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
    LastFolder() = folder;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

void SetFileDialogAnswererForTests(FileDialogAnswerer answerer) { DialogAnswerer() = std::move(answerer); }

}  // namespace platform
