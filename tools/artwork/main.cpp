// Renders the frame artwork into the pictures folder and, when given, the controls' artwork into
// the images folder, and a contact sheet of the controls' artwork for a person to look at.

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "control_art.h"
#include "frame_art.h"
#include "icon_file.h"

using namespace artwork;

namespace {

bool MakeFolder(const QDir& folder) { return folder.exists() || QDir().mkpath(folder.path()); }

// Each picture also at twice the size, for screens of more than one device pixel per logical one.
constexpr int kScales[] = {1, 2};

bool WriteFramePictures(const QDir& folder) {
    if (!MakeFolder(folder)) return false;
    bool ok = true;
    for (int scale : kScales) {
        const auto path = [&](const QString& name) { return folder.filePath(ScaledFileName(name, scale)); };
        ok = DrawBackground(scale).save(path(QStringLiteral("background.png"))) && ok;
        for (ButtonKind kind : {ButtonKind::Minimise, ButtonKind::Maximise, ButtonKind::Restore, ButtonKind::Close})
            for (ButtonState state : {ButtonState::Normal, ButtonState::Hover, ButtonState::Click})
                ok = DrawCaptionButton(kind, state, scale).save(path(ButtonFileName(kind, state) + ".png")) && ok;
    }
    std::vector<QImage> icons;
    for (int size : {16, 24, 32, 48, 256}) icons.push_back(DrawIcon(size));
    return WriteIconFile(folder.filePath("Orvex.ico"), icons) && ok;
}

// The application icon at the sizes desktop icon themes look for, one PNG per size.
bool WriteIconPictures(const QDir& folder) {
    if (!MakeFolder(folder)) return false;
    bool ok = true;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        ok = DrawIcon(size).save(folder.filePath(QStringLiteral("telvane-%1.png").arg(size))) && ok;
    return ok;
}

bool WriteControlPictures(const QDir& folder, const QString& sheetPath) {
    if (!MakeFolder(folder)) return false;
    const std::vector<NamedPicture> pictures = DrawControlPictures();
    bool ok = true;
    for (int scale : kScales)
        for (const NamedPicture& picture : DrawControlPictures(scale))
            ok = picture.image.save(folder.filePath(picture.fileName)) && ok;
    if (!sheetPath.isEmpty()) ok = DrawContactSheet(pictures, 4).save(sheetPath) && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const bool iconsOnly = argc == 3 && QByteArray(argv[1]) == "--icons";
    if (argc < 2 || argc > 4 || (!iconsOnly && QByteArray(argv[1]).startsWith("--"))) {
        std::fprintf(stderr,
                     "usage: %s <pictures folder> [<images folder> [<contact sheet.png>]]\n"
                     "       %s --icons <icons folder>\n",
                     argv[0], argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (iconsOnly) {
        const bool written = WriteIconPictures(QDir(QString::fromLocal8Bit(argv[2])));
        if (!written) std::fprintf(stderr, "could not write every icon\n");
        return written ? 0 : 1;
    }
    bool ok = WriteFramePictures(QDir(QString::fromLocal8Bit(argv[1])));
    if (argc >= 3) {
        const QString sheet = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();
        ok = WriteControlPictures(QDir(QString::fromLocal8Bit(argv[2])), sheet) && ok;
    }
    if (!ok) std::fprintf(stderr, "could not write every picture\n");
    return ok ? 0 : 1;
}
