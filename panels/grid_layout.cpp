#include "panels/grid_layout.h"

#include <algorithm>

using platform::Rect;

int GridSide(int tileCount) {
    if (tileCount <= 1) return 1;
    if (tileCount <= 4) return 2;
    if (tileCount <= 9) return 3;
    return 4;
}

namespace {

// The edge of piece i of n pieces of length, starting at origin.
int32_t Edge(int32_t origin, int32_t length, int i, int n) { return origin + length * i / n; }

}  // namespace

std::vector<Rect> GridCellRects(int tileCount, const Rect& client) {
    const int count = std::clamp(tileCount, 0, kMaxGridTiles);
    const int side = GridSide(count);
    std::vector<Rect> cells;
    for (int i = 0; i < count; ++i) {
        const int column = i % side;
        const int row = i / side;
        cells.push_back(Rect{Edge(client.left, client.Width(), column, side),
                             Edge(client.top, client.Height(), row, side),
                             Edge(client.left, client.Width(), column + 1, side),
                             Edge(client.top, client.Height(), row + 1, side)});
    }
    return cells;
}

QString GridTileLabel(const QString& fileName, const QString& clockText) {
    if (clockText.isEmpty()) return fileName;
    return fileName + QStringLiteral("  ") + clockText;
}
