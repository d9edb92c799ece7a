#include "mime/date_zones.h"

#include "platform/ascii.h"

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

} // namespace pellora
