#pragma once
#include <string>
#include <string_view>

namespace pellora {

// The user's ANSI code page: every 8-bit text of the program is in it.
int AnsiCodePage();
// Overrides the code page (0 goes back to the one the environment gives).
void SetAnsiCodePage(int codePage);
// The code page that Windows gives a language, from a locale name such as "cs_CZ.UTF-8".
int CodePageForLocaleName(std::string_view localeName);

// UTF-8 to the ANSI code page. Sequences of one to four bytes are understood;
// each byte of an invalid or cut sequence and each character the code page lacks
// becomes "?", so a stray byte never loses the rest of the text.
std::string Utf8ToAnsi(std::string_view utf8);
std::string Utf8ToAnsi(std::string_view utf8, int codePage);
// ANSI code page to UTF-8, for display and for the command line's output.
std::string AnsiToUtf8(std::string_view ansi);
std::string AnsiToUtf8(std::string_view ansi, int codePage);
// True when the text holds only bytes below 0x80.
bool IsAscii(std::string_view text);

} // namespace pellora
