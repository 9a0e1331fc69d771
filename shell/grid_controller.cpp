#include "shell/grid_controller.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>

#include "engine/debug_output.h"
#include "panels/grid_layout.h"
#include "platform/messages.h"
#include "platform/sync.h"

using namespace platform;

namespace {

constexpr int kLookIntervalMs = 50;
// A tile leads the grid once it has played this long since its start or its last seek.
constexpr uint64_t kReferenceAfterMs = 1000;
// Looks in a row a tile must be out of step before it is sent back to its place.
constexpr int kOutOfStepLooks = 3;
// The longest the wall clock carries the grid after a seek while the tiles land.
constexpr uint64_t kLongestSettleMs = 8000;
// A tile has landed when it shows a moment this close to the grid's.
constexpr int64_t kLandedWithinMs = 1000;
constexpr int64_t kDefaultPictureIntervalMs = 40;

// Speed codes as fractions of the wall clock: normal, a quarter, a half, double, four times.
struct SpeedFraction {
    int64_t numerator;
    int64_t denominator;
};
constexpr SpeedFraction kSpeedFractions[] = {{1, 1}, {1, 4}, {1, 2}, {2, 1}, {4, 1}};

SpeedFraction FractionOf(int speedCode) {
    if (speedCode < 0 || speedCode > 4) return kSpeedFractions[0];
    return kSpeedFractions[speedCode];
}

}  // namespace

// Hears a session's end of file, on the session's worker thread: only a flag is set there.
class CTileEndWatch : private MessageSink {
public:
    CTileEndWatch() : m_hWnd(RegisterWindow(this)) {}
    ~CTileEndWatch() override { UnregisterWindow(m_hWnd); }
    CTileEndWatch(const CTileEndWatch&) = delete;
    CTileEndWatch& operator=(const CTileEndWatch&) = delete;

    WindowHandle Handle() const { return m_hWnd; }
    bool Ended() const { return m_bEnded.load(); }

private:
    void Deliver(const Message& message) override {
        if (message.message == kWmCommand && message.wParam == ID_END_OF_FILE) m_bEnded = true;
    }

    WindowHandle m_hWnd = nullptr;
    std::atomic<bool> m_bEnded{false};
};

struct CGridController::Tile {
    QString path;
    // The watch outlives the session, whose workers post to it until StopPlay has joined them.
    std::unique_ptr<CTileEndWatch> endWatch;
    std::unique_ptr<CPlayerCore> session;
    RecordedClock clock;
    GridTileSpan span;
    int64_t pictureIntervalMs = kDefaultPictureIntervalMs;
    bool running = false;          // playing with the grid
    uint64_t runningSinceMs = 0;   // since its start or its last seek
    int64_t pendingSeekMs = -1;    // a file position still to be taken by the session
    int outOfStepLooks = 0;
    bool primed = false;  // played, while the grid is paused, until it takes its seek
    std::string openError;
    // The position of the last picture the session handed to its tile; -1 before the first.
    // Written by the session's video thread.
    std::atomic<int64_t> shownMs{-1};

    bool Ended() const { return !session || (endWatch && endWatch->Ended()); }
    // What the tile shows, on the grid's line: its last picture's moment. The session's position
    // runs ahead of that by the sound it has written and not yet played.
    int64_t GridMomentShown() const {
        const int64_t shown = shownMs.load();
        return span.offsetMs + (shown >= 0 ? shown : session->GetPosition());
    }
    void StopSession() {
        if (session && session->IsOpened()) session->StopPlay();
        session.reset();
        endWatch.reset();
    }
};

CGridController::CGridController(CWnd& videoPane) : m_videoPane(videoPane) {
    m_lookTimer.setInterval(kLookIntervalMs);
    QObject::connect(&m_lookTimer, &QTimer::timeout, this, [this] { Look(); });
}

CGridController::~CGridController() { Close(); }

