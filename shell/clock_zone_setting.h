#pragma once
// Whether recorded times are shown in the computer's time zone or as UTC: the user's choice, kept
// as "local" or "utc" in clockzone.ini in the user's configuration folder, beside the language
// choice. Read once, at the first question; a change is saved at once. User-interface thread only.

#include <QString>
#include <string>

#include "engine/recorded_clock.h"

ClockZone ShownClockZone();
// The choice for the rest of this run; false when it could not be saved for the next one.
bool SetShownClockZone(ClockZone zone);

// The setting in folder (ending with '/'): Local when the file is missing or says anything else.
ClockZone ReadClockZoneSetting(const std::string& folder);
bool WriteClockZoneSetting(const std::string& folder, ClockZone zone);

// A recorded time as the window shows it: in the chosen zone, a date in UTC marked so.
QString ShownClockText(const RecordedClock& clock, int64_t positionMs);
