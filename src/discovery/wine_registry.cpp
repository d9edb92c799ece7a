#include "discovery/wine_registry.h"

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/unicode.h"

#include <vector>

namespace pellora {
namespace {

// The character at text[at] as UTF-16LE: UTF-8 where the bytes form it, otherwise one byte.
void AppendPlain(std::string_view text, size_t& at, std::string& out) {
  char32_t cp = 0;
  size_t length = DecodeUtf8(text, at, cp);
  if (length == 0) {
    cp = static_cast<unsigned char>(text[at]);
    length = 1;
  }
  at += length;
  AppendUtf16Le(out, cp);
}

// Up to maxDigits hexadecimal digits at text[at]; false when there is none.
bool ReadHex(std::string_view text, size_t& at, int maxDigits, uint32_t& value) {
  value = 0;
  int digits = 0;
  while (digits < maxDigits && at < text.size() && HexDigitValue(text[at]) >= 0) {
    value = value << 4 | static_cast<uint32_t>(HexDigitValue(text[at++]));
    ++digits;
  }
  return digits > 0;
}

// Text up to an unescaped endChar, as UTF-16LE; at moves past endChar. False when endChar never
// comes.
bool Unescape(std::string_view text, size_t& at, char endChar, std::string& out) {
  while (at < text.size()) {
    char c = text[at];
    if (c == endChar) {
      ++at;
      return true;
    }
    if (c == '\\' && at + 1 < text.size()) {
      char e = text[at + 1];
      at += 2;
      uint32_t unit = 0;
      switch (e) {
      case 'a':
        unit = 7;
        break;
      case 'b':
        unit = 8;
        break;
      case 'e':
        unit = 27;
        break;
      case 'f':
        unit = 12;
        break;
      case 'n':
        unit = 10;
        break;
      case 'r':
        unit = 13;
        break;
      case 't':
        unit = 9;
        break;
      case 'v':
        unit = 11;
        break;
      case 'x':
        if (!ReadHex(text, at, 4, unit)) unit = 'x';
        break;
      default:
        if (e >= '0' && e <= '7') {
          unit = static_cast<uint32_t>(e - '0');
          for (int k = 0; k < 2 && at < text.size() && text[at] >= '0' && text[at] <= '7'; ++k)
            unit = unit << 3 | static_cast<uint32_t>(text[at++] - '0');
        } else {
          --at; // any other escaped character stands for itself
          AppendPlain(text, at, out);
          continue;
        }
      }
      AppendUtf16Le(out, unit);
      continue;
    }
    AppendPlain(text, at, out);
  }
  return false;
}

void SkipSpaces(std::string_view text, size_t& at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
    ++at;
}

bool Consume(std::string_view text, size_t& at, std::string_view word) {
  if (text.substr(at, word.size()) != word) return false;
  at += word.size();
  return true;
}

class TParser {
public:
  explicit TParser(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      FLines.push_back(line);
      start = end + 1;
    }
  }

  TWineRegistryFile Run() {
    TWineRegistryFile file;
    TMemoryHive::TNode* key = nullptr;
    for (FLine = 0; FLine < FLines.size(); ++FLine) {
      std::string_view line = FLines[FLine];
      size_t at = 0;
      SkipSpaces(line, at);
      if (at >= line.size()) continue;
      if (line[at] == '[') {
        ++at;
        std::string path;
        key = Unescape(line, at, ']', path) ? &file.Hive->AddKey(Utf16LeToUtf8(path)) : nullptr;
      } else if (Consume(line, at, ";; All keys relative to ")) {
        std::string relative;
        Unescape(line, at, '\0', relative);
        file.RelativeTo = Utf16LeToUtf8(relative);
      } else if (key && (line[at] == '"' || line[at] == '@')) {
        ReadValue(*key, line, at);
      }
    }
    return file;
  }

private:
  void ReadValue(TMemoryHive::TNode& key, std::string_view line, size_t at) {
    std::string name;
    if (line[at] == '@') {
      ++at;
    } else {
      ++at;
      if (!Unescape(line, at, '"', name)) return;
    }
    SkipSpaces(line, at);
    if (!Consume(line, at, "=")) return;
    SkipSpaces(line, at);
    TRegistryValue value;
    uint32_t type = 0;
    if (at < line.size() && line[at] == '"') {
      value.Type = REG_SZ;
      ++at;
      if (!Unescape(line, at, '"', value.Data)) return;
      value.Data.append(2, '\0');
    } else if (Consume(line, at, "str(")) {
      if (!ReadHex(line, at, 8, type) || !Consume(line, at, "):\"")) return;
      value.Type = type;
      if (!Unescape(line, at, '"', value.Data)) return;
      value.Data.append(2, '\0');
    } else if (Consume(line, at, "dword:")) {
      uint32_t number = 0;
      if (!ReadHex(line, at, 8, number)) return;
      value.Type = REG_DWORD;
      for (int i = 0; i < 4; ++i)
        value.Data += static_cast<char>(number >> (8 * i) & 0xFF);
    } else if (Consume(line, at, "hex:")) {
      value.Type = REG_BINARY;
      ReadHexBytes(line, at, value.Data);
    } else if (Consume(line, at, "hex(")) {
      if (!ReadHex(line, at, 8, type) || !Consume(line, at, "):")) return;
      value.Type = type;
      ReadHexBytes(line, at, value.Data);
    } else {
      return;
    }
    TMemoryHive::SetValue(key, Utf16LeToUtf8(name), std::move(value));
  }

  // Bytes written "01,02,..."; a "\" at the end of a line continues the list on the next line.
  void ReadHexBytes(std::string_view line, size_t at, std::string& data) {
    for (;;) {
      SkipSpaces(line, at);
      if (at < line.size() && line[at] == '\\' && FLine + 1 < FLines.size()) {
        line = FLines[++FLine];
        at = 0;
        continue;
      }
      uint32_t byte = 0;
      if (!ReadHex(line, at, 2, byte)) return;
      data += static_cast<char>(byte);
      SkipSpaces(line, at);
      if (at < line.size() && line[at] == ',') ++at;
    }
  }

  std::vector<std::string_view> FLines;
  size_t FLine = 0;
};

} // namespace

TWineRegistryFile ParseWineRegistry(std::string_view text) {
  return TParser(text).Run();
}

TWineRegistryFile LoadWineRegistry(const std::string& path) {
  std::string text;
  try {
    text = ReadWholeFile(path);
  } catch (const EPelloraError&) {
    return {};
  }
  return ParseWineRegistry(text);
}

} // namespace pellora
