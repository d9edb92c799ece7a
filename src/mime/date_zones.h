#pragma once
#include <string_view>

namespace pellora {

// The offset east of UTC, in minutes, of the zone at the end of a mail date: a name of RFC 822
// ("GMT", "EST", ...) or five characters, a sign and HHMM (a sign other than "-" counts as "+").
// Any other text is no zone (offset 0, true); false only for a numeric zone out of range.
bool MailZoneMinutes(std::string_view zone, int& minutes);

} // namespace pellora
