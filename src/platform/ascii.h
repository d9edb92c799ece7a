#pragma once
// The byte rules of the program's own matching and of header texts. Texts are 8-bit in the ANSI
// code page: only the ASCII letters a to z have a case, every other byte stays as it is.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pellora {

constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Space or tab: the blanks of header lines.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline std::string UpperCaseAscii(std::string_view text) {
  std::string r(text);
  for (auto& c : r)
    c = AsciiUpper(c);
  return r;
}

inline std::string LowerCaseAscii(std::string_view text) {
  std::string r(text);
  for (auto& c : r)
    c = AsciiLower(c);
  return r;
}

inline bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

// True when text starts with prefix, ASCII case ignored.
inline bool StartsWithText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

// Where needle first occurs in text at or after from, ASCII case ignored; npos when nowhere.
inline size_t FindText(std::string_view text, std::string_view needle, size_t from = 0) {
  for (size_t i = from; i + needle.size() <= text.size(); ++i)
    if (SameTextAscii(text.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

// The same for a prefix written in upper case: the per-line path of the store loaders.
inline bool StartsWithUpper(std::string_view text, std::string_view upperPrefix) {
  if (text.size() < upperPrefix.size()) return false;
  for (size_t i = 0; i < upperPrefix.size(); ++i)
    if (AsciiUpper(text[i]) != upperPrefix[i]) return false;
  return true;
}

// Tabs and spaces off the start, spaces only off the end (a trailing tab stays), as header
// values are trimmed.
inline std::string_view TrimBlanks(std::string_view text) {
  size_t b = 0;
  while (b < text.size() && IsBlank(text[b]))
    ++b;
  size_t e = text.size();
  while (e > b && text[e - 1] == ' ')
    --e;
  return text.substr(b, e - b);
}

inline std::string_view TrimBlanksLeft(std::string_view text) {
  size_t b = 0;
  while (b < text.size() && IsBlank(text[b]))
    ++b;
  return text.substr(b);
}

inline std::string_view TrimBlanksRight(std::string_view text) {
  size_t e = text.size();
  while (e > 0 && IsBlank(text[e - 1]))
    --e;
  return text.substr(0, e);
}

// Blanks and control characters (every byte up to 0x20) off both ends.
inline std::string_view TrimControls(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 0x20)
    ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20)
    --e;
  return text.substr(b, e - b);
}

// 0 to 15 for a hexadecimal digit of either case, -1 otherwise.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A decimal integer with an optional sign and nothing else, within 32 bits.
inline bool TryParseInt32(std::string_view text, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    v = v * 10 + (text[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return false;
  value = static_cast<int32_t>(v);
  return true;
}

inline int32_t ParseInt32Or(std::string_view text, int32_t fallback) {
  int32_t value;
  return TryParseInt32(text, value) ? value : fallback;
}

// Calls line(view) for every line of text; CR LF, a lone CR and a lone LF each end a line, and
// a line end at the very end opens no further line.
template <class F> void ForEachLine(std::string_view text, F&& line) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* q = p;
    while (q < end && *q != '\r' && *q != '\n')
      ++q;
    line(std::string_view(p, static_cast<size_t>(q - p)));
    if (q == end) break;
    p = q + ((*q == '\r' && q + 1 < end && q[1] == '\n') ? 2 : 1);
  }
}

} // namespace pellora
