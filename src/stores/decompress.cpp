#include "stores/decompress.h"

#include "platform/ascii.h"
#include "platform/files.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <climits>

namespace pellora {

TCompression CompressionOfBytes(std::string_view head) {
  if (head.starts_with("\x1F\x8B")) return czGzip;
  if (head.size() >= 4 && head.starts_with("BZh") && head[3] >= '1' && head[3] <= '9')
    return czBzip2;
  if (head.starts_with(std::string_view("\xFD" "7zXZ\0", 6))) return czXz;
  if (head.starts_with("\x28\xB5\x2F\xFD")) return czZstd;
  return czNone;
}

namespace {

struct TExtension {
  const char* name;
  TCompression compression;
};
constexpr TExtension Extensions[] = {
    {".gz", czGzip}, {".bz2", czBzip2}, {".xz", czXz}, {".zst", czZstd}};

} // namespace

TCompression CompressionOfName(std::string_view path) {
  const std::string ext = ExtractFileExt(path);
  for (const TExtension& e : Extensions)
    if (SameTextAscii(ext, e.name)) return e.compression;
  return czNone;
}

size_t CompressionExtensionSize(std::string_view path) {
  return CompressionOfName(path) == czNone ? 0 : ExtractFileExt(path).size();
}

// One decompressor library behind the input.
class TDecompressingInput::TCodec {
public:
  enum TStatus { csOk, csStreamEnd, csError };
  virtual ~TCodec() = default;
  // Decompresses from [in, in + inSize) into [out, out + outSize), moving both on; inputEnded:
  // no input follows what is given.
  virtual TStatus Run(const char*& in, size_t& inSize, char*& out, size_t& outSize,
                      bool inputEnded) = 0;
  // Ready for the next stream, or the first again.
  virtual void Reset() = 0;
  // Whether everything given so far makes whole streams.
  virtual bool Complete() const { return false; }
  // Whether another stream of this format may begin with the byte.
  virtual bool StartsStream(char) const { return false; }
};

namespace {

uInt Clamp32(size_t size) { return static_cast<uInt>(std::min<size_t>(size, UINT_MAX)); }

// Moves the caller's buffers past what a library call read and wrote (nextIn, nextOut: where
// the library stopped).
void Advance(const char*& in, size_t& inSize, char*& out, size_t& outSize, const void* nextIn,
             const void* nextOut) {
  const auto used = static_cast<size_t>(static_cast<const char*>(nextIn) - in);
  in += used;
  inSize -= used;
  const auto made = static_cast<size_t>(static_cast<const char*>(nextOut) - out);
  out += made;
  outSize -= made;
}

class TGzipCodec : public TDecompressingInput::TCodec {
public:
  TGzipCodec() { inflateInit2(&FStream, 15 + 32); } // a gzip header, or a zlib one
  ~TGzipCodec() override { inflateEnd(&FStream); }
  TStatus Run(const char*& in, size_t& inSize, char*& out, size_t& outSize, bool) override {
    FStream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
    FStream.avail_in = Clamp32(inSize);
    FStream.next_out = reinterpret_cast<Bytef*>(out);
    FStream.avail_out = Clamp32(outSize);
    const int result = inflate(&FStream, Z_NO_FLUSH);
    Advance(in, inSize, out, outSize, FStream.next_in, FStream.next_out);
    if (result == Z_STREAM_END) return csStreamEnd;
    return result == Z_OK || result == Z_BUF_ERROR ? csOk : csError;
  }
  void Reset() override { inflateReset(&FStream); }
  // A member that follows; trailing zeros (a tape's padding) are none.
  bool StartsStream(char c) const override { return c == '\x1F'; }

private:
  z_stream FStream{};
};

class TBzip2Codec : public TDecompressingInput::TCodec {
public:
  TBzip2Codec() { BZ2_bzDecompressInit(&FStream, 0, 0); }
  ~TBzip2Codec() override { BZ2_bzDecompressEnd(&FStream); }
  TStatus Run(const char*& in, size_t& inSize, char*& out, size_t& outSize, bool) override {
    FStream.next_in = const_cast<char*>(in);
    FStream.avail_in = static_cast<unsigned>(std::min<size_t>(inSize, UINT_MAX));
    FStream.next_out = out;
    FStream.avail_out = static_cast<unsigned>(std::min<size_t>(outSize, UINT_MAX));
    const int result = BZ2_bzDecompress(&FStream);
    Advance(in, inSize, out, outSize, FStream.next_in, FStream.next_out);
    if (result == BZ_STREAM_END) return csStreamEnd;
    return result == BZ_OK ? csOk : csError;
  }
  void Reset() override {
    BZ2_bzDecompressEnd(&FStream);
    FStream = {};
    BZ2_bzDecompressInit(&FStream, 0, 0);
  }
  bool StartsStream(char c) const override { return c == 'B'; }

private:
  bz_stream FStream{};
};

class TXzCodec : public TDecompressingInput::TCodec {
public:
  TXzCodec() { Init(); }
  ~TXzCodec() override { lzma_end(&FStream); }
  TStatus Run(const char*& in, size_t& inSize, char*& out, size_t& outSize,
              bool inputEnded) override {
    if (!FReady) return csError;
    FStream.next_in = reinterpret_cast<const uint8_t*>(in);
    FStream.avail_in = inSize;
    FStream.next_out = reinterpret_cast<uint8_t*>(out);
    FStream.avail_out = outSize;
    // Streams that follow each other are read on by the library itself; it needs to know
    // where the input ends to say the last one ended.
    const lzma_ret result = lzma_code(&FStream, inputEnded ? LZMA_FINISH : LZMA_RUN);
    Advance(in, inSize, out, outSize, FStream.next_in, FStream.next_out);
    if (result == LZMA_STREAM_END) {
      FComplete = true;
      return csStreamEnd;
    }
    return result == LZMA_OK || result == LZMA_BUF_ERROR ? csOk : csError;
  }
  void Reset() override {
    lzma_end(&FStream);
    Init();
  }
  bool Complete() const override { return FComplete; }

private:
  void Init() {
    FStream = LZMA_STREAM_INIT;
    FComplete = false;
    FReady = lzma_stream_decoder(&FStream, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK;
  }
  lzma_stream FStream = LZMA_STREAM_INIT;
  bool FComplete = false;
  bool FReady = false;
};

class TZstdCodec : public TDecompressingInput::TCodec {
public:
  TZstdCodec() : FContext(ZSTD_createDCtx()) {}
  ~TZstdCodec() override { ZSTD_freeDCtx(FContext); }
  TStatus Run(const char*& in, size_t& inSize, char*& out, size_t& outSize, bool) override {
    ZSTD_inBuffer input{in, inSize, 0};
    ZSTD_outBuffer output{out, outSize, 0};
    // Frames that follow each other are read on by the library itself.
    const size_t result = ZSTD_decompressStream(FContext, &output, &input);
    if (ZSTD_isError(result)) return csError;
    in += input.pos;
    inSize -= input.pos;
    out += output.pos;
    outSize -= output.pos;
    FFrameEnded = result == 0;
    return csOk;
  }
  void Reset() override {
    ZSTD_DCtx_reset(FContext, ZSTD_reset_session_only);
    FFrameEnded = true;
  }
  bool Complete() const override { return FFrameEnded; }

private:
  ZSTD_DCtx* FContext;
  bool FFrameEnded = true;
};

std::unique_ptr<TDecompressingInput::TCodec> MakeCodec(TCompression compression) {
  switch (compression) {
  case czGzip:
    return std::make_unique<TGzipCodec>();
  case czBzip2:
    return std::make_unique<TBzip2Codec>();
  case czXz:
    return std::make_unique<TXzCodec>();
  case czZstd:
    return std::make_unique<TZstdCodec>();
  case czNone:
    break;
  }
  return nullptr;
}

constexpr size_t InputSize = 256 * 1024;
constexpr size_t OutputSize = 256 * 1024;

} // namespace

TDecompressingInput::TDecompressingInput(const TFileStream& file, TCompression compression)
    : FFile(file), FCodec(MakeCodec(compression)),
      FInput(std::make_unique_for_overwrite<char[]>(InputSize)),
      FOutput(std::make_unique_for_overwrite<char[]>(OutputSize)) {
  FDone = !FCodec;
}

TDecompressingInput::~TDecompressingInput() = default;

void TDecompressingInput::Restart() {
  if (FCodec) FCodec->Reset();
  FInputPos = FInputEnd = 0;
  FOutputPos = FOutputEnd = 0;
  FFileOffset = FConsumed = FPosition = 0;
  FInputEof = false;
  FDone = !FCodec;
  FDamaged = false;
}

bool TDecompressingInput::FillInput() {
  if (FInputPos < FInputEnd) return true;
  if (FInputEof) return false;
  const size_t got = FFile.ReadUpTo(FFileOffset, FInput.get(), InputSize);
  FFileOffset += got;
  FInputPos = 0;
  FInputEnd = got;
  FInputEof = got == 0;
  return got > 0;
}

bool TDecompressingInput::FillOutput() {
  FOutputPos = FOutputEnd = 0;
  while (FOutputEnd < OutputSize && !FDone) {
    FillInput();
    const char* in = FInput.get() + FInputPos;
    size_t inSize = FInputEnd - FInputPos;
    char* out = FOutput.get() + FOutputEnd;
    size_t outSize = OutputSize - FOutputEnd;
    const TCodec::TStatus status = FCodec->Run(in, inSize, out, outSize, FInputEof);
    const auto used = static_cast<size_t>(in - (FInput.get() + FInputPos));
    const auto made = static_cast<size_t>(out - (FOutput.get() + FOutputEnd));
    FInputPos += used;
    FConsumed += used;
    FOutputEnd += made;
    if (status == TCodec::csError) {
      FDamaged = FDone = true;
    } else if (status == TCodec::csStreamEnd) {
      // Another stream may follow; what cannot begin one ends the data.
      if (!FillInput() || !FCodec->StartsStream(FInput[FInputPos]))
        FDone = true;
      else
        FCodec->Reset();
    } else if (used == 0 && made == 0 && FInputPos == FInputEnd && FInputEof) {
      // Cut short, unless the last stream was whole.
      FDamaged = !FCodec->Complete();
      FDone = true;
    } else if (used == 0 && made == 0 && FInputPos < FInputEnd) {
      FDamaged = FDone = true; // input and room, and no step: nothing sensible follows
    }
  }
  return FOutputEnd > 0;
}

size_t TDecompressingInput::Read(char* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (FOutputPos == FOutputEnd && !FillOutput()) break;
    const size_t take = std::min(count - done, FOutputEnd - FOutputPos);
    std::memcpy(buffer + done, FOutput.get() + FOutputPos, take);
    FOutputPos += take;
    done += take;
  }
  FPosition += done;
  return done;
}

} // namespace pellora
