#include "platform/codepage.h"

#include "platform/ascii.h"
#include "platform/unicode.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace pellora {
namespace {

struct TCodePageTable {
  std::array<char32_t, 256> toUnicode{};
  std::unordered_map<char32_t, unsigned char> fromUnicode;
};

// Bytes that the code page leaves undefined keep their own value as code point, as the
// Windows conversion does, or a private-use one when that value belongs to another byte;
// so every byte survives a round trip.
std::unique_ptr<TCodePageTable> BuildTable(int codePage) {
  auto table = std::make_unique<TCodePageTable>();
  std::array<bool, 256> defined{};
  for (int i = 0; i < 128; ++i) {
    table->toUnicode[i] = static_cast<char32_t>(i);
    defined[i] = true;
  }
  std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-32LE", name.c_str());
  if (cd != reinterpret_cast<iconv_t>(-1)) {
    for (int i = 128; i < 256; ++i) {
      char in = static_cast<char>(i);
      unsigned char out[8];
      char* inPtr = &in;
      char* outPtr = reinterpret_cast<char*>(out);
      size_t inLeft = 1, outLeft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
          sizeof out - outLeft == 4) {
        table->toUnicode[i] = static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 |
                                                    static_cast<uint32_t>(out[3]) << 24);
        defined[i] = true;
      }
    }
    iconv_close(cd);
  } else {
    defined.fill(true); // unknown code page: read it as Latin-1
    for (int i = 128; i < 256; ++i) table->toUnicode[i] = static_cast<char32_t>(i);
  }
  for (int i = 0; i < 256; ++i)
    if (defined[i]) table->fromUnicode.emplace(table->toUnicode[i], static_cast<unsigned char>(i));
  for (int i = 128; i < 256; ++i) {
    if (defined[i]) continue;
    char32_t own = static_cast<char32_t>(i);
    table->toUnicode[i] = table->fromUnicode.count(own) ? 0xF700 + own : own;
    table->fromUnicode.emplace(table->toUnicode[i], static_cast<unsigned char>(i));
  }
  return table;
}

std::mutex tablesMutex;

const TCodePageTable& TableFor(int codePage) {
  static std::map<int, std::unique_ptr<TCodePageTable>> tables;
  std::lock_guard lock(tablesMutex);
  auto& slot = tables[codePage];
  if (!slot) slot = BuildTable(codePage);
  return *slot;
}

int overrideCodePage = 0;
int overrideLegacyCodePage = 0;

int PositiveFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value && std::atoi(value) > 0 ? std::atoi(value) : 0;
}

// The locale that decides the character type: the first of LC_ALL, LC_CTYPE and LANG set.
const char* LocaleFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "";
}

int CodePageFromEnvironment() {
  if (int forced = PositiveFromEnvironment("PELLORA_CODEPAGE")) return forced;
  return AnsiCodePageForLocaleName(LocaleFromEnvironment());
}

bool Utf8Codeset(std::string_view localeName) {
  size_t dot = localeName.find('.');
  if (dot == std::string_view::npos) return false;
  std::string codeset;
  for (char ch : localeName.substr(dot + 1)) {
    if (ch == '@') break;
    if (ch != '-' && ch != '_') codeset += AsciiLower(ch);
  }
  return codeset == "utf8";
}

// The end of the run of ASCII bytes that starts at i; eight bytes at a time, as bodies are
// mostly ASCII.
size_t AsciiRunEnd(std::string_view text, size_t i) {
  const size_t n = text.size();
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080ull) break;
  }
  while (i < n && static_cast<unsigned char>(text[i]) < 0x80)
    ++i;
  return i;
}

// Under 65001: valid sequences are copied, each other byte becomes bad.
void CopyValidUtf8(std::string_view text, std::string& out, std::string_view bad) {
  out.reserve(out.size() + text.size());
  size_t i = 0, n = text.size();
  while (i < n) {
    size_t run = AsciiRunEnd(text, i);
    out.append(text.substr(i, run - i));
    i = run;
    if (i >= n) break;
    char32_t c;
    size_t len = DecodeUtf8(text, i, c);
    if (len == 0) {
      out.append(bad);
      ++i;
    } else {
      out.append(text.substr(i, len));
      i += len;
    }
  }
}

} // namespace

