#pragma once
#include <string_view>

namespace pellora {

// The user's locale comparison of two 8-bit texts: -1, 0 or 1. The viewer and the command
// line install one from their locale support; the default compares bytes (ASCII case folded
// when ignoreCase).
using TLocaleCompare = int (*)(std::string_view a, std::string_view b, bool ignoreCase);
void SetLocaleCompare(TLocaleCompare compare);
int LocaleCompare(std::string_view a, std::string_view b, bool ignoreCase);

} // namespace pellora
