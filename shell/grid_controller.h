#pragma once
// Plays several files side by side as a camera grid, in step by the recorders' clocks: one playback
// session per tile of a CGridPane, all driven as one. The grid's position is ms from the earliest
// start (grid_clock.h); a tile whose footage does not cover that moment shows "no recording" and
// waits, paused, until it does. The selected tile is heard, the others play silent.
//
// Keeping in step: a timer on the user-interface thread reads every session's position. The grid's
// moment is that of a reference tile that has been playing a while (the selected one when it can
// be), or the wall clock while none can be, just after a start or a seek. A tile more than two
// picture intervals off that moment for a few looks running is sent to it by a seek; the engine
// drops pictures that come too late on its own, so a slow tile loses pictures, not its place.
//
// Threads: everything on the user-interface thread, except GetDuration and GetPosition, which read
// atomics and may be called from the main panel's position thread.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/player_core.h"
#include "panels/grid_pane.h"
#include "shell/grid_clock.h"

class CGridController : public QObject {
public:
    explicit CGridController(platform::CWnd& videoPane);
    ~CGridController() override;
    CGridController(const CGridController&) = delete;
    CGridController& operator=(const CGridController&) = delete;

    // Opens each file into a tile (at most 16) and starts the grid at the earliest start. The files
    // that do not open are left out and described in *failures. False when none opened.
    bool Open(const QStringList& paths, QStringList* failures);
    // Stops every session and removes the grid from the video pane.
    void Close();
    bool IsOpen() const { return !m_tiles.empty(); }
    bool IsPlaying() const { return m_bPlaying; }

    void Play();
    void Pause();
    // One picture on in every tile with footage, and a pause; the speed goes back to normal.
    void StepFrame();
    // Speed codes as CPlayerCore's.
    void SetSpeed(int speedCode);
    // To gridMs from the earliest start, every tile; false when out of the grid's length.
    bool SeekTo(int64_t gridMs);
    // Any thread: the grid's length and its moment, ms from the earliest start.
    int64_t GetDuration() const { return m_nLengthMs.load(); }
    int64_t GetPosition() const { return m_nPositionMs.load(); }

    int TileCount() const { return static_cast<int>(m_tiles.size()); }
    int SelectedTile() const;
    QString TileFile(int index) const;
    // The picture tile `index` shows now as a JPEG at path; false for a tile without footage.
    bool TakeSnapshot(int index, const char* path);
    // The largest distance between two tiles with footage, ms, at the last look; for diagnostics.
    int64_t LastSkewMs() const { return m_nLastSkewMs; }

    // Called (through the event loop, so it may close the grid) once the grid has played to its end.
    void SetEndHandler(std::function<void()> onEnd) { m_onEnd = std::move(onEnd); }

private:
    struct Tile;

    QStringList OpenTiles(const QStringList& paths, QStringList* failures);
    bool OpenSession(Tile& tile, int index);
    void OnTileSelected(int index);
    void Look();
    int64_t GridMomentNow(uint64_t nowMs);
    int64_t WallMomentAt(uint64_t nowMs) const;
    Tile* ReferenceTile(uint64_t nowMs);
    bool EveryTileLanded(int64_t gridMs) const;
    void KeepTileInStep(Tile& tile, int64_t gridMs, uint64_t nowMs);
    void StartTile(Tile& tile, int64_t gridMs, uint64_t nowMs);
    void HoldTile(Tile& tile);
    void KeepInPlace(Tile& tile, int64_t gridMs);
    void ShowTile(int index, const Tile& tile, int64_t gridMs);
    void NoteSkew(int64_t gridMs);
    void Anchor(int64_t gridMs, uint64_t nowMs);

    platform::CWnd& m_videoPane;
    std::unique_ptr<CGridPane> m_pPane;
    std::vector<std::unique_ptr<Tile>> m_tiles;
    GridLine m_line;
    QTimer m_lookTimer;
    std::function<void()> m_onEnd;
    bool m_bEndReported = false;

    bool m_bPlaying = false;
    int m_nSpeed = 0;
    // The grid's moment at m_nAnchorTickMs; the wall clock carries it on at the speed from there.
    int64_t m_nAnchorMs = 0;
    uint64_t m_nAnchorTickMs = 0;
    // After a seek the tiles are landing: the wall clock carries the grid until they have.
    bool m_bSettling = false;
    uint64_t m_nSettleEndMs = 0;
    int64_t m_nLastSkewMs = 0;

    std::atomic<int64_t> m_nLengthMs{0};
    std::atomic<int64_t> m_nPositionMs{0};
};
