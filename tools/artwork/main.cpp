// Renders the frame artwork into the folder given on the command line.

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "frame_art.h"
#include "icon_file.h"

using namespace artwork;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <pictures folder>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) return 1;

    bool ok = DrawBackground().save(folder.filePath("background.png"));
    for (ButtonKind kind : {ButtonKind::Minimise, ButtonKind::Maximise, ButtonKind::Restore, ButtonKind::Close})
        for (ButtonState state : {ButtonState::Normal, ButtonState::Hover, ButtonState::Click})
            ok = DrawCaptionButton(kind, state).save(folder.filePath(ButtonFileName(kind, state) + ".png")) && ok;
    std::vector<QImage> icons;
    for (int size : {16, 24, 32, 48, 256}) icons.push_back(DrawIcon(size));
    ok = WriteIconFile(folder.filePath("Orvex.ico"), icons) && ok;
    if (!ok) std::fprintf(stderr, "could not write every picture into %s\n", argv[1]);
    return ok ? 0 : 1;
}
