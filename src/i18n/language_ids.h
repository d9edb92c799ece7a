#pragma once
#include <cstdint>
#include <string_view>

namespace pellora {

// Windows language identifiers (LANGID): the primary language in the low ten bits, the
// sub-language above them.
using TLanguageId = uint16_t;
constexpr TLanguageId LangEnglishUS = 1033;
constexpr TLanguageId LangEnglishUK = 2057;

constexpr uint16_t PrimaryLanguage(TLanguageId id) {
  return id & 0x3FF;
}

// The identifier Windows gives the language of a locale name ("de_DE.UTF-8" gives 1031,
// "en_GB" 2057); 1033 for "C", "POSIX", an empty name or a language not known here.
TLanguageId LanguageIdOfLocaleName(std::string_view localeName);
// The user's language: PELLORA_LANGUAGE (an identifier in decimal) when set, otherwise the
// first of LC_ALL, LC_MESSAGES and LANG that is set.
TLanguageId UserLanguageId();
// The ISO 639-1 code of a language ("de" for 1031); "" for one not known here.
std::string_view LanguageCodeOf(TLanguageId id);
// The ANSI code page of a language, as the platform maps languages to code pages.
int CodePageOfLanguage(TLanguageId id);

} // namespace pellora
