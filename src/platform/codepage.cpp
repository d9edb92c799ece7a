#include "platform/codepage.h"

#include "platform/ascii.h"
#include "platform/unicode.h"

#include <iconv.h>

#include <array>
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

int CodePageFromEnvironment() {
  if (const char* forced = std::getenv("PELLORA_CODEPAGE"); forced && *forced) {
    int value = std::atoi(forced);
    if (value > 0) return value;
  }
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return CodePageForLocaleName(value);
  }
  return 1252;
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

int AnsiCodePage() {
  if (overrideCodePage) return overrideCodePage;
  static const int fromEnvironment = CodePageFromEnvironment();
  return fromEnvironment;
}

void SetAnsiCodePage(int codePage) { overrideCodePage = codePage; }

bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

std::string Utf8ToAnsi(std::string_view utf8) { return Utf8ToAnsi(utf8, AnsiCodePage()); }

std::string Utf8ToAnsi(std::string_view utf8, int codePage) {
  if (IsAscii(utf8)) return std::string(utf8);
  const TCodePageTable& table = TableFor(codePage);
  std::string out;
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
  const TCodePageTable& table = TableFor(codePage);
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 2);
  for (unsigned char c : ansi) AppendUtf8(out, table.toUnicode[c]);
  return out;
}

} // namespace pellora
