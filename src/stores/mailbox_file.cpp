#include "stores/mailbox_file.h"

#include "platform/pellora_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pellora {
namespace {

constexpr size_t ChunkSize = 1 << 20;

[[noreturn]] void RaiseFileError(const char* what, const std::string& path, int err) {
  throw EPelloraError(std::string(what) + " file \"" + path + "\". " + std::strerror(err));
}

} // namespace

TMailboxLineReader::TMailboxLineReader(const std::string& path, int64_t startOffset,
                                       int64_t length)
    : FPath(path) {
  FHandle = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (FHandle < 0) RaiseFileError("Cannot open", path, errno);
  if (startOffset > 0 && lseek(FHandle, startOffset, SEEK_SET) < 0) {
    int err = errno;
    close(FHandle);
    RaiseFileError("Cannot read", path, err);
  }
  FBufferOffset = startOffset;
  FAtFileStart = startOffset <= 0;
  // A small file needs no whole chunk: read-backs open the file once per message.
  FStamped = GetOpenFileStamp(FHandle, FStamp);
  int64_t left = FStamped ? static_cast<int64_t>(FStamp.size) - startOffset : 0;
  if (length >= 0) {
    FLimit = startOffset + length;
    left = std::min(left, length);
  }
  FBuffer.resize(static_cast<size_t>(std::clamp<int64_t>(left + 1, 256, ChunkSize)));
}

TMailboxLineReader::~TMailboxLineReader() {
  if (FHandle >= 0) close(FHandle);
}

void TMailboxLineReader::Refill() {
  size_t rest = FEnd - FPos;
  if (FPos > 0) {
    std::memmove(FBuffer.data(), FBuffer.data() + FPos, rest);
    FBufferOffset += static_cast<int64_t>(FPos);
    FPos = 0;
    FEnd = rest;
  }
  if (FEnd == FBuffer.size()) FBuffer.resize(FBuffer.size() * 2); // one line longer than a chunk
  FNextKnown = false;
  for (;;) {
    size_t wanted = FBuffer.size() - FEnd;
    if (FLimit >= 0)
      wanted = static_cast<size_t>(
          std::clamp<int64_t>(FLimit - FBufferOffset - static_cast<int64_t>(FEnd), 0,
                              static_cast<int64_t>(wanted)));
    ssize_t got = wanted > 0 ? read(FHandle, FBuffer.data() + FEnd, wanted) : 0;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) RaiseFileError("Cannot read", FPath, errno);
    if (got == 0) FEof = true;
    FEnd += static_cast<size_t>(got);
    return;
  }
}

bool TMailboxLineReader::Next(std::string_view& line, bool& discarded) {
  if (FAtFileStart) {
    FAtFileStart = false;
    while (FEnd - FPos < 3 && !FEof)
      Refill();
    if (FEnd - FPos >= 3 && std::memcmp(FBuffer.data() + FPos, "\xEF\xBB\xBF", 3) == 0) FPos += 3;
  }
  const char* lf;
  size_t lineEnd, nextPos;
  for (;;) {
    lf = static_cast<const char*>(std::memchr(FBuffer.data() + FPos, '\n', FEnd - FPos));
    if (lf) {
      lineEnd = static_cast<size_t>(lf - FBuffer.data());
      nextPos = lineEnd + 1;
      break;
    }
    if (FEof) {
      if (FPos == FEnd) return false;
      lineEnd = nextPos = FEnd;
      break;
    }
    Refill();
  }
  const char* data = FBuffer.data();
  size_t start = FPos;
  FLineOffset = FBufferOffset + static_cast<int64_t>(start);
  FPos = nextPos;
  discarded = start < lineEnd && data[start] == '\x1A';
  if (discarded) {
    line = {};
    return true;
  }
  size_t end = lineEnd;
  if (end > start && data[end - 1] == '\r') --end;
  // Rare bytes are looked for once per stretch of buffer, not once per line.
  if (!FNextKnown || FNextCR < start) {
    auto cr = static_cast<const char*>(std::memchr(data + start, '\r', FEnd - start));
    FNextCR = cr ? static_cast<size_t>(cr - data) : FEnd;
  }
  if (!FNextKnown || FNextSub < start) {
    auto sub = static_cast<const char*>(std::memchr(data + start, '\x1A', FEnd - start));
    FNextSub = sub ? static_cast<size_t>(sub - data) : FEnd;
  }
  FNextKnown = true;
  if (FNextCR >= end && FNextSub >= end) {
    line = std::string_view(data + start, end - start);
    return true;
  }
  FScratch.clear();
  for (size_t i = start; i < end; ++i) {
    char c = data[i];
    if (c == '\x1A') break;
    if (c != '\r') FScratch += c;
  }
  line = FScratch;
  return true;
}

