// The recorder's clock: which stamps read as dates, how a clock time is shown and written, and
// what the go-to text means.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/recorded_clock.h"

namespace {

// The zone of the process, for the cases that show local time; put back afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) m_old = old, m_hadOld = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (m_hadOld) setenv("TZ", m_old.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::string m_old;
    bool m_hadOld = false;
};

constexpr int64_t kDec10At10h = 1'765'360'800'000;  // 2025-12-10 10:00:00 UTC

TEST(RecordedClockTest, stamps_in_the_date_range_give_a_date_and_smaller_ones_a_time_of_day) {
    struct Case {
        uint64_t stampMs;
        ClockKind kind;
        int64_t startMs;
    } cases[] = {
        {kDec10At10h, ClockKind::DateTime, kDec10At10h},
        {uint64_t(kEarliestDateStampMs), ClockKind::DateTime, kEarliestDateStampMs},
        {uint64_t(kEarliestDateStampMs) - 1, ClockKind::TimeOfDay, (kEarliestDateStampMs - 1) % 86'400'000},
        {uint64_t(kLatestDateStampMs), ClockKind::TimeOfDay, 0},
        {36'005'000, ClockKind::TimeOfDay, 36'005'000},  // 10:00:05 as a time of day
    };
    for (const Case& c : cases) {
        const RecordedClock clock = ClockFromRecorderStamp(c.stampMs);
        EXPECT_EQ(clock.kind, c.kind) << c.stampMs;
        EXPECT_EQ(clock.startMs, c.startMs) << c.stampMs;
    }
}

TEST(RecordedClockTest, shows_the_local_zone_with_its_offset_or_utc) {
    ZoneScope zone("CET-1");  // one hour east of UTC, no summer time
    const RecordedClock date{ClockKind::DateTime, kDec10At10h};
    EXPECT_EQ(FormatClockAt(date, 5'250, ClockZone::Local), "2025-12-10 11:00:05");
    EXPECT_EQ(FormatClockAt(date, 5'250, ClockZone::Utc, true), "2025-12-10 10:00:05.250");
    EXPECT_EQ(FormatClockIso8601(date, 5'250, ClockZone::Local), "2025-12-10T11:00:05.250+01:00");
    EXPECT_EQ(FormatClockIso8601(date, 5'250, ClockZone::Utc), "2025-12-10T10:00:05.250Z");
    // Past midnight the date moves on.
    EXPECT_EQ(FormatClockAt(date, 13 * 3'600'000, ClockZone::Local), "2025-12-11 00:00:00");

    const RecordedClock dayOnly{ClockKind::TimeOfDay, 86'399'000};
    EXPECT_EQ(FormatClockAt(dayOnly, 0, ClockZone::Local), "23:59:59");
    EXPECT_EQ(FormatClockAt(dayOnly, 2'000, ClockZone::Utc), "00:00:01");
    EXPECT_EQ(FormatClockIso8601(dayOnly, 2'000, ClockZone::Local), "00:00:01.000");
    EXPECT_EQ(FormatClockAt(RecordedClock{}, 0, ClockZone::Local), "");
    EXPECT_EQ(FormatUtcOffset(-330), "-05:30");
}

TEST(RecordedClockTest, go_to_text_becomes_a_position) {
    ZoneScope zone("CET-1");
    const RecordedClock date{ClockKind::DateTime, kDec10At10h};  // 11:00:00 local at position 0
    const RecordedClock nightShift{ClockKind::TimeOfDay, 23 * 3'600'000};
    const int64_t hour = 3'600'000;
    struct Case {
        const char* text;
        RecordedClock clock;
        ClockZone zone;
        int64_t expectedMs;
    } cases[] = {
        {"11:00:05", date, ClockZone::Local, 5'000},
        {" 2025-12-10 11:30:00 ", date, ClockZone::Local, 30 * 60'000},
        {"2025-12-10T10:30:00", date, ClockZone::Utc, 30 * 60'000},
        {"11:00:05.5", date, ClockZone::Local, 5'500},
        {"00:30", nightShift, ClockZone::Local, hour + 30 * 60'000},  // after midnight
        {"+1:30", date, ClockZone::Local, 90'000},
        {"+90", date, ClockZone::Local, 90'000},
        {"+1:00:00", date, ClockZone::Local, hour},
        {"1:30", RecordedClock{}, ClockZone::Local, 90'000},  // no clock: an offset
        // Before the start, beyond the end, or not a time at all.
        {"2025-12-10 10:59:59", date, ClockZone::Local, -1},
        {"2025-12-10 13:00:01", date, ClockZone::Local, -1},
        {"10:59", date, ClockZone::Local, -1},  // a day later, beyond the end
        {"+2:01:00", date, ClockZone::Local, -1},
        {"11:61:00", date, ClockZone::Local, -1},
        {"2025-12-10 11:00", nightShift, ClockZone::Local, -1},  // no date to compare with
        {"soon", date, ClockZone::Local, -1},
        {"", date, ClockZone::Local, -1},
        {"+1:30x", date, ClockZone::Local, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseGoToTarget(c.text, c.clock, c.zone, 2 * hour), c.expectedMs) << '"' << c.text << '"';
    }
}

}  // namespace
