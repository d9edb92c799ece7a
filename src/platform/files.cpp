#include "platform/files.h"

#include "platform/ascii.h"
#include "platform/pellora_error.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace pellora {
namespace {

TFileStamp StampOf(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
          static_cast<uint64_t>(st.st_ino)};
}

// Iterative wildcard match with one backtrack point: linear in practice, no recursion.
bool WildMatch(std::string_view name, std::string_view mask) {
  size_t n = 0, m = 0, starM = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && AsciiUpper(mask[m]) == AsciiUpper(name[n])))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string_view::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

uint32_t AttributesOf(const std::string& path, const char* name, struct stat& st, bool& isDir) {
  isDir = false;
  if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) return 0;
  uint32_t attr = 0;
  if (S_ISDIR(st.st_mode)) {
    attr |= faDirectory;
    struct stat own{};
    isDir = lstat(path.c_str(), &own) == 0 && S_ISDIR(own.st_mode); // never follow links down
  } else if (S_ISREG(st.st_mode)) {
    attr |= faArchive;
  }
  if (name[0] == '.') attr |= faHidden;
  if (attr && access(path.c_str(), W_OK) != 0) attr |= faReadOnly;
  return attr;
}

} // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (name.find('.') == std::string_view::npos) {
    std::string dotted(name);
    dotted += '.';
    return WildMatch(dotted, mask);
  }
  return WildMatch(name, mask);
}

uint64_t FindFiles(const std::string& folder, std::string_view mask, uint32_t attrFilter,
                   bool recursive, std::vector<std::string>* list) {
  std::string base = IncludeTrailingPathDelimiter(folder);
  DIR* dir = opendir(base.c_str());
  if (!dir) return 0;
  uint64_t total = 0;
  while (dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    std::string path = base + name;
    struct stat st{};
    bool walk = false;
    uint32_t attr = AttributesOf(path, name, st, walk);
    if ((attr & attrFilter) && MatchesMask(name, mask)) {
      if (list) list->push_back(path);
      if (!(attr & faDirectory)) total += static_cast<uint64_t>(st.st_size);
    }
    if (recursive && walk) total += FindFiles(path, mask, attrFilter, true, list);
  }
  closedir(dir);
  return total;
}

bool FileExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool GetFileStamp(const std::string& path, TFileStamp& stamp) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return false;
  stamp = StampOf(st);
  return true;
}

bool GetOpenFileStamp(int handle, TFileStamp& stamp) {
  struct stat st{};
  if (fstat(handle, &st) != 0) return false;
  stamp = StampOf(st);
  return true;
}

std::string ReadWholeFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    throw EPelloraError("Cannot open file \"" + path + "\". " + std::strerror(errno));
  std::string data;
  struct stat st{};
  if (fstat(fd, &st) == 0 && st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      close(fd);
      throw EPelloraError("Cannot read file \"" + path + "\". " + std::strerror(err));
    }
    if (got == 0) break;
    data.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return data;
}

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  return IncludeTrailingPathDelimiter(dir && *dir ? dir : "/tmp");
}

bool IsPrivateFolder(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & 077) == 0;
}

bool MakePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsPrivateFolder(path);
}

std::string UserBaseFolder(const char* variable, const char* underHome) {
  std::string folder;
  const char* value = std::getenv(variable);
  if (value && *value == PathDelim) { // a relative value is to be ignored
    folder = value;
  } else {
    const char* home = std::getenv("HOME");
    if (!(home && *home))
      if (const passwd* user = getpwuid(getuid())) home = user->pw_dir;
    folder = std::string(home ? home : "") + PathDelim + underHome;
  }
  while (folder.size() > 1 && folder.back() == PathDelim)
    folder.pop_back();
  return folder;
}

void MakeFolders(const std::string& folder) {
  for (size_t at = folder.find(PathDelim, 1); at != std::string::npos;
       at = folder.find(PathDelim, at + 1))
    mkdir(folder.substr(0, at).c_str(), 0700);
  mkdir(folder.c_str(), 0700);
}

std::string ProgramCacheFolder() {
  const std::string folder = UserBaseFolder("XDG_CACHE_HOME", ".cache") + PathDelim + "pellora";
  MakeFolders(folder);
  return folder;
}

std::string RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == PathDelim && IsPrivateFolder(runtime))
    return IncludeTrailingPathDelimiter(runtime);
  // Not a name in the shared temporary folder, which another user could take first: a folder
  // of the user's own cache, one per machine, since several may share a home.
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || !*host) std::strcpy(host, "localhost");
  std::string name = std::string("run-") + host;
  for (char& c : name)
    if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '-') c = '_';
  const std::string own = ProgramCacheFolder() + PathDelim + name;
  return MakePrivateFolder(own) ? own + PathDelim : std::string();
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && path.back() == PathDelim) return path;
  return path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  if (path.size() > 1 && path.back() == PathDelim) return path.substr(0, path.size() - 1);
  return path;
}

std::string ExtractFileName(std::string_view path) {
  size_t slash = path.rfind(PathDelim);
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFilePath(std::string_view path) {
  size_t slash = path.rfind(PathDelim);
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ExtractFileExt(std::string_view path) {
  size_t slash = path.rfind(PathDelim);
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return std::string(path.substr(dot));
}

} // namespace pellora
