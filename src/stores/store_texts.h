#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace pellora {

// Current text of a localized constant (the language file's, or the built-in one).
std::string StoreText(std::string_view name);

// Fills the first "%s" of format with value; the rest stays as written.
std::string FormatText(std::string_view format, std::string_view value);
// "lc_ElapsedTime" filled with milliseconds / 1000; only a "%...f" conversion is honoured, so
// a translated text cannot make the formatting read what is not there.
std::string FormatElapsed(std::string_view format, uint64_t milliseconds);

} // namespace pellora
