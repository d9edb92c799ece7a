#include "platform/qt_locale.h"

#include "platform/codepage.h"
#include "platform/collation.h"

#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

namespace pellora {
namespace {

int QtCompare(std::string_view a, std::string_view b, bool ignoreCase) {
  static QCollator sensitive = [] {
    QCollator c{QLocale()};
    c.setCaseSensitivity(Qt::CaseSensitive);
    return c;
  }();
  static QCollator insensitive = [] {
    QCollator c{QLocale()};
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  if (IsAscii(a) && IsAscii(b) && a == b) return 0;
  int r = (ignoreCase ? insensitive : sensitive).compare(AnsiToQString(a), AnsiToQString(b));
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

} // namespace

void InstallQtLocaleCompare() { SetLocaleCompare(QtCompare); }

QString AnsiToQString(std::string_view ansi) {
  if (IsAscii(ansi)) return QString::fromLatin1(ansi.data(), static_cast<qsizetype>(ansi.size()));
  std::string utf8 = AnsiToUtf8(ansi);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string QStringToAnsi(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  return Utf8ToAnsi(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString FormatLocalDateTime(TDateTime value) {
  TDateParts p = DecodeDateTime(value);
  QDateTime dt(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
  QLocale locale = QLocale();
  // The long time format without its zone name: message dates are already local.
  static QString localeName, timeFormat;
  if (localeName != locale.name()) {
    localeName = locale.name();
    timeFormat = locale.timeFormat(QLocale::LongFormat).remove(QRegularExpression("\\s*t+")).trimmed();
  }
  return locale.toString(dt.date(), QLocale::ShortFormat) + ' ' +
         locale.toString(dt.time(), timeFormat);
}

QString FormatMessageDate(TDateTime value) {
  if (value == 0) return {};
  TDateParts p = DecodeDateTime(value);
  if (p.hour == 0 && p.minute == 0 && p.second == 0 && p.msec == 0)
    return QLocale().toString(QDate(p.year, p.month, p.day), QLocale::ShortFormat);
  return FormatLocalDateTime(value);
}

QString FormatNumber0(double value) {
  return QLocale().toString(value, 'f', 0);
}

} // namespace pellora
