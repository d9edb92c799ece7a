#include "support/compress_builders.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <stdexcept>

namespace pellora::test {

std::string Compress(std::string_view bytes, TCompression compression) {
  std::string out;
  switch (compression) {
  case czGzip: {
    z_stream s{};
    deflateInit2(&s, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY); // a gzip header
    out.resize(deflateBound(&s, bytes.size()) + 32);
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    s.avail_in = static_cast<uInt>(bytes.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
  }
  case czBzip2: {
    unsigned size = static_cast<unsigned>(bytes.size() + bytes.size() / 100 + 700);
    out.resize(size);
    BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(bytes.data()),
                             static_cast<unsigned>(bytes.size()), 9, 0, 0);
    out.resize(size);
    return out;
  }
  case czXz: {
    out.resize(lzma_stream_buffer_bound(bytes.size()));
    size_t size = 0;
    lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr,
                            reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                            reinterpret_cast<uint8_t*>(out.data()), &size, out.size());
    out.resize(size);
    return out;
  }
  case czZstd: {
    out.resize(ZSTD_compressBound(bytes.size()));
    out.resize(ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 3));
    return out;
  }
  case czNone:
    break;
  }
  throw std::invalid_argument("no compression");
}

} // namespace pellora::test
