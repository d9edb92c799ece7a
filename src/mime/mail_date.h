#pragma once
// Dates of header fields: one tokenizer, read with the month names of the message model or of the
// list's quick scanner.
#include "platform/date_time.h"

#include <string_view>

namespace pellora {

// The offset east of UTC, in minutes, of the zone at the end of a mail date: a name of RFC 822
// ("GMT", "EST", ...) or five characters, a sign and HHMM (a sign other than "-" counts as "+").
// Any other text is no zone (offset 0, true); false only for a numeric zone out of range.
bool MailZoneMinutes(std::string_view zone, int& minutes);

// The month (1-12) a month name stands for; 0 when it names none.
using TMonthOfName = int (*)(std::string_view name);

// A mail date ("Tue, 12 Jan 2010 10:00:00 +0100", "12/01/99 08:30") as local time, 0 when the
// text is no date: the one reading of both date parsers, which differ only in the month names
// they know.
TDateTime MailDateToLocal(std::string_view text, TMonthOfName monthOfName);

// A message date as local time; 0 when the text is no date. Month names are the three-letter
// ones only; the list's ScanMailDate also knows full names and differs on purpose.
TDateTime ParseMailDate(std::string_view text);

} // namespace pellora
