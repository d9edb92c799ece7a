#include "stores/file_stream.h"

#include "platform/pellora_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellora {

TFileStream::TFileStream(const std::string& path) : FPath(path) {
  FHandle = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (FHandle < 0)
    throw EPelloraError("Cannot open file \"" + path + "\". " + std::strerror(errno));
  struct stat st {};
  if (fstat(FHandle, &st) != 0 || S_ISDIR(st.st_mode)) {
    int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    close(FHandle);
    FHandle = -1;
    throw EPelloraError("Cannot open file \"" + path + "\". " + std::strerror(err));
  }
  FSize = static_cast<uint64_t>(st.st_size);
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) close(FHandle);
}

bool TFileStream::Stamp(TFileStamp& stamp) const {
  return GetOpenFileStamp(FHandle, stamp);
}

void TFileStream::AdviseSequential() const {
  posix_fadvise(FHandle, 0, 0, POSIX_FADV_SEQUENTIAL);
}

size_t TFileStream::Read(uint64_t offset, void* buffer, size_t count, int& err) const {
  err = 0;
  size_t done = 0;
  auto out = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t got = pread(FHandle, out + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) err = errno;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

size_t TFileStream::ReadSomeAt(uint64_t offset, void* buffer, size_t count) const {
  int err;
  return Read(offset, buffer, count, err);
}

size_t TFileStream::ReadUpTo(uint64_t offset, void* buffer, size_t count) const {
  int err;
  const size_t done = Read(offset, buffer, count, err);
  if (err != 0)
    throw EPelloraError("Cannot read file \"" + FPath + "\". " + std::strerror(err));
  return done;
}

bool TFileStream::ReadAt(uint64_t offset, void* buffer, size_t count, size_t readAhead) const {
  if (offset > FSize || count > FSize - offset) return false;
  if (count == 0) return true; // buffer may be null then
  if (count > WindowSize / 4) return ReadSomeAt(offset, buffer, count) == count;
  if (offset < FWindowStart || offset + count > FWindowStart + FWindowLength) {
    if (!FWindow) FWindow = std::make_unique_for_overwrite<char[]>(WindowSize);
    FWindowStart = offset;
    FWindowLength = ReadSomeAt(offset, FWindow.get(), std::clamp(readAhead, count, WindowSize));
    if (count > FWindowLength) return false;
  }
  std::memcpy(buffer, FWindow.get() + (offset - FWindowStart), count);
  return true;
}

void TFileStream::RaiseReadError() const {
  throw EPelloraError("Cannot read file \"" + FPath + "\". Unexpected end of file.");
}

} // namespace pellora
