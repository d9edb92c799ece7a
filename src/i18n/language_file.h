#pragma once
#include "i18n/language_ids.h"

#include <map>
#include <string>
#include <string_view>

namespace pellora {

// A language file (".lng") as read: texts in UTF-8, names and keys upper-cased (they are
// compared without regard to ASCII case).
struct TLanguageFile {
  std::string path;
  TLanguageId langId = 0; // 0 when the header holds no usable "LANGID"
  std::map<std::string, std::string> header;
  std::map<std::string, std::string> constants;
  std::map<std::string, std::map<int, std::string>> sections;

  // The text of a property identifier in a window's section, or nullptr.
  const std::string* Text(std::string_view section, int id) const;
};

// Reads a language file. A file starting with the byte-order mark FF FE is UTF-16
// (little-endian), FE FF big-endian UTF-16, EF BB BF UTF-8; any other is 8-bit text in the ANSI
// code page of the language its header names. With headerOnly, reading stops at the first
// section. Raises EPelloraError: a file that cannot be read with the file's error, a line that
// cannot be taken with "Loading translations failed.\r\nLine %d: %s".
TLanguageFile ReadLanguageFile(const std::string& path, bool headerOnly = false);
TLanguageFile ParseLanguageFile(std::string_view bytes, bool headerOnly = false);

// "\\" gives a backslash, "\n" CR LF, "\t" a tab, "\" and two decimal digits the character of
// that code; any other backslash stays.
std::string UnescapeLanguageText(std::string_view text);

} // namespace pellora
