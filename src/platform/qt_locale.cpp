#include "platform/qt_locale.h"

#include "platform/codepage.h"
#include "platform/collation.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <numeric>

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

// Sort keys are worked out once per text, so ranking many texts costs far less than comparing
// them pair by pair.
void QtRanks(const std::vector<std::string_view>& texts, std::vector<uint32_t>& ranks) {
  QCollator collator{QLocale()};
  collator.setCaseSensitivity(Qt::CaseSensitive);
  std::vector<QCollatorSortKey> keys;
  keys.reserve(texts.size());
  for (std::string_view text : texts)
    keys.push_back(collator.sortKey(AnsiToQString(text)));
  std::vector<uint32_t> byKey(texts.size());
  std::iota(byKey.begin(), byKey.end(), 0u);
  std::sort(byKey.begin(), byKey.end(),
            [&](uint32_t a, uint32_t b) { return keys[a].compare(keys[b]) < 0; });
  ranks.assign(texts.size(), 0);
  uint32_t rank = 0;
  for (size_t i = 0; i < byKey.size(); ++i) {
    if (i > 0 && keys[byKey[i - 1]].compare(keys[byKey[i]]) != 0) ++rank;
    ranks[byKey[i]] = rank;
  }
}

} // namespace

void InstallQtLocaleCompare() { SetLocaleCompare(QtCompare, QtRanks); }

QString AnsiToQString(std::string_view ansi) {
  if (IsAscii(ansi)) return QString::fromLatin1(ansi.data(), static_cast<qsizetype>(ansi.size()));
  std::string utf8 = AnsiToUtf8(ansi);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string QStringToAnsi(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  return Utf8ToAnsi(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

namespace {

// The date in the locale's format of that length, then the long time without its zone name:
// message dates are already local.
QString FormatDateAndLongTime(TDateTime value, QLocale::FormatType dateFormat) {
  TDateParts p = DecodeDateTime(value);
  QDateTime dt(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
  QLocale locale = QLocale();
  static QString localeName, timeFormat;
  if (localeName != locale.name()) {
    localeName = locale.name();
    timeFormat = locale.timeFormat(QLocale::LongFormat).remove(QRegularExpression("\\s*t+")).trimmed();
  }
  return locale.toString(dt.date(), dateFormat) + ' ' + locale.toString(dt.time(), timeFormat);
}

} // namespace

QString FormatLocalDateTime(TDateTime value) {
  return FormatDateAndLongTime(value, QLocale::ShortFormat);
}

QString FormatLongMessageDate(TDateTime value) {
  return value == 0 ? QString() : FormatDateAndLongTime(value, QLocale::LongFormat);
}

QString FormatMessageDate(TDateTime value) {
  if (value == 0) return {};
  TDateParts p = DecodeDateTime(value);
  if (p.hour == 0 && p.minute == 0 && p.second == 0 && p.msec == 0)
    return QLocale().toString(QDate(p.year, p.month, p.day), QLocale::ShortFormat);
  return FormatLocalDateTime(value);
}

std::string ShortDatePattern() { return QLocale().dateFormat(QLocale::ShortFormat).toStdString(); }

QString FormatNumber0(double value) {
  return QLocale().toString(value, 'f', 0);
}

} // namespace pellora