int CodePageForLocaleName(std::string_view localeName) {
  std::string lang;
  for (char ch : localeName) {
    if (ch == '_' || ch == '.' || ch == '@' || ch == '-') break;
    lang += AsciiLower(ch);
  }
  static const std::map<std::string, int> languages = {
      {"cs", 1250}, {"pl", 1250}, {"hu", 1250}, {"sk", 1250}, {"sl", 1250}, {"hr", 1250},
      {"ro", 1250}, {"ru", 1251}, {"uk", 1251}, {"bg", 1251}, {"be", 1251}, {"sr", 1251},
      {"el", 1253}, {"tr", 1254}, {"he", 1255}, {"ar", 1256}, {"fa", 1256}, {"lt", 1257},
      {"lv", 1257}, {"et", 1257}, {"vi", 1258}, {"th", 874}};
  auto it = languages.find(lang);
  return it == languages.end() ? 1252 : it->second;
}

int AnsiCodePageForLocaleName(std::string_view localeName) {
  return Utf8Codeset(localeName) ? CodePageUtf8 : CodePageForLocaleName(localeName);
}

int AnsiCodePage() {
  if (overrideCodePage) return overrideCodePage;
  static const int fromEnvironment = CodePageFromEnvironment();
  return fromEnvironment;
}

void SetAnsiCodePage(int codePage) { overrideCodePage = codePage; }

int LegacyCodePage() {
  if (overrideLegacyCodePage) return overrideLegacyCodePage;
  static const int forced = PositiveFromEnvironment("PELLORA_LEGACY_CODEPAGE");
  if (forced) return forced;
  if (int ansi = AnsiCodePage(); ansi != CodePageUtf8) return ansi;
  static const int ofLanguage = CodePageForLocaleName(LocaleFromEnvironment());
  return ofLanguage;
}

void SetLegacyCodePage(int codePage) {
  overrideLegacyCodePage = codePage;
}

bool IsAscii(std::string_view text) {
  // Eight bytes at a time: the list load asks this of every header value.
  const char* p = text.data();
  size_t n = text.size(), i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    if (word & 0x8080808080808080ull) return false;
  }
  for (; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
  return true;
}

size_t AnsiPrefixSize(std::string_view text, size_t count) {
  return AnsiCodePage() == CodePageUtf8 ? Utf8PrefixSize(text, count)
                                        : std::min(count, text.size());
}

size_t AnsiLength(std::string_view text) {
  return AnsiCodePage() == CodePageUtf8 ? Utf8Length(text) : text.size();
}

std::string Utf8ToAnsi(std::string_view utf8) { return Utf8ToAnsi(utf8, AnsiCodePage()); }

std::string Utf8ToAnsi(std::string_view utf8, int codePage) {
  if (IsAscii(utf8)) return std::string(utf8);
  std::string out;
  if (codePage == CodePageUtf8) {
    CopyValidUtf8(utf8, out, "?");
    return out;
  }
  const TCodePageTable& table = TableFor(codePage);
  out.reserve(utf8.size());
  auto p = reinterpret_cast<const unsigned char*>(utf8.data());
  size_t i = 0, n = utf8.size();
  while (i < n) {
    if (p[i] < 0x80) {
      out += static_cast<char>(p[i++]);
      continue;
    }
    char32_t c;
    size_t len = DecodeUtf8(utf8, i, c);
    if (len == 0) {
      out += '?';
      ++i;
      continue;
    }
    auto it = table.fromUnicode.find(c);
    out += it == table.fromUnicode.end() ? '?' : static_cast<char>(it->second);
    i += len;
  }
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) { return AnsiToUtf8(ansi, AnsiCodePage()); }

std::string AnsiToUtf8(std::string_view ansi, int codePage) {
  if (IsAscii(ansi)) return std::string(ansi);
  std::string out;
  if (codePage == CodePageUtf8) {
    CopyValidUtf8(ansi, out, "\xEF\xBF\xBD");
    return out;
  }
  const TCodePageTable& table = TableFor(codePage);
  out.reserve(ansi.size() + ansi.size() / 2);
  for (size_t i = 0; i < ansi.size();) {
    size_t run = AsciiRunEnd(ansi, i);
    out.append(ansi.substr(i, run - i));
    for (i = run; i < ansi.size() && static_cast<unsigned char>(ansi[i]) >= 0x80; ++i)
      AppendUtf8(out, table.toUnicode[static_cast<unsigned char>(ansi[i])]);
  }
  return out;
}

std::string UndeclaredToAnsi(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  const int ansi = AnsiCodePage(), legacy = LegacyCodePage();
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  // Line by line: a message may hold a UTF-8 part beside one in the legacy code page.
  while (!text.empty()) {
    size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf == std::string_view::npos ? text.size() : lf + 1);
    text.remove_prefix(line.size());
    if (IsAscii(line))
      out.append(line);
    else if (IsValidUtf8(line))
      out += Utf8ToAnsi(line, ansi);
    else if (legacy == ansi)
      out.append(line);
    else
      out += Utf8ToAnsi(AnsiToUtf8(line, legacy), ansi);
  }
  return out;
}

} // namespace pellora
