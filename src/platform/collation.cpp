#include "platform/collation.h"

#include "platform/ascii.h"

#include <algorithm>

namespace pellora {
namespace {

int ByteCompare(std::string_view a, std::string_view b, bool ignoreCase) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(ignoreCase ? AsciiUpper(a[i]) : a[i]);
    auto y = static_cast<unsigned char>(ignoreCase ? AsciiUpper(b[i]) : b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TLocaleCompare currentCompare = ByteCompare;

} // namespace

void SetLocaleCompare(TLocaleCompare compare) { currentCompare = compare ? compare : ByteCompare; }

int LocaleCompare(std::string_view a, std::string_view b, bool ignoreCase) {
  return currentCompare(a, b, ignoreCase);
}

} // namespace pellora
