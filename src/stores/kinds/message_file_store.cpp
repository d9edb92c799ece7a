#include "stores/kinds/message_file_store.h"

#include "platform/ascii.h"

namespace pellora {

std::string TMessageFileStore::ExportName(const TMessageEntry&) const {
  return NameWithoutExtension(StorePath());
}

// Header field lines (a name of visible characters but the colon, then a colon) and their
// folded continuations, ended by an empty line.
bool TMessageFileStore::BeginsWithHeader(std::string_view text, bool whole) {
  size_t fields = 0;
  while (!text.empty()) {
    size_t lf = text.find('\n');
    if (lf == std::string_view::npos) return !whole && fields > 0;
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) return fields > 0;
    if (IsBlank(line[0])) {
      if (fields == 0) return false;
      continue;
    }
    size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos) return false;
    for (char c : line.substr(0, colon))
      if (c < '!' || c > '~') return false;
    ++fields;
  }
  return !whole && fields > 0;
}

} // namespace pellora
