#pragma once
// The Unicode forms that other programs' files hold: UTF-8 and UTF-16 (little- or big-endian).
#include <cstddef>
#include <string>
#include <string_view>

namespace pellora {

void AppendUtf8(std::string& out, char32_t c);
// Length of the well-formed UTF-8 sequence at text[at] (0 when there is none; overlong forms
// and surrogates are not well-formed); its code point in c.
size_t DecodeUtf8(std::string_view text, size_t at, char32_t& c);
// Characters of UTF-8 text (a byte that begins no well-formed sequence counts as one), and the
// size in bytes of the first count of them: cuts that never split a character.
size_t Utf8Length(std::string_view text);
size_t Utf8PrefixSize(std::string_view text, size_t count);
// True when the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);
// Bytes at the end of text that begin a UTF-8 sequence without completing it (0 to 3): what
// a text split into pieces leaves for the next piece.
size_t Utf8IncompleteTail(std::string_view text);
// Format characters (general category Cf): direction controls such as U+202E, zero-width
// characters, the byte-order mark, soft hyphen, tags. They change how text around them shows.
bool IsFormatCharacter(char32_t c);
void AppendUtf16Le(std::string& out, char32_t c);
// UTF-16 bytes to UTF-8; an unpaired surrogate becomes U+FFFD and an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian = false);
inline std::string Utf16LeToUtf8(std::string_view bytes) { return Utf16ToUtf8(bytes, false); }
// UTF-8 to UTF-16 little-endian bytes; each byte of an invalid sequence becomes U+FFFD.
std::string Utf8ToUtf16Le(std::string_view utf8);

} // namespace pellora
