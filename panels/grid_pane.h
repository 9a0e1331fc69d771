#pragma once
// The camera grid in the video pane: a black window over the whole pane holding one tile per file.
// Each tile is a window a playback session presents into, with a small label (the file's name and
// its clock), a frame around the selected tile, and black with "no recording" while its file has
// no footage at the grid's moment. A click on a tile selects it; a double click shows the selected
// tile alone over the whole pane, and another brings the grid back. Full screen takes the video
// pane, and the grid with it.
//
// Threads: user-interface thread only. The sessions' renderers present into the tiles' video
// targets from their own threads, as into the video pane's.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/geometry.h"
#include "platform/messages.h"
#include "platform/qt/wnd.h"

class CGridTile;

class CGridPane : public platform::CWnd {
public:
    // Told the index of a tile the user clicked.
    using SelectHandler = std::function<void(int index)>;

    explicit CGridPane(SelectHandler onSelect);
    ~CGridPane() override;

    // Creates the pane over the whole of videoPane with tileCount tiles (at most 16), the first one
    // selected; it follows the pane's size from then on. False when a window cannot be made.
    bool Create(platform::CWnd& videoPane, int tileCount);

    int TileCount() const { return static_cast<int>(m_tiles.size()); }
    // Where tile `index`'s session presents; null for an index out of range.
    platform::WindowHandle TileHandle(int index) const;
    void SetTileLabel(int index, const QString& label);
    // Without footage a tile shows black and the "no recording" mark, whatever was presented.
    void SetTileFootage(int index, bool hasFootage);
    bool TileHasFootage(int index) const;

    void Select(int index);
    int Selected() const { return m_nSelected; }
    // The selected tile alone over the whole pane, or the grid again.
    void ToggleSelectedAlone();
    bool IsShowingOneAlone() const { return m_bAlone; }
    // The tile's place on the screen, for tests and tools that look at it.
    platform::Rect TileScreenRect(int index) const;

protected:
    void OnSize(platform::UINT type, int width, int height) override;
    platform::BOOL OnEraseBkgnd(QPainter& dc) override;
    void OnDestroy() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CGridTile;
    void OnTileClicked(int index);
    void OnTileDoubleClicked(int index);
    void PlaceTiles();
    void FollowVideoPane();

    SelectHandler m_onSelect;
    platform::CWnd* m_pVideoPane = nullptr;
    std::vector<std::unique_ptr<CGridTile>> m_tiles;
    int m_nSelected = 0;
    bool m_bAlone = false;
};
