#include "stores/input_stream.h"

#include <algorithm>

namespace pellora {

uint64_t TInputStream::Skip(uint64_t count) {
  char buffer[64 * 1024];
  uint64_t done = 0;
  while (done < count) {
    const size_t got = Read(buffer, static_cast<size_t>(std::min<uint64_t>(sizeof buffer, count - done)));
    if (got == 0) break;
    done += got;
  }
  return done;
}

size_t TFileInput::Read(char* buffer, size_t count) {
  if (FAt >= FEnd) return 0;
  count = static_cast<size_t>(std::min<uint64_t>(count, FEnd - FAt));
  const size_t got = FFile.ReadUpTo(FAt, buffer, count);
  FAt += got;
  if (got < count) FEnd = FAt; // the file ends here
  return got;
}

uint64_t TFileInput::Skip(uint64_t count) {
  const uint64_t end = std::min(FEnd, FAt + count); // a read past the file's end finds it
  const uint64_t done = end > FAt ? end - FAt : 0;
  FAt += done;
  return done;
}

size_t TLimitedInput::Read(char* buffer, size_t count) {
  const size_t got = FIn.Read(buffer, static_cast<size_t>(std::min<uint64_t>(count, FLeft)));
  FLeft -= got;
  return got;
}

uint64_t TLimitedInput::Skip(uint64_t count) {
  const uint64_t done = FIn.Skip(std::min(count, FLeft));
  FLeft -= done;
  return done;
}

} // namespace pellora
