#pragma once
// Decompressing a file as it is read: gzip, bzip2, xz and zstd, the forms list archives are
// published in. Nothing is decompressed ahead of the reader, so a file of any size costs no
// more memory than the decompressor's own.
#include "stores/input_stream.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace pellora {

enum TCompression : uint8_t { czNone = 0, czGzip, czBzip2, czXz, czZstd };

// The compression a file's first bytes (at least 6 of them) show; czNone when none.
TCompression CompressionOfBytes(std::string_view head);
// The compression a file's name says by its extension (".gz", ".bz2", ".xz", ".zst"); czNone when
// none.
TCompression CompressionOfName(std::string_view path);
// The length of the compression's extension at the end of a file's name; 0 when none.
size_t CompressionExtensionSize(std::string_view path);

// The decompressed bytes of a compressed file, front to back. Streams that follow each other in
// the file (as "cat a.gz b.gz" makes them) give their bytes one after the other. Data cut short
// or damaged ends the bytes where it stops making sense, without raising: Damaged() then says so.
class TDecompressingInput : public TInputStream {
public:
  // The file must outlive the input.
  TDecompressingInput(const TFileStream& file, TCompression compression);
  ~TDecompressingInput() override;

  size_t Read(char* buffer, size_t count) override;
  // Decompressed bytes given so far.
  uint64_t Position() const { return FPosition; }
  // Compressed bytes taken from the file so far.
  uint64_t Consumed() const { return FConsumed; }
  bool Damaged() const { return FDamaged; }
  // Starts again from the file's first byte.
  void Restart();

  class TCodec;

private:
  bool FillInput();
  // Decompresses the next block into FOutput; false at the end of the data.
  bool FillOutput();

  const TFileStream& FFile;
  std::unique_ptr<TCodec> FCodec;
  std::unique_ptr<char[]> FInput;
  size_t FInputPos = 0, FInputEnd = 0;
  // The codec always writes whole blocks here, so what a damaged stream gives before its fault
  // is the same bytes whatever sizes callers read in: a row's read-back finds what the load found.
  std::unique_ptr<char[]> FOutput;
  size_t FOutputPos = 0, FOutputEnd = 0;
  uint64_t FFileOffset = 0; // of the next compressed byte to read into FInput
  uint64_t FConsumed = 0;
  uint64_t FPosition = 0;
  bool FInputEof = false;
  bool FDone = false;
  bool FDamaged = false;
};

} // namespace pellora
