#include "mime/mail_date.h"

#include "platform/ascii.h"

#include <algorithm>
#include <cstdint>

namespace pellora {

bool MailZoneMinutes(std::string_view zone, int& minutes) {
  static constexpr struct {
    std::string_view name;
    int hours;
  } named[] = {{"UT", 0},   {"GMT", 0},  {"Z", 0},    {"EST", -5}, {"EDT", -4}, {"CST", -6},
               {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
  minutes = 0;
  for (const auto& z : named)
    if (SameTextAscii(zone, z.name)) {
      minutes = z.hours * 60;
      return true;
    }
  if (zone.size() != 5) return true;
  const int sign = zone[0] == '-' ? -1 : 1;
  const int32_t hours = ParseInt32Or(zone.substr(1, 2), 0);
  const int32_t mins = ParseInt32Or(zone.substr(3, 2), 0);
  if (hours < 0 || hours > 23 || mins < 0 || mins > 59) return false;
  minutes = sign * (hours * 60 + mins);
  return true;
}

TDateTime MailDateToLocal(std::string_view text, TMonthOfName monthOfName) {
  text = TrimControls(text);
  if (text.empty()) return 0;

  // Fields: 1 day, 2 month, 3 year, 4 hour, 5 minute, 6 second, 7 zone; 0 is the weekday, which
  // only a date that does not begin with a digit has.
  std::string_view fields[8];
  size_t fieldStart[8] = {};
  int counter = IsDigit(text[0]) ? 1 : 0;
  auto add = [&](size_t i) {
    if (counter < 1 || counter > 7) return;
    if (fields[counter].empty()) fieldStart[counter] = i;
    fields[counter] = text.substr(fieldStart[counter], i + 1 - fieldStart[counter]);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == ',') {
      // A run of blanks and commas is one separator: "Fri,  1 Mar 2002" as "Thu,29 Apr 2012"
      // (RFC 5322 needs no blank after the weekday's comma).
      if (i > 0 && (text[i - 1] == ' ' || text[i - 1] == ',')) continue;
      counter = counter + 1 == 6 ? 7 : std::min(counter + 1, 8); // no seconds: on to the zone
    } else if (c == '/' || c == ':') {
      counter = std::min(counter + 1, 8);
    } else {
      add(i);
    }
  }

  const std::string_view monthField = fields[2];
  if (monthField.empty()) return 0;
  const int month = IsDigit(monthField[0]) ? ParseInt32Or(monthField, 0) : monthOfName(monthField);
  if (month == 0) return 0;
  const int day = ParseInt32Or(fields[1], 0);
  int year = ParseInt32Or(fields[3], 0);
  const int hour = ParseInt32Or(fields[4], 0);
  const int minute = ParseInt32Or(fields[5], 0);
  const int second = ParseInt32Or(fields[6], 0);
  if (year < 50)
    year += 2000;
  else if (year < 100)
    year += 1900;

  int zoneMinutes; // east positive
  if (!MailZoneMinutes(TrimControls(fields[7]), zoneMinutes)) return 0;
  TDateTime date;
  if (!TryEncodeDate(year, month, day, date)) return 0;
  // Hour, minute and second are not range-checked: "25:00" runs into the next day.
  const int64_t seconds =
      (static_cast<int64_t>(date) - static_cast<int64_t>(UnixDateDelta)) * 86400 +
      static_cast<int64_t>(hour) * 3600 + static_cast<int64_t>(minute) * 60 + second -
      static_cast<int64_t>(zoneMinutes) * 60;
  // The rules in force on the date itself, not today's offset.
  return UtcToLocal(UnixToDateTime(seconds));
}

TDateTime ParseMailDate(std::string_view text) {
  return MailDateToLocal(text, [](std::string_view name) {
    size_t pos = FindText("Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec,", name);
    return pos == std::string_view::npos ? 0 : static_cast<int>(pos / 4) + 1;
  });
}

} // namespace pellora
