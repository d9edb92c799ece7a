#pragma once
// Qt Core side of the locale services: shared by the viewer and the command line.
#include "platform/date_time.h"

#include <QString>
#include <string>
#include <string_view>

namespace pellora {

// Installs the user's locale comparison (QCollator) as the core's LocaleCompare.
void InstallQtLocaleCompare();

QString AnsiToQString(std::string_view ansi);
std::string QStringToAnsi(const QString& text);

// The user's short date and long time.
QString FormatLocalDateTime(TDateTime value);
// A message date as the windows show it: short date and long time, the time left out when it is
// exactly midnight; "" for 0.
QString FormatMessageDate(TDateTime value);
// A message date on paper: the locale's long date and long time (without the zone: the date is
// local already); "" for 0.
QString FormatLongMessageDate(TDateTime value);
// The locale's short date pattern (d, M, y and separators, such as "dd.MM.yyyy"): what a query
// accepts in before: and after: beside ISO 8601.
std::string ShortDatePattern();
// A number with thousands separators and no decimals ("%1.0n").
QString FormatNumber0(double value);

} // namespace pellora
