#include "i18n/format_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace pellora {
namespace {

std::string thousandSeparator = ",";
uint16_t pluralLanguage = 1033;

// The form of "{one|few|many}" (or "{one|many}") that a count takes: forms is the text between
// the braces.
std::string_view PluralForm(std::string_view forms, double count) {
  std::vector<std::string_view> list;
  for (size_t start = 0;;) {
    size_t bar = forms.find('|', start);
    list.push_back(forms.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  // Two forms are one and many: a few takes the last.
  switch (PluralCategory(pluralLanguage, static_cast<long long>(count))) {
  case 0: return list.front();
  case 1: return list[std::min<size_t>(1, list.size() - 1)];
  default: return list.back();
  }
}

std::string GroupThousands(const std::string& digits) {
  std::string out;
  size_t start = digits[0] == '-' ? 1 : 0;
  size_t dot = digits.find('.');
  size_t end = dot == std::string::npos ? digits.size() : dot;
  out.append(digits, 0, start);
  for (size_t i = start; i < end; ++i) {
    if (i > start && (end - i) % 3 == 0) out += thousandSeparator;
    out += digits[i];
  }
  out.append(digits, end, std::string::npos);
  return out;
}

} // namespace

void SetThousandSeparator(std::string separator) {
  thousandSeparator = std::move(separator);
}

void SetPluralLanguage(uint16_t languageId) { pluralLanguage = languageId; }

int PluralCategory(uint16_t languageId, long long count) {
  const unsigned long long n = count < 0 ? 0ULL - static_cast<unsigned long long>(count)
                                         : static_cast<unsigned long long>(count);
  const unsigned long long last = n % 10, lastTwo = n % 100;
  const bool fewEnding = last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14);
  switch (languageId & 0x3FF) {
  case 0x19: // Russian
  case 0x22: // Ukrainian
  case 0x23: // Belarusian
  case 0x1A: // Croatian, Serbian, Bosnian
    if (last == 1 && lastTwo != 11) return 0;
    return fewEnding ? 1 : 2;
  case 0x15: // Polish
    if (n == 1) return 0;
    return fewEnding ? 1 : 2;
  case 0x05: // Czech
  case 0x1B: // Slovak
    if (n == 1) return 0;
    return n >= 2 && n <= 4 ? 1 : 2;
  case 0x0C: // French
    return n <= 1 ? 0 : 2;
  default:
    return n == 1 ? 0 : 2;
  }
}

std::string FormatText(std::string_view format, std::initializer_list<TFormatArg> args) {
  std::string out;
  auto next = args.begin();
  // The count a plural group follows: the last numeric argument used, at first the first one.
  double count = 0;
  for (const TFormatArg& arg : args)
    if (!arg.isText) {
      count = arg.number;
      break;
    }
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '{') {
      const size_t close = format.find('}', i);
      const std::string_view group =
          close == std::string_view::npos ? std::string_view() : format.substr(i + 1, close - i - 1);
      if (group.find('|') != std::string_view::npos && group.find('{') == std::string_view::npos) {
        out += PluralForm(group, count);
        i = close;
        continue;
      }
    }
    if (format[i] != '%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    if (format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    int precision = -1;
    while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
      ++j;
    if (j < format.size() && format[j] == '.') {
      precision = 0;
      for (++j; j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])); ++j)
        precision = std::min(precision * 10 + (format[j] - '0'), 20);
    }
    if (j >= format.size()) {
      out.append(format.substr(i));
      break;
    }
    char kind = static_cast<char>(format[j] | 0x20);
    i = j;
    if (next == args.end()) continue;
    const TFormatArg& arg = *next++;
    if (!arg.isText && kind != 's') count = arg.number;
    char buffer[400];
    switch (kind) {
    case 's':
      if (arg.isText)
        out += arg.text;
      else {
        std::snprintf(buffer, sizeof buffer, "%g", arg.number);
        out += buffer;
      }
      break;
    case 'd':
      std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(arg.number));
      out += buffer;
      break;
    case 'f':
      std::snprintf(buffer, sizeof buffer, "%.*f", precision < 0 ? 2 : precision, arg.number);
      out += buffer;
      break;
    case 'n':
      std::snprintf(buffer, sizeof buffer, "%.*f", precision < 0 ? 2 : precision, arg.number);
      out += GroupThousands(buffer);
      break;
    default:
      break;
    }
  }
  return out;
}

} // namespace pellora
