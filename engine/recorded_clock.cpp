#include "engine/recorded_clock.h"

#include <time.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int64_t kMsPerDay = 86'400'000;

int64_t FloorDiv(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

bool DatePartsAt(int64_t epochMs, ClockZone zone, ClockParts* parts) {
    const time_t seconds = time_t(FloorDiv(epochMs, 1000));
    tm fields{};
    if (!(zone == ClockZone::Utc ? gmtime_r(&seconds, &fields) : localtime_r(&seconds, &fields))) return false;
    parts->hasDate = true;
    parts->year = fields.tm_year + 1900;
    parts->month = fields.tm_mon + 1;
    parts->day = fields.tm_mday;
    parts->hour = fields.tm_hour;
    parts->minute = fields.tm_min;
    parts->second = fields.tm_sec;
    parts->millisecond = int(epochMs - FloorDiv(epochMs, 1000) * 1000);
    parts->hasOffset = true;
    parts->offsetMinutes = zone == ClockZone::Utc ? 0 : int(fields.tm_gmtoff / 60);
    return true;
}

void TimeOfDayParts(int64_t dayMs, ClockParts* parts) {
    const int64_t ms = dayMs - FloorDiv(dayMs, kMsPerDay) * kMsPerDay;
    parts->hour = int(ms / 3'600'000);
    parts->minute = int(ms / 60'000 % 60);
    parts->second = int(ms / 1000 % 60);
    parts->millisecond = int(ms % 1000);
}

// A reader of the typed text that steps over numbers and separators.
struct TextCursor {
    const std::string& text;
    size_t at = 0;

    void SkipSpaces() {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    }
    bool Eat(char c) {
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    // Up to maxDigits digits; false when there is none.
    bool Number(int maxDigits, int64_t* value) {
        const size_t start = at;
        *value = 0;
        while (at < text.size() && at - start < size_t(maxDigits) && std::isdigit(static_cast<unsigned char>(text[at]))) {
            *value = *value * 10 + (text[at++] - '0');
        }
        return at > start;
    }
    bool AtEnd() {
        SkipSpaces();
        return at == text.size();
    }
};

// "[h:]m:ss[.fff]" or plain seconds "ss[.fff]", as ms; -1 when not one.
int64_t ParseDuration(TextCursor& cursor) {
    int64_t fields[3];
    int count = 0;
    do {
        if (count == 3 || !cursor.Number(9, &fields[count])) return -1;
        ++count;
    } while (cursor.Eat(':'));
    int64_t ms = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && fields[i] >= 60) return -1;
        ms = ms * 60 + fields[i] * 1000;
    }
    if (cursor.Eat('.')) {
        const size_t start = cursor.at;
        int64_t fraction = 0;
        if (!cursor.Number(3, &fraction)) return -1;
        for (size_t digits = cursor.at - start; digits < 3; ++digits) fraction *= 10;
        ms += fraction;
    }
    return ms;
}

struct TypedClock {
    bool hasDate = false;
    int64_t year = 0, month = 0, day = 0;
    int64_t dayMs = 0;
};

bool ParseClockText(TextCursor& cursor, TypedClock* typed) {
    const size_t start = cursor.at;
    int64_t first = 0;
    if (cursor.Number(4, &first) && cursor.at - start == 4 && cursor.Eat('-')) {
        typed->hasDate = true;
        typed->year = first;
        if (!cursor.Number(2, &typed->month) || !cursor.Eat('-') || !cursor.Number(2, &typed->day)) return false;
        if (typed->month < 1 || typed->month > 12 || typed->day < 1 || typed->day > 31) return false;
        if (!cursor.Eat('T')) cursor.SkipSpaces();
    } else {
        cursor.at = start;
    }
    int64_t hour = 0, minute = 0, second = 0, fraction = 0;
    if (!cursor.Number(2, &hour) || !cursor.Eat(':') || !cursor.Number(2, &minute)) return false;
    if (cursor.Eat(':') && !cursor.Number(2, &second)) return false;
    if (cursor.Eat('.')) {
        const size_t digitsStart = cursor.at;
        if (!cursor.Number(3, &fraction)) return false;
        for (size_t digits = cursor.at - digitsStart; digits < 3; ++digits) fraction *= 10;
    }
    if (hour > 23 || minute > 59 || second > 59) return false;
    typed->dayMs = ((hour * 60 + minute) * 60 + second) * 1000 + fraction;
    return cursor.AtEnd();
}

// The typed date and time as ms since 1970, read in the zone the clock is shown in.
bool EpochMsOf(const TypedClock& typed, ClockZone zone, int64_t* epochMs) {
    tm fields{};
    fields.tm_year = int(typed.year) - 1900;
    fields.tm_mon = int(typed.month) - 1;
    fields.tm_mday = int(typed.day);
    fields.tm_isdst = -1;
    const time_t midnight = zone == ClockZone::Utc ? timegm(&fields) : mktime(&fields);
    if (midnight == time_t(-1)) return false;
    *epochMs = int64_t(midnight) * 1000 + typed.dayMs;
    return true;
}

// The start's time of day in the zone shown, to which a typed time of day is compared.
int64_t StartDayMs(const RecordedClock& clock, ClockZone zone) {
    if (clock.kind == ClockKind::TimeOfDay) return clock.startMs;
    ClockParts parts;
    DatePartsAt(clock.startMs, zone, &parts);
    return ((int64_t(parts.hour) * 60 + parts.minute) * 60 + parts.second) * 1000 + parts.millisecond;
}

int64_t ClockTextToPosition(const TypedClock& typed, const RecordedClock& clock, ClockZone zone) {
    if (typed.hasDate) {
        int64_t epochMs = 0;
        if (clock.kind != ClockKind::DateTime || !EpochMsOf(typed, zone, &epochMs)) return -1;
        return epochMs - clock.startMs;
    }
    const int64_t startDayMs = StartDayMs(clock, zone);
    const int64_t startOfDay = startDayMs - FloorDiv(startDayMs, kMsPerDay) * kMsPerDay;
    int64_t ahead = typed.dayMs - startOfDay;
    if (ahead < 0) ahead += kMsPerDay;
    return ahead;
}

}  // namespace

