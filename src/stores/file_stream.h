#pragma once
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pellora {

// A file opened for reading while other programs may read and write it: the one way the stores
// read a file. Reads are positioned (the handle serves any number of readers, kept open from
// message to message while a pass lasts), retried when a signal interrupts them, and report
// short reads instead of raising, so damaged offsets cannot reach outside the file.
class TFileStream {
public:
  // Raises EPelloraError naming the file when it cannot be opened or is a folder.
  explicit TFileStream(const std::string& path);
  ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // The size when it was opened.
  uint64_t Size() const { return FSize; }
  const std::string& Path() const { return FPath; }
  // Size and modification time now; false when the file cannot be examined.
  bool Stamp(TFileStamp& stamp) const;
  // The file will be read front to back: the system may read ahead further.
  void AdviseSequential() const;
  // True when all count bytes at offset were read. A read outside the window refills it from
  // offset with readAhead bytes (at least count, at most the window): a caller that knows how
  // far it will read spares the file's other bytes.
  bool ReadAt(uint64_t offset, void* buffer, size_t count, size_t readAhead = WindowSize) const;
  // As many bytes as the file holds at offset, at most count; an error of the system ends the
  // read as the file's end does.
  size_t ReadSomeAt(uint64_t offset, void* buffer, size_t count) const;
  // As ReadSomeAt, but an error of the system raises the platform's read error naming it.
  size_t ReadUpTo(uint64_t offset, void* buffer, size_t count) const;
  // Raises the platform's read error for this file.
  [[noreturn]] void RaiseReadError() const;

private:
  // Bytes read; err is the system's error when it ended the read early, else 0.
  size_t Read(uint64_t offset, void* buffer, size_t count, int& err) const;

  int FHandle = -1;
  uint64_t FSize = 0;
  // Small reads (record headers, text blocks) come from one window of the file, so that
  // walking a database costs one system call per window instead of one per field.
  static constexpr size_t WindowSize = 64 * 1024;
  mutable std::unique_ptr<char[]> FWindow;
  mutable uint64_t FWindowStart = 0;
  mutable size_t FWindowLength = 0;
  std::string FPath;
};

inline uint32_t GetU32(const void* p) {
  auto b = static_cast<const unsigned char*>(p);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}
inline uint16_t GetU16(const void* p) {
  auto b = static_cast<const unsigned char*>(p);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

} // namespace pellora
