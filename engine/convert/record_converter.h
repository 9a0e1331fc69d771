#pragma once
// Turns one recording into an MP4 file: the pictures are copied as they are, AAC sound is copied and
// G.711 sound is encoded to AAC; every frame keeps the time the recorder gave it. A container file
// (mp4, mkv, avi) is copied into the MP4 as it is, with the sound the MP4 can hold. Either may be
// cut to a stretch: from the key picture at or before its start to its end, without re-encoding.
// The MP4's creation_time is the recorder's clock of its first picture, in UTC, and its title
// names the source file. The MP4 is written
// under a temporary name in the destination folder and takes its final name only when complete, so
// a failed or cancelled conversion leaves nothing under that name.
// Threads: Convert runs on the caller's thread and calls progress there; the cancel flag may be set
// from any thread and is looked at before every frame.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/recorded_clock.h"

enum class ConvertStatus {
    kOk,
    kCancelled,
    kNotRecording,  // no recording magic, or not a readable file
    kCannotRead,    // a recording that cannot be opened (held by another program, unreadable)
    kNoPictures,    // no picture the MP4 could start with
    kBadSound,      // sound that can be neither copied nor converted
    kCannotWrite,   // the destination folder does not take the file
    kFailed,        // the libraries refused the streams
};

struct ConvertResult {
    ConvertStatus status = ConvertStatus::kFailed;
    std::string outputPath;  // the MP4 written; empty unless status is kOk
    std::string detail;      // the libraries' or the system's own words, for logs; may be empty
    int pictures = 0;        // pictures written
};

// A stretch of a file, in ms from its start as the player's position counts them.
struct ConvertStretch {
    int64_t fromMs = 0;
    int64_t toMs = 0;

    bool IsValid() const { return fromMs >= 0 && toMs > fromMs; }
};

// Keeps the libraries' own messages (encoder statistics, complaints about damaged frames) off the
// console: a conversion reports its failure itself. Call once at start-up, before any thread
// converts.
void QuietConverterLibraries();

// An English sentence for a status, for the command line and logs.
const char* ConvertStatusText(ConvertStatus status);

// The MP4 path for a recording: its name with the extension replaced by .mp4, in folder (the
// recording's own folder when empty). A recording that already ends in .mp4 gets "-converted"
// added instead, so it is never written over. A stretch adds its start and end to the name
// ("cam_0-01-05_0-01-20.mp4"), so clips of one recording lie side by side.
std::string Mp4PathFor(const std::string& recording, const std::string& folder,
                       const std::optional<ConvertStretch>& stretch = std::nullopt);

// The MP4 creation_time for a clock position: "2025-12-10T09:00:05.000Z", UTC as MP4 keeps it.
// Empty when the clock has no date.
std::string Mp4CreationTime(const RecordedClock& clock, int64_t positionMs);

class CRecordConverter {
public:
    // fraction from 0 to 1, of the recording's bytes consumed.
    using ProgressFn = std::function<void(double fraction)>;

    // cancel may be null; when set (from any thread), the conversion in progress stops.
    explicit CRecordConverter(const std::atomic<bool>* cancel = nullptr) : m_cancel(cancel) {}

    // Writes Mp4PathFor(recording, folder, stretch). An existing file of that name is never
    // replaced: the MP4 then takes the first free name "<name> (2).mp4", "<name> (3).mp4", ...
    // Progress counts the recording's bytes, or the stretch's time when one is given.
    ConvertResult Convert(const std::string& recording, const std::string& folder, const ProgressFn& progress = {},
                          const std::optional<ConvertStretch>& stretch = std::nullopt) const;

private:
    ConvertResult ConvertRecording(const std::string& recording, const std::string& mp4Path,
                                   const ProgressFn& progress, const std::optional<ConvertStretch>& stretch) const;
    ConvertResult ConvertContainer(const std::string& file, const std::string& mp4Path, const ProgressFn& progress,
                                   const std::optional<ConvertStretch>& stretch) const;

    const std::atomic<bool>* m_cancel;
};