bool CGridController::Open(const QStringList& paths, QStringList* failures) {
    QStringList candidates = paths.mid(0, kMaxGridTiles);
    // Each tile's window must exist before its session opens; when some files fail, the grid is
    // made again without them.
    while (!candidates.isEmpty()) {
        const QStringList failed = OpenTiles(candidates, failures);
        if (failed.isEmpty()) break;
        for (const QString& path : failed) candidates.removeAll(path);
    }
    if (!IsOpen()) return false;
    std::vector<GridFile> files;
    for (const auto& tile : m_tiles) files.push_back({tile->clock, tile->session->GetDuration()});
    m_line = LayGridLine(files);
    m_nLengthMs = m_line.lengthMs;
    for (int i = 0; i < TileCount(); ++i) m_tiles[static_cast<size_t>(i)]->span = m_line.tiles[static_cast<size_t>(i)];
    m_bEndReported = false;
    m_bPlaying = true;
    Anchor(0, TickMs64());
    Look();
    m_lookTimer.start();
    return true;
}

// A grid of the files, each opened in its tile; the paths that failed (and the grid closed again),
// or none.
QStringList CGridController::OpenTiles(const QStringList& paths, QStringList* failures) {
    Close();
    m_pPane = std::make_unique<CGridPane>([this](int index) { OnTileSelected(index); });
    if (!m_pPane->Create(m_videoPane, static_cast<int>(paths.size()))) {
        Close();
        return paths;
    }
    QStringList failed;
    for (int i = 0; i < static_cast<int>(paths.size()); ++i) {
        auto tile = std::make_unique<Tile>();
        tile->path = paths[i];
        if (!OpenSession(*tile, i)) {
            failed.append(tile->path);
            if (failures) failures->append(QString::fromStdString(tile->openError));
        }
        tile->clock = tile->session ? tile->session->GetRecordedClock() : RecordedClock{};
        m_pPane->SetTileLabel(i, GridTileLabel(QFileInfo(tile->path).fileName(), QString()));
        m_tiles.push_back(std::move(tile));
    }
    if (!failed.isEmpty()) Close();
    return failed;
}

// A session of its own for the tile, attached to the tile's window; silent unless selected.
bool CGridController::OpenSession(Tile& tile, int index) {
    tile.StopSession();
    tile.endWatch = std::make_unique<CTileEndWatch>();
    tile.session = std::make_unique<CPlayerCore>();
    tile.running = false;
    tile.pendingSeekMs = -1;
    tile.primed = false;
    tile.shownMs = -1;
    tile.session->SetPictureObserver([shown = &tile.shownMs](int64_t pictureMs) { *shown = pictureMs; });
    tile.session->Attach(m_pPane->TileHandle(index), tile.endWatch->Handle());
    tile.session->SetSoundMuted(index != SelectedTile());
    if (!tile.session->OpenFile(QFile::encodeName(tile.path).constData())) {
        tile.openError = tile.session->GetOpenError();
        tile.StopSession();
        return false;
    }
    if (const int rate = tile.session->GetFrameRate(); rate > 0) tile.pictureIntervalMs = 1000 / rate;
    tile.session->SetSpeed(m_nSpeed);
    return true;
}

void CGridController::Close() {
    m_lookTimer.stop();
    // The sessions stop before the tiles they present into are destroyed.
    for (auto& tile : m_tiles) tile->StopSession();
    m_tiles.clear();
    m_pPane.reset();
    m_nLengthMs = 0;
    m_nPositionMs = 0;
    m_bPlaying = false;
}

void CGridController::Play() {
    const uint64_t now = TickMs64();
    Anchor(GridMomentNow(now), now);
    m_bPlaying = true;
    Look();
}

void CGridController::Pause() {
    const uint64_t now = TickMs64();
    Anchor(GridMomentNow(now), now);
    m_bPlaying = false;
    for (auto& tile : m_tiles) HoldTile(*tile);
}

void CGridController::StepFrame() {
    const uint64_t now = TickMs64();
    Anchor(GridMomentNow(now), now);
    m_bPlaying = false;
    m_nSpeed = 0;
    for (auto& tile : m_tiles) {
        tile->running = false;
        if (!tile->Ended() && tile->span.HasFootageAt(m_nAnchorMs)) tile->session->StepFrame();
    }
}

void CGridController::SetSpeed(int speedCode) {
    const uint64_t now = TickMs64();
    Anchor(GridMomentNow(now), now);
    m_nSpeed = speedCode;
    for (auto& tile : m_tiles)
        if (tile->session) tile->session->SetSpeed(speedCode);
}