RecordedClock ClockFromRecorderStamp(uint64_t stampMs) {
    if (stampMs >= uint64_t(kEarliestDateStampMs) && stampMs < uint64_t(kLatestDateStampMs)) {
        return {ClockKind::DateTime, int64_t(stampMs)};
    }
    return {ClockKind::TimeOfDay, int64_t(stampMs % uint64_t(kMsPerDay))};
}

bool ClockPartsAt(const RecordedClock& clock, int64_t positionMs, ClockZone zone, ClockParts* parts) {
    *parts = ClockParts{};
    switch (clock.kind) {
        case ClockKind::DateTime: return DatePartsAt(clock.AtMs(positionMs), zone, parts);
        case ClockKind::TimeOfDay: TimeOfDayParts(clock.AtMs(positionMs), parts); return true;
        case ClockKind::None: break;
    }
    return false;
}

std::string FormatClockAt(const RecordedClock& clock, int64_t positionMs, ClockZone zone, bool withMs) {
    ClockParts parts;
    if (!ClockPartsAt(clock, positionMs, zone, &parts)) return {};
    char text[48];
    int length = 0;
    if (parts.hasDate) length = std::snprintf(text, sizeof text, "%04d-%02d-%02d ", parts.year, parts.month, parts.day);
    length += std::snprintf(text + length, sizeof text - size_t(length), "%02d:%02d:%02d", parts.hour, parts.minute,
                            parts.second);
    if (withMs) std::snprintf(text + length, sizeof text - size_t(length), ".%03d", parts.millisecond);
    return text;
}

std::string FormatUtcOffset(int offsetMinutes) {
    if (offsetMinutes == 0) return "Z";
    const int minutes = std::abs(offsetMinutes);
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

std::string FormatClockIso8601(const RecordedClock& clock, int64_t positionMs, ClockZone zone) {
    ClockParts parts;
    if (!ClockPartsAt(clock, positionMs, zone, &parts)) return {};
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", parts.hour, parts.minute, parts.second, parts.millisecond);
    if (!parts.hasDate) return text;
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02dT", parts.year, parts.month, parts.day);
    return date + std::string(text) + FormatUtcOffset(parts.offsetMinutes);
}

int64_t ParseGoToTarget(const std::string& text, const RecordedClock& clock, ClockZone zone, int64_t durationMs) {
    TextCursor cursor{text};
    cursor.SkipSpaces();
    int64_t positionMs = -1;
    const bool offsetMarked = cursor.Eat('+');
    if (offsetMarked || !clock.IsKnown()) {
        cursor.SkipSpaces();
        positionMs = ParseDuration(cursor);
        if (!cursor.AtEnd()) return -1;
    } else {
        TypedClock typed;
        if (!ParseClockText(cursor, &typed)) return -1;
        positionMs = ClockTextToPosition(typed, clock, zone);
    }
    if (positionMs < 0 || positionMs > durationMs) return -1;
    return positionMs;
}
