#include "icon_file.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>

namespace artwork {
namespace {

void PutU16(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void PutU32(QByteArray& out, uint32_t value) {
    PutU16(out, int(value & 0xFFFF));
    PutU16(out, int(value >> 16));
}

}  // namespace

bool WriteIconFile(const QString& path, const std::vector<QImage>& sizes) {
    std::vector<QByteArray> pngs;
    for (const QImage& image : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) return false;
        pngs.push_back(png);
    }
    QByteArray out;
    PutU16(out, 0);  // reserved
    PutU16(out, 1);  // icon
    PutU16(out, int(sizes.size()));
    uint32_t offset = 6 + 16 * uint32_t(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        const int side = sizes[i].width();
        out.append(char(side >= 256 ? 0 : side));  // 0 stands for 256
        out.append(char(side >= 256 ? 0 : sizes[i].height()));
        out.append(char(0));  // no palette
        out.append(char(0));
        PutU16(out, 1);   // planes
        PutU16(out, 32);  // bits per pixel
        PutU32(out, uint32_t(pngs[i].size()));
        PutU32(out, offset);
        offset += uint32_t(pngs[i].size());
    }
    for (const QByteArray& png : pngs) out.append(png);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

}  // namespace artwork
