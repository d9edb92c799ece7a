#include "stores/mailbox_file.h"

#include <algorithm>
#include <cstring>

namespace pellora {
namespace {

constexpr size_t ChunkSize = 1 << 20;

} // namespace

TMailboxLineReader::TMailboxLineReader(TInputStream& in, int64_t startOffset, uint64_t sizeHint)
    : FIn(&in), FBufferOffset(startOffset), FAtFileStart(startOffset <= 0) {
  // A small message needs no whole chunk: read-backs open a reader per message.
  FBuffer.resize(static_cast<size_t>(std::clamp<uint64_t>(sizeHint + 1, 256, ChunkSize)));
}

TMailboxLineReader::TMailboxLineReader(const std::string& path, int64_t startOffset,
                                       int64_t length)
    : FOwnFile(std::make_unique<TFileStream>(path)) {
  const uint64_t start = static_cast<uint64_t>(std::max<int64_t>(startOffset, 0));
  FOwnInput = std::make_unique<TFileInput>(*FOwnFile, start, length);
  FIn = FOwnInput.get();
  FBufferOffset = static_cast<int64_t>(start);
  FAtFileStart = start == 0;
  uint64_t left = FOwnFile->Size() > start ? FOwnFile->Size() - start : 0;
  if (length >= 0) left = std::min(left, static_cast<uint64_t>(length));
  FBuffer.resize(static_cast<size_t>(std::clamp<uint64_t>(left + 1, 256, ChunkSize)));
}

TMailboxLineReader::~TMailboxLineReader() = default;

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
  const size_t got = FIn->Read(FBuffer.data() + FEnd, FBuffer.size() - FEnd);
  if (got == 0) FEof = true;
  FEnd += got;
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
  FLineHadLf = nextPos > lineEnd;
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

uint8_t TMessageEnds::PartingBefore(int64_t extentEnd) const {
  for (const TLineEnd& last : FLast)
    if (last.end == extentEnd) return last.parting;
  return 0;
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

} // namespace pellora
