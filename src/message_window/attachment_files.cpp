#include "message_window/attachment_files.h"

#include "platform/files.h"
#include "platform/pellora_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pellora {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw EPelloraError(what + " \"" + path + "\". " + std::strerror(err));
}

void WriteAll(int fd, std::string_view bytes, const std::string& path) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      close(fd);
      Fail("Cannot write file", path, err);
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0) Fail("Cannot write file", path, errno);
}

bool IsPrivateFolder(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & 077) == 0;
}

} // namespace

std::string PrivateTempFolder() {
  std::string folder = TempFolder() + "pellora-" + std::to_string(geteuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) Fail("Cannot create folder", folder, errno);
  if (!IsPrivateFolder(folder)) {
    // Someone else's folder, a link or open to others: take a fresh one of our own.
    std::string pattern = TempFolder() + "pellora-" + std::to_string(geteuid()) + "-XXXXXX";
    if (!mkdtemp(pattern.data())) Fail("Cannot create folder", pattern, errno);
    folder = pattern;
  }
  return folder + PathDelim;
}

std::string SafeFileName(std::string_view name) {
  std::string safe;
  for (char c : name) safe += (c == PathDelim || c == '\0') ? '_' : c;
  if (safe.empty() || safe == "." || safe == "..") return "attachment";
  // A file system takes names of up to 255 bytes: a longer one keeps its extension and loses
  // whole characters before it.
  constexpr size_t MaxName = 255;
  if (safe.size() > MaxName) {
    size_t dot = safe.rfind('.');
    std::string ext = dot != std::string::npos && safe.size() - dot <= 16 ? safe.substr(dot) : "";
    size_t keep = MaxName - ext.size();
    while (keep > 0 && (static_cast<unsigned char>(safe[keep]) & 0xC0) == 0x80)
      --keep;
    safe = safe.substr(0, keep) + ext;
  }
  return safe;
}

void WriteFileNoFollow(const std::string& path, std::string_view bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) Fail("Cannot create file", path, errno);
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    throw EPelloraError("Cannot create file \"" + path + "\". Not a regular file");
  }
  fchmod(fd, 0600); // an existing file keeps no execute bit
  WriteAll(fd, bytes, path);
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("Cannot create file", path, errno);
  WriteAll(fd, bytes, path);
}

} // namespace pellora
