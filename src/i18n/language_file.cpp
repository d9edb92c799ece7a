#include "i18n/language_file.h"

#include "i18n/format_text.h"
#include "platform/unicode.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/pellora_error.h"

#include <vector>

namespace pellora {
namespace {

bool IsIdentifier(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
      return false;
  return true;
}

TLanguageId LanguageIdOf(const std::map<std::string, std::string>& header) {
  auto it = header.find("LANGID");
  if (it == header.end()) return 0;
  int32_t value = ParseInt32Or(it->second, 0);
  return value > 0 && value <= 0xFFFF ? static_cast<TLanguageId>(value) : 0;
}

enum class TSectionKind { Header, Constants, Window };

// Reads the lines of a text already in UTF-8 (or, for the header alone, any ASCII-compatible
// code page: the header's keys and LANGID are ASCII).
void ParseLines(std::string_view text, bool headerOnly, TLanguageFile& file) {
  std::vector<std::string_view> lines;
  ForEachLine(text, [&lines](std::string_view line) { lines.push_back(line); });
  TSectionKind kind = TSectionKind::Header;
  std::map<int, std::string>* section = nullptr;
  for (size_t index = 0; index < lines.size(); ++index) {
    try {
      std::string_view line = TrimControls(lines[index]);
      if (line.empty() || line[0] == ';') continue;
      if (line[0] == '[' && line.size() > 2 && line.back() == ']') {
        if (headerOnly) break;
        std::string name = UpperCaseAscii(TrimControls(line.substr(1, line.size() - 2)));
        if (name == "$CONSTANTS") {
          kind = TSectionKind::Constants;
        } else {
          kind = TSectionKind::Window;
          section = &file.sections[name]; // a repeated section adds to the first
        }
        continue;
      }
      size_t eq = line.find('=');
      if (eq == std::string_view::npos) continue;
      std::string_view key = TrimControls(line.substr(0, eq));
      if (key.empty()) continue;
      std::string value = UnescapeLanguageText(TrimControls(line.substr(eq + 1)));
      switch (kind) {
      case TSectionKind::Header:
        file.header[UpperCaseAscii(key)] = std::move(value);
        break;
      case TSectionKind::Constants:
        if (!IsIdentifier(key))
          throw EPelloraError(FormatText("Invalid constant name (\"%s\")", {Utf8ToAnsi(key)}));
        if (!file.constants.emplace(UpperCaseAscii(key), std::move(value)).second)
          throw EPelloraError(FormatText("Duplicate constant name (\"%s\")", {Utf8ToAnsi(key)}));
        break;
      case TSectionKind::Window: {
        int32_t id = 0;
        if (!TryParseInt32(key, id) || id <= 0) continue;
        if (!section->emplace(id, std::move(value)).second)
          throw EPelloraError(FormatText("Duplicate property value translation ID (%d)", {id}));
        break;
      }
      }
    } catch (const std::exception& e) {
      throw EPelloraError(FormatText("Loading translations failed.\r\nLine %d: %s",
                                     {static_cast<long long>(index), e.what()}));
    }
  }
}

} // namespace

const std::string* TLanguageFile::Text(std::string_view section, int id) const {
  auto s = sections.find(UpperCaseAscii(section));
  if (s == sections.end()) return nullptr;
  auto t = s->second.find(id);
  return t == s->second.end() ? nullptr : &t->second;
}

std::string UnescapeLanguageText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    char next = text[i + 1];
    if (next == '\\') {
      out += '\\';
      ++i;
    } else if (next == 'n') {
      out += "\r\n";
      ++i;
    } else if (next == 't') {
      out += '\t';
      ++i;
    } else if (digit(next) && i + 2 < text.size() && digit(text[i + 2])) {
      out += static_cast<char>((next - '0') * 10 + (text[i + 2] - '0'));
      i += 2;
    } else {
      out += '\\';
    }
  }
  return out;
}

TLanguageFile ParseLanguageFile(std::string_view bytes, bool headerOnly) {
  TLanguageFile file;
  auto starts = [bytes](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  std::string text;
  if (starts("\xFF\xFE")) {
    text = Utf16ToUtf8(bytes.substr(2), false);
  } else if (starts("\xFE\xFF")) {
    text = Utf16ToUtf8(bytes.substr(2), true);
  } else if (starts("\xEF\xBB\xBF")) {
    text = std::string(bytes.substr(3));
  } else {
    // The header tells the language, and the language the code page of the rest.
    TLanguageFile header;
    ParseLines(bytes, true, header);
    if (headerOnly) {
      header.langId = LanguageIdOf(header.header);
      return header;
    }
    TLanguageId id = LanguageIdOf(header.header);
    text = AnsiToUtf8(bytes, CodePageOfLanguage(id ? id : LangEnglishUS));
  }
  ParseLines(text, headerOnly, file);
  file.langId = LanguageIdOf(file.header);
  return file;
}

TLanguageFile ReadLanguageFile(const std::string& path, bool headerOnly) {
  TLanguageFile file = ParseLanguageFile(ReadWholeFile(path), headerOnly);
  file.path = path;
  return file;
}

} // namespace pellora
