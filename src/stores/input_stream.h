#pragma once
// Reading a store's bytes front to back, whatever holds them: a part of a file, a decompressed
// file. The readers of rows (lines, pieces, stored bytes) work on this one interface.
#include "stores/file_stream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace pellora {

// Called with each line of a message, a view valid during the call only; false stops reading.
using TLineVisitor = std::function<bool(std::string_view line)>;
// Called with consecutive pieces of one text, each a view valid during the call only; false
// stops.
using TTextPieceVisitor = std::function<bool(std::string_view piece)>;
// Called with a message's bytes, block by block.
using TByteSink = std::function<void(std::string_view bytes)>;

class TInputStream {
public:
  virtual ~TInputStream() = default;
  // Up to count bytes into buffer; 0 only at the end. Raises the platform's read error.
  virtual size_t Read(char* buffer, size_t count) = 0;
  // Skips up to count bytes; the bytes skipped.
  virtual uint64_t Skip(uint64_t count);
};

// A part of an open file: length bytes from offset, or up to the file's end when length is
// negative. The file must outlive the input.
class TFileInput : public TInputStream {
public:
  TFileInput(const TFileStream& file, uint64_t offset, int64_t length = -1)
      : FFile(file), FAt(offset), FEnd(length < 0 ? UINT64_MAX : offset + static_cast<uint64_t>(length)) {}
  size_t Read(char* buffer, size_t count) override;
  uint64_t Skip(uint64_t count) override;

private:
  const TFileStream& FFile;
  uint64_t FAt, FEnd;
};

// The next count bytes of another input, as if it ended there.
class TLimitedInput : public TInputStream {
public:
  TLimitedInput(TInputStream& in, uint64_t count) : FIn(in), FLeft(count) {}
  size_t Read(char* buffer, size_t count) override;
  uint64_t Skip(uint64_t count) override;

private:
  TInputStream& FIn;
  uint64_t FLeft;
};

} // namespace pellora
