#pragma once
// CSV as RFC 4180 writes it.
#include <string>
#include <string_view>

namespace pellora {

// A CSV field: quoted when it holds a comma, a quote or a line break, its quotes doubled.
inline std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + '"';
}

} // namespace pellora
