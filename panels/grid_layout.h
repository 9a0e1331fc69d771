#pragma once
// Where the tiles of a camera grid lie in the video pane: 1, 2x2, 3x3 or 4x4 cells by the number of
// files, filled row by row, and what the tile's label says. Pure functions: any thread.

#include <QString>
#include <vector>

#include "platform/geometry.h"

// The most tiles a grid shows: 4x4.
constexpr int kMaxGridTiles = 16;

// Cells per row (and rows): 1 for one file, 2 up to four, 3 up to nine, 4 up to sixteen.
int GridSide(int tileCount);

// The cell of each of the first tileCount tiles (at most kMaxGridTiles) in client, row by row; the
// cells share the client's width and height out whole pixel by whole pixel, so they touch and
// cover it exactly.
std::vector<platform::Rect> GridCellRects(int tileCount, const platform::Rect& client);

// The tile's label: the file's name, and the recorder's clock when it is known.
QString GridTileLabel(const QString& fileName, const QString& clockText);