bool CGridController::SeekTo(int64_t gridMs) {
    if (!IsOpen() || gridMs < 0 || gridMs > m_line.lengthMs) return false;
    const uint64_t now = TickMs64();
    Anchor(gridMs, now);
    m_bSettling = true;
    m_nSettleEndMs = now + kLongestSettleMs;
    m_bEndReported = false;
    for (int i = 0; i < TileCount(); ++i) {
        Tile& tile = *m_tiles[static_cast<size_t>(i)];
        if (!tile.span.HasFootageAt(gridMs)) {
            HoldTile(tile);
            continue;
        }
        if (tile.Ended()) OpenSession(tile, i);
        tile.pendingSeekMs = tile.span.FilePositionAt(gridMs);
        tile.runningSinceMs = now;
    }
    Look();
    return true;
}

int CGridController::SelectedTile() const { return m_pPane ? m_pPane->Selected() : 0; }

QString CGridController::TileFile(int index) const {
    if (index < 0 || index >= TileCount()) return QString();
    return m_tiles[static_cast<size_t>(index)]->path;
}

bool CGridController::TakeSnapshot(int index, const char* path) {
    if (index < 0 || index >= TileCount() || !m_pPane->TileHasFootage(index)) return false;
    Tile& tile = *m_tiles[static_cast<size_t>(index)];
    return !tile.Ended() && tile.session->TakeSnapshot(path);
}

void CGridController::OnTileSelected(int index) {
    for (int i = 0; i < TileCount(); ++i) {
        Tile& tile = *m_tiles[static_cast<size_t>(i)];
        if (tile.session) tile.session->SetSoundMuted(i != index);
    }
}

void CGridController::Anchor(int64_t gridMs, uint64_t nowMs) {
    m_nAnchorMs = std::clamp<int64_t>(gridMs, 0, m_line.lengthMs);
    m_nAnchorTickMs = nowMs;
}

int64_t CGridController::WallMomentAt(uint64_t nowMs) const {
    if (!m_bPlaying) return m_nAnchorMs;
    const SpeedFraction speed = FractionOf(m_nSpeed);
    const auto elapsed = static_cast<int64_t>(nowMs - m_nAnchorTickMs);
    return m_nAnchorMs + elapsed * speed.numerator / speed.denominator;
}

// The reference tile's moment, once one has played a while; the wall clock's before that.
int64_t CGridController::GridMomentNow(uint64_t nowMs) {
    if (m_bSettling && (nowMs >= m_nSettleEndMs || EveryTileLanded(WallMomentAt(nowMs)))) m_bSettling = false;
    if (!m_bSettling) {
        if (Tile* reference = ReferenceTile(nowMs)) {
            Anchor(reference->GridMomentShown(), nowMs);
            return m_nAnchorMs;
        }
    }
    return WallMomentAt(nowMs);
}

CGridController::Tile* CGridController::ReferenceTile(uint64_t nowMs) {
    const auto leads = [&](const Tile& tile) {
        return tile.running && !tile.Ended() && tile.pendingSeekMs < 0 && nowMs - tile.runningSinceMs >= kReferenceAfterMs;
    };
    const int selected = SelectedTile();
    if (selected < TileCount() && leads(*m_tiles[static_cast<size_t>(selected)]))
        return m_tiles[static_cast<size_t>(selected)].get();
    for (auto& tile : m_tiles)
        if (leads(*tile)) return tile.get();
    return nullptr;
}

bool CGridController::EveryTileLanded(int64_t gridMs) const {
    for (const auto& tile : m_tiles) {
        if (tile->Ended() || !tile->span.HasFootageAt(gridMs)) continue;
        if (tile->pendingSeekMs >= 0 || std::llabs(tile->GridMomentShown() - gridMs) > kLandedWithinMs) return false;
    }
    return true;
}

// One look at every tile: who has footage now, who must start, wait or go back to its place.
void CGridController::Look() {
    if (!IsOpen()) return;
    const uint64_t now = TickMs64();
    const int64_t gridMs = std::clamp<int64_t>(GridMomentNow(now), 0, m_line.lengthMs);
    m_nPositionMs = gridMs;
    for (auto& tile : m_tiles) KeepTileInStep(*tile, gridMs, now);
    for (int i = 0; i < TileCount(); ++i) ShowTile(i, *m_tiles[static_cast<size_t>(i)], gridMs);
    NoteSkew(gridMs);
    if (m_bPlaying && gridMs >= m_line.lengthMs && !m_bEndReported) {
        m_bEndReported = true;
        if (m_onEnd) QTimer::singleShot(0, this, [this] { if (m_onEnd) m_onEnd(); });
    }
}

