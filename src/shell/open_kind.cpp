#include "shell/open_kind.h"

#include "platform/ascii.h"
#include "platform/files.h"

#include <filesystem>
#include <fstream>
#include <string_view>

namespace pellora {
namespace {

// As much of a file as tells a mailbox file from a message.
constexpr size_t SampleSize = 64 * 1024;

// The file's first bytes; empty when it cannot be read. whole: the file holds no more.
std::string ReadSample(const std::string& path, bool& whole) {
  std::string sample(SampleSize + 1, '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(sample.data(), static_cast<std::streamsize>(sample.size()));
  sample.resize(static_cast<size_t>(in.gcount()));
  whole = sample.size() <= SampleSize;
  if (!whole) sample.resize(SampleSize);
  return sample;
}

// Header field lines (a name of visible characters but the colon, then a colon) and their
// folded continuations, ended by an empty line. A sample that ends inside such lines counts
// when it is not the whole file: a header may be longer than the sample.
bool BeginsWithHeader(std::string_view text, bool whole) {
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

// What the first bytes of a file of another name say it is.
TOpenKind KindOfText(const std::string& path) {
  bool whole = true;
  std::string sample = ReadSample(path, whole);
  std::string_view text = sample;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (text.starts_with("From ")) return okMailboxFile;
  if (BeginsWithHeader(text, whole)) return okMessageFile;
  return okUnknown;
}

} // namespace

TOpenKind KindOfPath(const std::string& path) {
  std::string ext = ExtractFileExt(path);
  if (SameTextAscii(ext, ".dbx") || SameTextAscii(ext, ".mbx")) return okOEDatabase;
  if (SameTextAscii(ext, ".eml")) return okMessageFile;
  if (DirectoryExists(path)) return okMessageFolder;
  if (SameTextAscii(ext, ".mbox")) return okMailboxFile;
  // Mailbox files and messages come under any name (a mailbox folder "Old.Mail", a list
  // archive "2019-April.txt", a message saved without extension): their text tells.
  // Only a regular file: reading from a pipe would take what its reader needs.
  std::error_code error;
  TOpenKind kind = std::filesystem::is_regular_file(path, error) ? KindOfText(path) : okUnknown;
  if (kind != okUnknown) return kind;
  return ext.empty() ? okMailboxFile : okUnknown;
}

std::string DatabaseOfIndex(const std::string& path) {
  std::string ext = ExtractFileExt(path);
  if (!SameTextAscii(ext, ".idx")) return path;
  std::string stem = path.substr(0, path.size() - ext.size());
  for (const char* databaseExt : {".mbx", ".MBX"})
    if (FileExists(stem + databaseExt)) return stem + databaseExt;
  return path;
}

} // namespace pellora
