#include "shell/main_dlg_rules.h"

#include <algorithm>
#include <cstdint>

using platform::Rect;

namespace main_panel {

namespace {

constexpr int kStatusBarHeight = 38;
constexpr int kVideoTop = 39;
constexpr int kControlBarHeight = 80;
constexpr int kPlaylistWidth = 245;
// The bars stop one pixel short of the playlist column.
constexpr int kBarsRightMargin = 246;
// The slider counts milliseconds in 32 bits: seven weeks, far beyond a day's recording.
constexpr int64_t kLongestShownDurationMs = UINT32_MAX;

constexpr int kMostSnapshotsPerSecond = 1000;

enum SpeedCode { kNormal = 0, kQuarter = 1, kHalf = 2, kDouble = 3, kFourTimes = 4 };

}  // namespace

std::optional<PaneRects> LayoutRects(int layout, const Rect& client) {
    const auto [l, t, r, b] = client;
    if (layout == kLayoutWithPlaylist) {
        return PaneRects{{l, b - kControlBarHeight, r - kBarsRightMargin, b},
                         {r - kPlaylistWidth, t, r, b},
                         {l, t + kVideoTop, r - kPlaylistWidth, b - kControlBarHeight},
                         {l, t, r - kBarsRightMargin, t + kStatusBarHeight}};
    }
    if (layout == kLayoutWithoutPlaylist) {
        return PaneRects{{l, b - kControlBarHeight, r, b},
                         {0, 0, 0, 0},
                         {l, t + kVideoTop, r, b - kControlBarHeight},
                         {l, t, r, t + kStatusBarHeight}};
    }
    return std::nullopt;
}

int NextSlowerSpeed(int speed) {
    if (speed == kHalf) return kQuarter;
    if (speed == kQuarter) return kNormal;
    return kHalf;
}

int NextFasterSpeed(int speed) {
    if (speed == kDouble) return kFourTimes;
    if (speed == kFourTimes) return kNormal;
    return kDouble;
}

QString SnapshotFileName(const std::tm& localTime) {
    return QStringLiteral("%1_%2_%3-%4_%5_%6.jpg")
        .arg(localTime.tm_year + 1900)
        .arg(localTime.tm_mon + 1)
        .arg(localTime.tm_mday)
        .arg(localTime.tm_hour)
        .arg(localTime.tm_min)
        .arg(localTime.tm_sec);
}

QString SnapshotPath(const QString& folder, const std::tm& localTime) {
    return folder + SnapshotFileName(localTime);
}

QString FreeSnapshotPath(const QString& folder, const std::tm& localTime,
                         const std::function<bool(const QString& path)>& isTaken) {
    const QString first = SnapshotPath(folder, localTime);
    QString path = first;
    // Bounded, so that a folder that claims every name cannot hold the player here.
    for (int suffix = 2; suffix <= kMostSnapshotsPerSecond && isTaken(path); ++suffix) {
        path = first.chopped(4) + QStringLiteral("_%1.jpg").arg(suffix);
    }
    return path;
}

QString ConverterPath(const QString& playerPath) {
    QString path = playerPath;
    return path.replace(QStringLiteral("Quillon"), QStringLiteral("Kadrel"), Qt::CaseSensitive);
}

QStringList ConverterArguments(const QString& converterPath, uint32_t languageId, const QString& playingFile,
                               const std::optional<std::pair<int64_t, int64_t>>& stretch) {
    QStringList arguments{converterPath, QString::number(languageId)};
    if (playingFile.isEmpty()) return arguments;
    arguments << playingFile;
    if (stretch) {
        arguments << QStringLiteral("--from") << QString::number(stretch->first) << QStringLiteral("--to")
                  << QString::number(stretch->second);
    }
    return arguments;
}

uint32_t SteppedVolume(uint32_t volume, int steps) {
    const int64_t stepped = static_cast<int64_t>(volume) + static_cast<int64_t>(steps) * kVolumeStep;
    return static_cast<uint32_t>(std::clamp<int64_t>(stepped, 0, kLoudestVolume));
}

int64_t RelativeSeekTarget(int64_t positionMs, int64_t durationMs, int64_t deltaMs) {
    int64_t target = std::max<int64_t>(positionMs + deltaMs, 0);
    if (durationMs > 0) target = std::min(target, durationMs);
    return target;
}

std::optional<uint32_t> SliderRangeForDuration(int64_t durationMs) {
    if (durationMs < 1) return std::nullopt;
    // The whole duration is compared: its low 32 bits alone could pass for a short file.
    return static_cast<uint32_t>(std::min<int64_t>(durationMs, kLongestShownDurationMs));
}

}  // namespace main_panel
