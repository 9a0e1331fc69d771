#pragma once
// The recorder's clock: when a picture was recorded, as against where it lies in the file. A
// position (ms from the file's start, as the session counts it) becomes a clock time by adding the
// clock at position 0. Recorders stamp milliseconds since 1970, so a stamp that reads as a date in
// a plausible range gives the full date and time; a smaller one is a time of day alone. Containers
// carry their start as a creation time. Pure functions of their inputs: any thread.

#include <cstdint>
#include <string>

enum class ClockKind {
    None,       // the file does not say when it was recorded
    DateTime,   // startMs counts ms since 1970-01-01 00:00 UTC
    TimeOfDay,  // startMs counts ms since midnight, in no stated zone
};

// Shown in the computer's time zone, or as UTC by the user's choice. A time of day alone is shown
// as the recorder wrote it either way.
enum class ClockZone { Local, Utc };

struct RecordedClock {
    ClockKind kind = ClockKind::None;
    int64_t startMs = 0;  // the clock at position 0

    bool IsKnown() const { return kind != ClockKind::None; }
    int64_t AtMs(int64_t positionMs) const { return startMs + positionMs; }
};

// Stamps between 1990-01-01 and 2100-01-01 (ms since 1970) read as dates.
constexpr int64_t kEarliestDateStampMs = 631'152'000'000;
constexpr int64_t kLatestDateStampMs = 4'102'444'800'000;

// The clock of a recording whose position 0 carries the recorder's stamp stampMs.
RecordedClock ClockFromRecorderStamp(uint64_t stampMs);

// A clock time taken apart, as shown and as written into a snapshot.
struct ClockParts {
    bool hasDate = false;
    int year = 0, month = 0, day = 0;  // when hasDate
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    bool hasOffset = false;            // a date's zone is known: its offset from UTC
    int offsetMinutes = 0;             // east of UTC
};

// False when the clock is unknown.
bool ClockPartsAt(const RecordedClock& clock, int64_t positionMs, ClockZone zone, ClockParts* parts);

// "2025-12-10 10:00:05" or "10:00:05" (with ".123" when withMs); empty when the clock is unknown.
std::string FormatClockAt(const RecordedClock& clock, int64_t positionMs, ClockZone zone, bool withMs = false);
// ISO 8601: "2025-12-10T10:00:05.123+01:00" ("Z" in UTC); a time of day alone is "10:00:05.123".
// Empty when the clock is unknown.
std::string FormatClockIso8601(const RecordedClock& clock, int64_t positionMs, ClockZone zone);
// "+01:00", "-05:30", or "Z" for UTC itself.
std::string FormatUtcOffset(int offsetMinutes);

// What a user typed to go to a moment, as a position in ms from the file's start: a clock time
// ("10:00:05", "2025-12-10 10:00:05", "2025-12-10T10:00:05") when the clock is known, or an offset
// from the start ("+1:30", "+90", "+1:02:03"; without the "+" too when the clock is unknown).
// A time of day alone is taken on the first day of the recording at or after its start, so a
// recording that runs past midnight reaches its morning. -1 when the text is not understood or
// names no moment between 0 and durationMs.
int64_t ParseGoToTarget(const std::string& text, const RecordedClock& clock, ClockZone zone, int64_t durationMs);
