#include "shell/open_kind.h"

#include "platform/ascii.h"
#include "platform/files.h"

namespace pellora {

TOpenKind KindOfPath(const std::string& path) {
  std::string ext = ExtractFileExt(path);
  if (SameTextAscii(ext, ".dbx") || SameTextAscii(ext, ".mbx")) return okOEDatabase;
  if (SameTextAscii(ext, ".eml")) return okMessageFile;
  if (DirectoryExists(path)) return okMessageFolder;
  if (ext.empty()) return okMailboxFile;
  return okUnknown;
}

} // namespace pellora
