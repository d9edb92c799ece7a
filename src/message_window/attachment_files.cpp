#include "message_window/attachment_files.h"

#include "platform/files.h"
#include "platform/pellora_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

namespace pellora {
namespace {

constexpr size_t MaxNameBytes = 254;

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw EPelloraError(what + " \"" + path + "\". " + std::strerror(err));
}

// Folders made by PrivateTempFolder, the one in use last.
std::vector<std::string>& MadeFolders() {
  static std::vector<std::string> folders;
  return folders;
}

// Bytes of the UTF-8 character that starts with lead (1 for a byte that starts none).
size_t CharLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF7) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The longest start of text of at most max bytes that ends after a whole character; an
// incomplete character at the very end (left by an earlier cut by bytes) goes too.
std::string_view Utf8Prefix(std::string_view text, size_t max) {
  size_t end = 0;
  while (end < text.size()) {
    size_t length = CharLength(static_cast<unsigned char>(text[end]));
    size_t whole = 1;
    while (whole < length && end + whole < text.size() && IsContinuation(text[end + whole]))
      ++whole;
    if (whole < length) {
      if (end + whole == text.size()) break;
      length = 1; // not UTF-8: byte by byte
    }
    if (end + length > max) break;
    end += length;
  }
  return text.substr(0, end);
}

// A new file beside path, renamed over it: rename replaces the name itself, so whatever had
// it (a file, a link) is never written through.
void ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode) {
  std::string folder = ExtractFilePath(path);
  std::random_device random;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    temp = folder + ".pellora-" + suffix + ".part";
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) Fail("Cannot create file", path, errno);
  }
  size_t done = 0;
  int err = 0;
  while (done < bytes.size() && !err) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n >= 0)
      done += static_cast<size_t>(n);
    else if (errno != EINTR)
      err = errno;
  }
  if (close(fd) != 0 && !err) err = errno;
  if (!err && rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err) {
    unlink(temp.c_str());
    Fail("Cannot write file", path, err);
  }
}

} // namespace

std::string PrivateTempFolder() {
  std::vector<std::string>& made = MadeFolders();
  std::string parent = TempFolder();
  if (!made.empty() && ExtractFilePath(made.back()) == parent && IsPrivateFolder(made.back()))
    return made.back() + PathDelim;
  std::string pattern = parent + "pellora-" + std::to_string(geteuid()) + "-XXXXXX";
  if (!mkdtemp(pattern.data())) Fail("Cannot create folder", pattern, errno);
  made.push_back(pattern);
  return pattern + PathDelim;
}

void RemovePrivateTempFolders() {
  for (const std::string& folder : MadeFolders()) {
    // remove_all removes links themselves, never what they point at.
    std::error_code ignored;
    if (IsPrivateFolder(folder)) std::filesystem::remove_all(folder, ignored);
  }
  MadeFolders().clear();
}

std::string SafeFileName(std::string_view name) {
  size_t start = name.find_first_not_of('.');
  if (start == std::string_view::npos) return "attachment";
  std::string safe;
  for (char c : name.substr(start))
    safe += (c == PathDelim || c == '\0') ? '_' : c;
  // A long name keeps its extension, which says what program opens it.
  size_t dot = safe.rfind('.');
  std::string_view ext;
  if (safe.size() > MaxNameBytes && dot != std::string::npos && safe.size() - dot <= 16)
    ext = std::string_view(safe).substr(dot);
  std::string_view stem = std::string_view(safe).substr(0, safe.size() - ext.size());
  std::string cut = std::string(Utf8Prefix(stem, MaxNameBytes - ext.size())) + std::string(ext);
  return cut.empty() ? "attachment" : cut;
}

bool EntryExists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

void WriteFileNoFollow(const std::string& path, std::string_view bytes) {
  ReplaceFile(path, bytes, 0600);
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  ReplaceFile(path, bytes, 0666);
}

} // namespace pellora
