#pragma once
#include <string>
#include <string_view>

namespace pellora {

// The current text of a localized constant (its name compared without ASCII case) in the ANSI
// code page, with every "/n" turned into CR LF; "" when the lookup fails for any reason.
std::string GetLocalizedText(std::string_view name);

} // namespace pellora
