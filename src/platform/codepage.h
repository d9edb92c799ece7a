#pragma once
#include <string>
#include <string_view>

namespace pellora {

// UTF-8 as an ANSI code page, as Windows numbers it.
constexpr int CodePageUtf8 = 65001;

// The user's ANSI code page: every 8-bit text of the program is in it. 65001 (UTF-8) when the
// locale's codeset is UTF-8; otherwise the code page of the locale's language.
int AnsiCodePage();
// Overrides the code page (0 goes back to the one the environment gives).
void SetAnsiCodePage(int codePage);
// The code page that Windows gives a language, from a locale name such as "cs_CZ.UTF-8".
int CodePageForLocaleName(std::string_view localeName);
// The ANSI code page of a locale name: 65001 when its codeset is UTF-8, else its language's.
int AnsiCodePageForLocaleName(std::string_view localeName);

// The legacy code page: what 8-bit text without a declared charset is read in when it is not
// UTF-8. PELLORA_LEGACY_CODEPAGE when set; else the ANSI code page when it is not UTF-8; else
// the code page of the locale's language.
int LegacyCodePage();
// Overrides the legacy code page (0 goes back to the rule above).
void SetLegacyCodePage(int codePage);

// UTF-8 to the ANSI code page. Sequences of one to four bytes are understood;
// each byte of an invalid or cut sequence and each character the code page lacks
// becomes "?", so a stray byte never loses the rest of the text.
std::string Utf8ToAnsi(std::string_view utf8);
std::string Utf8ToAnsi(std::string_view utf8, int codePage);
// ANSI code page to UTF-8, for display and for the command line's output. Under 65001 a byte
// that is not part of a well-formed sequence becomes U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);
std::string AnsiToUtf8(std::string_view ansi, int codePage);
// 8-bit text that declares no charset (raw header bytes, database texts, bodies without a
// charset) in the ANSI code page: each line as UTF-8 when it is well-formed UTF-8, otherwise
// in the legacy code page.
std::string UndeclaredToAnsi(std::string_view text);
// True when the text holds only bytes below 0x80.
bool IsAscii(std::string_view text);

// Characters of ANSI text: a byte each, or under 65001 a UTF-8 sequence each (a byte that
// begins none counts alone), so that a cut never splits a character.
size_t AnsiLength(std::string_view text);
// The size in bytes of the first count characters (all of the text when it has fewer).
size_t AnsiPrefixSize(std::string_view text, size_t count);

} // namespace pellora
