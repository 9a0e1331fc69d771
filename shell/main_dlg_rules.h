#pragma once
// The main panel's arithmetic, as pure functions: where the four panes go in each layout, how
// the speed buttons cycle, what a snapshot file is called, how the converter is started and which
// durations the position slider can show.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <utility>

#include "platform/geometry.h"

namespace main_panel {

constexpr int kLayoutWithPlaylist = 1;
constexpr int kLayoutWithoutPlaylist = 2;

// The language entries of the message "The file cannot be opened" and of the status bar's
// notice of a saved snapshot.
constexpr int kOpenFailedText = 25;
constexpr int kSnapshotSavedText = 26;

struct PaneRects {
    platform::Rect ctrl;
    platform::Rect list;
    platform::Rect play;
    platform::Rect status;
};

// The panes' rectangles inside the panel's client rectangle; none for an unknown layout.
std::optional<PaneRects> LayoutRects(int layout, const platform::Rect& client);

// Speed codes: 0 normal, 1 a quarter, 2 a half, 3 double, 4 four times.
int NextSlowerSpeed(int speed);
int NextFasterSpeed(int speed);

// "year_month_day-hour_minute_second.jpg" without leading zeros, from a broken-down local time.
QString SnapshotFileName(const std::tm& localTime);
// The folder (ending with a separator) followed by the name.
QString SnapshotPath(const QString& folder, const std::tm& localTime);
// SnapshotPath, or when isTaken says a file is there already (a second snapshot in the same
// second), the first free one of the same name with "_2", "_3", ... before ".jpg".
QString FreeSnapshotPath(const QString& folder, const std::tm& localTime,
                         const std::function<bool(const QString& path)>& isTaken);

// The converter lives beside the player under its own name: every "Quillon" in the player's
// path becomes "Kadrel".
QString ConverterPath(const QString& playerPath);
// The converter's argument vector: its own path, then the language identifier in decimal, then
// the playing file when there is one, and the stretch marked in it ("--from MS --to MS").
QStringList ConverterArguments(const QString& converterPath, uint32_t languageId, const QString& playingFile = {},
                               const std::optional<std::pair<int64_t, int64_t>>& stretch = std::nullopt);

// The slider's range for a duration in ms; none when the duration is 0 (not known yet), which
// leaves the range as it was. A duration beyond the slider's 32 bits takes its whole range.
std::optional<uint32_t> SliderRangeForDuration(int64_t durationMs);

// The volume range is 0..65535; a volume key moves it by a sixteenth.
constexpr uint32_t kVolumeStep = 4096;
constexpr uint32_t kLoudestVolume = 65535;
// The volume `steps` steps from `volume`, kept within the range.
uint32_t SteppedVolume(uint32_t volume, int steps);
// Where a relative seek lands: position + delta, not before the start and not past the duration;
// a duration of 0 or less is unknown and bounds nothing.
int64_t RelativeSeekTarget(int64_t positionMs, int64_t durationMs, int64_t deltaMs);

}  // namespace main_panel
