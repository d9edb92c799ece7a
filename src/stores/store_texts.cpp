#include "stores/store_texts.h"

#include "shell/localized_text.h"

#include <cstdio>

namespace pellora {

std::string StoreText(std::string_view name) {
  return GetLocalizedText(name);
}

std::string FormatText(std::string_view format, std::string_view value) {
  size_t at = format.find("%s");
  if (at == std::string_view::npos) return std::string(format);
  std::string result(format.substr(0, at));
  result += value;
  result += format.substr(at + 2);
  return result;
}

std::string FormatElapsed(std::string_view format, uint64_t milliseconds) {
  size_t at = format.find('%');
  while (at != std::string_view::npos) {
    size_t end = at + 1;
    while (end < format.size() &&
           ((format[end] >= '0' && format[end] <= '9') || format[end] == '.'))
      ++end;
    if (end < format.size() && format[end] == 'f' && end - at <= 8) {
      std::string conversion(format.substr(at, end + 1 - at));
      char number[64];
      std::snprintf(number, sizeof number, conversion.c_str(), milliseconds / 1000.0);
      return std::string(format.substr(0, at)) + number + std::string(format.substr(end + 1));
    }
    at = format.find('%', at + 1);
  }
  return std::string(format);
}

} // namespace pellora