bool IsMailboxMarkerLine(std::string_view line) {
  return line.starts_with("X-Mozilla-") || line.starts_with("X-Account-Key: ") ||
         line.starts_with("X-UIDL: ");
}

void VisitMailboxMessage(const std::string& path, int64_t size, int64_t startLine,
                         TMailboxRule rule, const TLineVisitor& visit) {
  TMailboxLineReader reader(path);
  std::string_view line;
  bool discarded;
  int64_t lineNumber = 0;
  // Under the marker rule the size of every message but the last includes the next message's
  // separator: a separator line waits until the line after it shows whether it starts the next
  // message.
  const bool marked = rule == mrMarked;
  std::string separator;
  bool separatorWaits = false;
  bool first = true;
  int64_t total = 0;
  while (reader.Next(line, discarded)) {
    ++lineNumber;
    if (discarded || lineNumber < startLine) continue;
    if (!first && total >= size) {
      if (separatorWaits && IsMailboxMarkerLine(line)) return;
      // A classic message ends where the next one starts: the empty lines up to there are its.
      if (marked || !line.empty()) break;
    }
    first = false;
    if (separatorWaits) {
      separatorWaits = false;
      if (!visit(separator)) return;
    }
    total += static_cast<int64_t>(line.size());
    if (marked && IsSeparatorLine(line)) {
      separator.assign(line);
      separatorWaits = true;
    } else if (!visit(line)) {
      return;
    }
  }
  if (separatorWaits) visit(separator);
}

void CollectLines(std::vector<std::string>& lines,
                  const std::function<void(const TLineVisitor& visit)>& read) {
  size_t count = 0;
  read([&](std::string_view line) {
    if (count < lines.size())
      lines[count].assign(line);
    else
      lines.emplace_back(line);
    ++count;
    return true;
  });
  lines.resize(count);
}

void ReadMailboxMessage(const std::string& path, std::vector<std::string>& lines, int64_t size,
                        int64_t startLine, TMailboxRule rule) {
  CollectLines(lines, [&](const TLineVisitor& visit) {
    VisitMailboxMessage(path, size, startLine, rule, visit);
  });
}

bool VisitMailboxExtent(const std::string& path, const TMailboxExtent& extent, TMailboxRule rule,
                        const TLineVisitor& visit) {
  // The message's bytes alone, in one read: what follows them (mail appended after a last line
  // without its line end, say) is no part of it.
  TMailboxLineReader reader(path, extent.Begin, extent.End - extent.Begin);
  std::string_view line;
  bool discarded;
  if (!reader.Next(line, discarded) || discarded || !IsSeparatorLine(line)) return false;
  // Under the marker rule the empty lines at the end of the file's last message are not its
  // own: they are held back until a line with text follows.
  const bool holdEmpty = rule == mrMarked && extent.LastInFile;
  size_t held = 0;
  bool more = visit(line);
  while (more && reader.Next(line, discarded)) {
    if (discarded) continue;
    if (holdEmpty && line.empty()) {
      ++held;
      continue;
    }
    for (; held > 0 && more; --held)
      more = visit({});
    if (more) more = visit(line);
  }
  return true;
}

} // namespace pellora
