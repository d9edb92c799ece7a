#pragma once
#include <cstdint>
#include <string>

namespace pellora {

// Days since 30 December 1899 00:00, the fraction being the time of day; 0 = no date.
// Before that day the day count is negative and the fraction still adds time.
using TDateTime = double;

constexpr TDateTime UnixDateDelta = 25569.0; // 1 January 1970
constexpr double MSecsPerDay = 86400000.0;

struct TDateParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
};

// Year 1 to 9999; false for an impossible date or time.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);
TDateTime ComposeDateTime(TDateTime date, TDateTime time);
TDateParts DecodeDateTime(TDateTime value);
bool IsLeapYear(int year);

// Seconds since 1970 (UTC) and back.
TDateTime UnixToDateTime(int64_t seconds);
int64_t DateTimeToUnix(TDateTime value);

// UTC to local time with the rules in force at that instant (TZ database).
TDateTime UtcToLocal(TDateTime utc);
// Offset of local time from UTC at this moment, in minutes (east positive).
int UtcOffsetMinutesNow();
// The current local time.
TDateTime Now();
// Milliseconds of a steady clock: only differences mean anything.
uint64_t TickCount();

// "YYYY-MM-DDTHH:MM:SS".
std::string FormatIsoDateTime(TDateTime value);

} // namespace pellora
