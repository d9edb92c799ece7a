#include "platform/safe_files.h"

#include "platform/files.h"
#include "platform/pellora_error.h"
#include "platform/unicode.h"

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

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw EFileError(what + " \"" + path + "\". " + std::strerror(err), err);
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


// The one way to make a file here: a new temporary name beside path, never an existing file.
int CreateTempBeside(const std::string& path, unsigned mode, std::string& temp) {
  std::string folder = ExtractFilePath(path);
  std::random_device random;
  for (int attempt = 0;; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    temp = folder + ".pellora-" + suffix + ".part";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0) return fd;
    if (errno != EEXIST || attempt == 100) Fail("Cannot create file", path, errno);
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

std::string SafeFileName(std::string_view name) {
  std::string safe;
  for (size_t at = 0; at < name.size();) {
    char32_t c;
    size_t length = DecodeUtf8(name, at, c);
    if (length == 0) {
      length = 1;
    } else if (IsFormatCharacter(c)) {
      at += length; // shows the name otherwise than it is, such as right-to-left
      continue;
    }
    const char first = name[at];
    if (length == 1 && (first == PathDelim || first == '\0'))
      safe += '_';
    else
      safe.append(name.substr(at, length));
    at += length;
  }
  safe.erase(0, safe.find_first_not_of('.'));
  if (safe.empty()) return "attachment";
  if (safe.front() == '-') safe.insert(0, 1, '_'); // no option to a command that is given it
  // A long name keeps its extension, which says what program opens it.
  size_t dot = safe.rfind('.');
  std::string_view ext;
  if (safe.size() > MaxFileNameBytes && dot != std::string::npos && safe.size() - dot <= 16)
    ext = std::string_view(safe).substr(dot);
  std::string_view stem = std::string_view(safe).substr(0, safe.size() - ext.size());
  std::string cut = std::string(Utf8Prefix(stem, MaxFileNameBytes - ext.size())) + std::string(ext);
  return cut.empty() ? "attachment" : cut;
}

bool EntryExists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

void WriteFileNoFollow(const std::string& path, std::string_view bytes) {
  TSafeFileWriter writer(path, 0600);
  writer.Write(bytes);
  writer.Commit(true);
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  TSafeFileWriter writer(path, 0666);
  writer.Write(bytes);
  writer.Commit(true);
}

bool IsUnusableNameError(int code) {
  return code == ENAMETOOLONG || code == EINVAL || code == EILSEQ;
}

namespace {
constexpr size_t WriteBlock = 1 << 20;
} // namespace

TSafeFileWriter::TSafeFileWriter(const std::string& path, unsigned mode) : FPath(path) {
  FHandle = CreateTempBeside(path, mode, FTemp);
}

TSafeFileWriter::~TSafeFileWriter() {
  if (FHandle >= 0) close(FHandle);
  if (!FTemp.empty()) unlink(FTemp.c_str());
}

void TSafeFileWriter::Abandon(const char* what, int err) {
  if (FHandle >= 0) close(FHandle);
  FHandle = -1;
  unlink(FTemp.c_str());
  FTemp.clear();
  Fail(what, FPath, err);
}

void TSafeFileWriter::WriteOut(std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(FHandle, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Abandon("Cannot write file", errno);
    done += static_cast<size_t>(n);
  }
  FWritten += bytes.size();
}

void TSafeFileWriter::Write(std::string_view bytes) {
  if (FHandle < 0) Fail("Cannot write file", FPath, EBADF); // committed or failed before
  if (FBuffer.size() + bytes.size() <= WriteBlock) {
    FBuffer.append(bytes);
    return;
  }
  WriteOut(FBuffer);
  FBuffer.clear();
  if (bytes.size() >= WriteBlock)
    WriteOut(bytes); // large pieces go straight to the file: no second copy
  else
    FBuffer.append(bytes);
}

void TSafeFileWriter::Rewind(uint64_t position) {
  if (FHandle < 0 || position >= Position()) return;
  if (position >= FWritten) {
    FBuffer.resize(static_cast<size_t>(position - FWritten));
    return;
  }
  FBuffer.clear();
  if (ftruncate(FHandle, static_cast<off_t>(position)) != 0 ||
      lseek(FHandle, static_cast<off_t>(position), SEEK_SET) < 0)
    Abandon("Cannot write file", errno);
  FWritten = position;
}

void TSafeFileWriter::CommitAs(const std::string& path, bool replace) {
  if (FTemp.empty()) Fail("Cannot write file", path, EBADF);
  if (FHandle >= 0) {
    WriteOut(FBuffer);
    FBuffer.clear();
    int handle = FHandle;
    FHandle = -1;
    if (close(handle) != 0) Abandon("Cannot write file", errno);
  }
  int err = 0;
  bool linked = false;
  if (replace) {
    if (rename(FTemp.c_str(), path.c_str()) != 0) err = errno;
  } else if (renameat2(AT_FDCWD, FTemp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
    err = errno;
    // File systems without the flag: a hard link is refused as well when the name is taken.
    if (err == EINVAL || err == ENOSYS) {
      linked = link(FTemp.c_str(), path.c_str()) == 0;
      err = linked ? 0 : errno;
    }
  }
  if (err) Fail(err == EEXIST ? "File already exists" : "Cannot write file", path, err);
  if (linked) unlink(FTemp.c_str());
  FTemp.clear(); // nothing left to remove
}

} // namespace pellora
