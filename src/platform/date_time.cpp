#include "platform/date_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace pellora {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// A TDateTime as milliseconds since 30 December 1899 on a straight line.
int64_t ToLinearMs(TDateTime value) {
  double days = std::trunc(value);
  double frac = std::fabs(value - days);
  return static_cast<int64_t>(days) * 86400000LL + std::llround(frac * MSecsPerDay);
}

TDateTime FromLinearMs(int64_t ms) {
  int64_t days = ms >= 0 ? ms / 86400000LL : -((-ms + 86399999LL) / 86400000LL);
  int64_t rest = ms - days * 86400000LL;
  double time = rest / MSecsPerDay;
  return days >= 0 ? days + time : days - time;
}

} // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  int length = lengths[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
  if (day > length) return false;
  result = static_cast<double>(DaysFromCivil(year, month, day) + 25569);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      msec < 0 || msec > 999)
    return false;
  result = (((hour * 60 + minute) * 60 + second) * 1000.0 + msec) / MSecsPerDay;
  return true;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  return date >= 0 ? date + time : date - time;
}

TDateParts DecodeDateTime(TDateTime value) {
  int64_t ms = ToLinearMs(value);
  int64_t days = ms >= 0 ? ms / 86400000LL : -((-ms + 86399999LL) / 86400000LL);
  int64_t rest = ms - days * 86400000LL;
  TDateParts p;
  CivilFromDays(days - 25569, p.year, p.month, p.day);
  p.msec = static_cast<int>(rest % 1000);
  rest /= 1000;
  p.second = static_cast<int>(rest % 60);
  rest /= 60;
  p.minute = static_cast<int>(rest % 60);
  p.hour = static_cast<int>(rest / 60);
  return p;
}

TDateTime UnixToDateTime(int64_t seconds) {
  return FromLinearMs((seconds + 25569LL * 86400LL) * 1000LL);
}

int64_t DateTimeToUnix(TDateTime value) {
  int64_t ms = ToLinearMs(value) - 25569LL * 86400000LL;
  return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

TDateTime UtcToLocal(TDateTime utc) {
  int64_t ms = ToLinearMs(utc);
  time_t t = static_cast<time_t>(DateTimeToUnix(utc));
  struct tm local{};
  if (!localtime_r(&t, &local)) return utc;
  return FromLinearMs(ms + static_cast<int64_t>(local.tm_gmtoff) * 1000);
}

int UtcOffsetMinutesNow() {
  time_t t = std::time(nullptr);
  struct tm local{};
  if (!localtime_r(&t, &local)) return 0;
  return static_cast<int>(local.tm_gmtoff / 60);
}

TDateTime Now() {
  using namespace std::chrono;
  int64_t ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return UtcToLocal(FromLinearMs(ms + 25569LL * 86400000LL));
}

uint64_t TickCount() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string FormatIsoDateTime(TDateTime value) {
  TDateParts p = DecodeDateTime(value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return text;
}

} // namespace pellora
