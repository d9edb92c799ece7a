#pragma once
// Text in the charset a message declares, to the ANSI code page.
#include <string>
#include <string_view>

namespace pellora {

// True when the charset (a MIME charset name, ignoring case; aliases and common mislabels
// included) can be converted.
bool IsKnownCharset(std::string_view charset);

// Appends bytes in charset to out in the ANSI code page; a character the code page lacks and
// each byte that is not text in the charset become "?". An unknown or empty charset reads the
// bytes as undeclared text (UndeclaredToAnsi). With tail given, bytes at the end that begin a
// character without completing it are not converted but left in *tail, for a text that
// continues in the next piece.
void AppendCharsetToAnsi(std::string_view bytes, std::string_view charset, std::string& out,
                         std::string* tail = nullptr);
std::string CharsetToAnsi(std::string_view bytes, std::string_view charset);

} // namespace pellora
