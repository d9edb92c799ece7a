#include "i18n/format_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pellora {
namespace {

std::string thousandSeparator = ",";

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

std::string FormatText(std::string_view format, std::initializer_list<TFormatArg> args) {
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
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
