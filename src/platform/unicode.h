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
void AppendUtf16Le(std::string& out, char32_t c);
// UTF-16 bytes to UTF-8; an unpaired surrogate becomes U+FFFD and an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian = false);
inline std::string Utf16LeToUtf8(std::string_view bytes) { return Utf16ToUtf8(bytes, false); }
// UTF-8 to UTF-16 little-endian bytes; each byte of an invalid sequence becomes U+FFFD.
std::string Utf8ToUtf16Le(std::string_view utf8);

} // namespace pellora