void CGridController::KeepTileInStep(Tile& tile, int64_t gridMs, uint64_t nowMs) {
    const bool footage = tile.span.HasFootageAt(gridMs);
    if (!footage) {
        HoldTile(tile);
        return;
    }
    if (tile.Ended()) {
        // Its file ended before the grid says it should (a short last stretch): black until a seek.
        if (tile.running) HoldTile(tile);
        return;
    }
    if (m_bPlaying && !tile.running) StartTile(tile, gridMs, nowMs);
    // A session takes seeks once its clock runs: one that never played plays until it does, and
    // is held again at the picture the seek lands on.
    if (!m_bPlaying && tile.pendingSeekMs >= 0 && tile.shownMs < 0 && !tile.primed) {
        tile.session->Play();
        tile.primed = true;
    }
    if (tile.pendingSeekMs >= 0 && tile.session->SeekTo(tile.pendingSeekMs)) {
        if (!m_bPlaying && tile.primed) {
            tile.session->Pause();
            tile.session->StepFrame();
        }
        tile.primed = false;
        OutputDebugFormat("grid: %s seeks to %lld ms\n", QFile::encodeName(tile.path).constData(),
                          static_cast<long long>(tile.pendingSeekMs));
        tile.pendingSeekMs = -1;
        tile.runningSinceMs = nowMs;
        tile.outOfStepLooks = 0;
    }
    if (m_bPlaying && !m_bSettling && tile.pendingSeekMs < 0) KeepInPlace(tile, gridMs);
}

// A tile whose footage begins now starts from where the grid is, not from where it stood.
void CGridController::StartTile(Tile& tile, int64_t gridMs, uint64_t nowMs) {
    tile.session->Play();
    tile.running = true;
    tile.runningSinceMs = nowMs;
    tile.outOfStepLooks = 0;
    const int64_t wanted = tile.span.FilePositionAt(gridMs);
    if (TileOutOfStep(tile.span, tile.GridMomentShown() - tile.span.offsetMs, gridMs, tile.pictureIntervalMs))
        tile.pendingSeekMs = wanted;
}

void CGridController::HoldTile(Tile& tile) {
    if (tile.running && tile.session) tile.session->Pause();
    tile.running = false;
}

void CGridController::KeepInPlace(Tile& tile, int64_t gridMs) {
    if (!tile.running) return;
    if (!TileOutOfStep(tile.span, tile.GridMomentShown() - tile.span.offsetMs, gridMs, tile.pictureIntervalMs)) {
        tile.outOfStepLooks = 0;
        return;
    }
    if (++tile.outOfStepLooks < kOutOfStepLooks) return;
    OutputDebugFormat("grid: %s is at %lld ms, the grid at %lld ms: sent back to its place\n",
                      QFile::encodeName(tile.path).constData(), static_cast<long long>(tile.GridMomentShown()),
                      static_cast<long long>(gridMs));
    tile.pendingSeekMs = std::clamp<int64_t>(tile.span.FilePositionAt(gridMs), 0, tile.span.durationMs);
    tile.outOfStepLooks = 0;
}

void CGridController::ShowTile(int index, const Tile& tile, int64_t gridMs) {
    const bool footage = tile.span.HasFootageAt(gridMs) && !tile.Ended();
    m_pPane->SetTileFootage(index, footage);
    const QString clockText =
        footage ? QString::fromStdString(FormatClockAt(tile.clock, tile.GridMomentShown() - tile.span.offsetMs, ClockZone::Local))
                : QString();
    m_pPane->SetTileLabel(index, GridTileLabel(QFileInfo(tile.path).fileName(), clockText));
}

void CGridController::NoteSkew(int64_t gridMs) {
    int64_t earliest = INT64_MAX;
    int64_t latest = INT64_MIN;
    for (const auto& tile : m_tiles) {
        if (!tile->running || tile->Ended() || tile->pendingSeekMs >= 0 || !tile->span.HasFootageAt(gridMs)) continue;
        earliest = std::min(earliest, tile->GridMomentShown());
        latest = std::max(latest, tile->GridMomentShown());
    }
    const int64_t skewMs = earliest <= latest ? latest - earliest : 0;
    if (skewMs != m_nLastSkewMs) OutputDebugFormat("grid: skew %lld ms at %lld ms\n", static_cast<long long>(skewMs), static_cast<long long>(gridMs));
    m_nLastSkewMs = skewMs;
}
