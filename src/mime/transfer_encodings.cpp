#include "mime/transfer_encodings.h"

#include "mime/codec_tables.h"
#include "mime/mail_text.h"
#include "platform/ascii.h"
#include "platform/pellora_error.h"

#include <cstring>

namespace pellora {
namespace {

const char kBase64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kHexUpper[] = "0123456789ABCDEF";

// Whether a byte belongs to the class that the Q encoding of header words escapes.
bool InHeaderWordClass(unsigned char c) {
  return (c >= 9 && c <= 31) || c == ' ' || c == '"' || c == '\'' || c == '(' || c == ')' ||
         c == '<' || c == '>' || c == '?' || c == '_';
}

void AppendEncoded(std::string& out, unsigned char c) {
  out += '=';
  out += kHexUpper[c >> 4];
  out += kHexUpper[c & 15];
}

// Splits one encoded line so that no piece is longer than 71 characters plus the soft break.
// Every "=" of an encoded line starts an escape of three characters, so a piece ends at 71
// unless an escape straddles that place; then it ends before the escape. (Looking only there,
// not walking back from the line's end, keeps a long line linear.)
void SplitLongLine(std::string_view line, std::string& out) {
  while (line.size() > 71) {
    size_t pos = 71;
    if (line[pos - 1] == '=')
      pos -= 1;
    else if (line[pos - 2] == '=')
      pos -= 2;
    out.append(line.substr(0, pos));
    out += "=\r\n";
    line.remove_prefix(pos);
  }
  out.append(line);
  out += "\r\n";
}

} // namespace

// --- Quoted-printable ---------------------------------------------------------------------

void QPDecodeAppend(std::string_view text, std::string& out) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    if (*p != '=') {
      const void* eq = std::memchr(p, '=', static_cast<size_t>(end - p));
      const char* stop = eq ? static_cast<const char*>(eq) : end;
      out.append(p, static_cast<size_t>(stop - p));
      p = stop;
      continue;
    }
    // Lower-case digits too: mailers write them, and dropping them loses letters.
    int hi = end - p >= 3 ? HexDigitValue(p[1]) : -1, lo = hi >= 0 ? HexDigitValue(p[2]) : -1;
    if (hi >= 0 && lo >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      p += 3;
      continue;
    }
    // A soft line break: "=", blanks a writer left, the line end (or the text's end).
    const char* q = p + 1;
    while (q < end && (*q == ' ' || *q == '\t'))
      ++q;
    if (q == end || *q == '\r' || *q == '\n') {
      if (q < end && *q == '\r') ++q;
      if (q < end && *q == '\n') ++q;
      p = q;
      continue;
    }
    // Any other "=" stands for itself (RFC 2045 section 6.7, note 1): "charset="us-ascii"".
    out += '=';
    ++p;
  }
}

std::string QPDecodeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  QPDecodeAppend(text, out);
  return out;
}

std::string QPEncodeText(std::string_view text, bool headerWord) {
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 4);
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool encode = c > 127 || c == '=' || (c < 32 && c != '\t' && c != '\n' && c != '\r');
    if (c == '\r' && (i + 1 == n || text[i + 1] != '\n')) encode = true;
    if (c == '\n' && (i == 0 || text[i - 1] != '\r')) encode = true;
    if (headerWord && InHeaderWordClass(c)) encode = true;
    if (encode)
      AppendEncoded(out, c);
    else
      out += static_cast<char>(c);
    if (!headerWord && out.size() >= 3 && out[out.size() - 2] == '\r' && out.back() == '\n') {
      // Blanks before a line end would be lost in transport: write them encoded.
      size_t crPos = out.size() - 2;
      size_t runStart = crPos;
      while (runStart > 0 && IsBlank(out[runStart - 1]))
        --runStart;
      if (runStart < crPos) {
        std::string run = out.substr(runStart, crPos - runStart);
        out.resize(runStart);
        for (char b : run)
          AppendEncoded(out, static_cast<unsigned char>(b));
        out += "\r\n";
      }
    }
  }
  if (headerWord) return out;
  std::string result;
  result.reserve(out.size() + out.size() / 64 + 2);
  std::string_view rest = out;
  while (!rest.empty()) {
    size_t e = rest.find("\r\n");
    if (e == std::string_view::npos) {
      SplitLongLine(rest, result);
      break;
    }
    SplitLongLine(rest.substr(0, e), result);
    rest.remove_prefix(e + 2);
  }
  return result;
}

// --- Base64 -------------------------------------------------------------------------------

size_t TBase64Decoder::Feed(std::string_view text, std::string& out) {
  const size_t start = out.size();
  out.resize(start + (text.size() / 4 + 1) * 3);
  char* w = out.data() + start;
  auto p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  while (p < end) {
    if (FFill == 0) {
      // Whole groups of alphabet characters, the common case.
      const unsigned char* groupStart = p;
      while (end - p >= 4) {
        unsigned a = kBase64Values[p[0]], b = kBase64Values[p[1]], c = kBase64Values[p[2]],
                 d = kBase64Values[p[3]];
        if ((a | b | c | d) >= 64) break;
        w[0] = static_cast<char>((a << 2) | (b >> 4));
        w[1] = static_cast<char>(((b & 15) << 4) | (c >> 2));
        w[2] = static_cast<char>(((c & 3) << 6) | d);
        w += 3;
        p += 4;
      }
      if (p != groupStart) {
        // Later characters outside the alphabet keep the values of the last group.
        for (int k = 0; k < 4; ++k)
          FSlots[k] = kBase64Values[p[k - 4]];
      }
      if (p == end) break;
    }
    unsigned char v = kBase64Values[*p++];
    if (v != kCodeBad) FSlots[FFill] = v; // any other character keeps the slot's value
    if (++FFill < 4) continue;
    FFill = 0;
    unsigned s0 = FSlots[0], s1 = FSlots[1], s2 = FSlots[2], s3 = FSlots[3];
    int count = 3;
    if (s0 == kCodePad) s0 = 0;
    if (s2 == kCodePad) {
      s2 = 0;
      s3 = 0;
      count = 1;
    } else if (s3 == kCodePad) {
      s3 = 0;
      count = 2;
    }
    const char bytes[3] = {static_cast<char>((s0 * 4 + s1 / 16) & 255),
                           static_cast<char>(((s1 % 16) * 16 + s2 / 4) & 255),
                           static_cast<char>(((s2 % 4) * 64 + s3) & 255)};
    for (int k = 0; k < count; ++k)
      *w++ = bytes[k];
  }
  size_t written = static_cast<size_t>(w - (out.data() + start));
  out.resize(start + written);
  return written;
}

size_t DecodeBase64Chunk(std::string_view text, std::string& out) {
  TBase64Decoder decoder;
  return decoder.Feed(text, out);
}

void EncodeBase64Lines(std::string_view source, std::string& target) {
  target.clear();
  if (source.empty()) return;
  const size_t groups = (source.size() + 2) / 3;
  target.reserve(groups * 4 + (groups / 19 + 1) * 2);
  auto p = reinterpret_cast<const unsigned char*>(source.data());
  size_t n = source.size(), i = 0, inLine = 0;
  while (i < n) {
    unsigned b0 = p[i], b1 = i + 1 < n ? p[i + 1] : 0, b2 = i + 2 < n ? p[i + 2] : 0;
    target += kBase64Chars[b0 >> 2];
    target += kBase64Chars[((b0 & 3) << 4) | (b1 >> 4)];
    target += i + 1 < n ? kBase64Chars[((b1 & 15) << 2) | (b2 >> 6)] : '=';
    target += i + 2 < n ? kBase64Chars[b2 & 63] : '=';
    i += 3;
    if (++inLine == 19) {
      target += "\r\n";
      inLine = 0;
    }
  }
  if (inLine != 0) target += "\r\n";
}

// --- Uuencode -----------------------------------------------------------------------------

int UUCharValue(char c) {
  unsigned char v = kUUValues[static_cast<unsigned char>(c)];
  if (v == kCodeBad) throw EPelloraError("UUCODE message format error");
  return v;
}

size_t UUDecodeOneLine(std::string_view line, std::string& out) {
  if (line.empty()) return 0;
  unsigned n = kUUValues[static_cast<unsigned char>(line[0])];
  if (n == kCodeBad) return 0;
  std::string_view data = line.substr(1, 60);
  for (char c : data)
    if (kUUValues[static_cast<unsigned char>(c)] == kCodeBad) return 0;
  if (n > 45) n = 45;
  // Missing characters count as zero bits, as encoders that strip trailing spaces expect.
  unsigned char bytes[45] = {};
  unsigned bitPos = 0;
  for (char c : data) {
    unsigned v = kUUValues[static_cast<unsigned char>(c)];
    for (int b = 5; b >= 0; --b, ++bitPos) {
      if (bitPos >= 45 * 8) break;
      if (v & (1u << b)) bytes[bitPos / 8] |= static_cast<unsigned char>(0x80 >> (bitPos % 8));
    }
  }
  out.append(reinterpret_cast<const char*>(bytes), n);
  return n;
}

void UUDecodeBlock(std::string_view text, std::string& target) {
  target.clear();
  TBufferLineWalker walker(text);
  std::string_view line;
  size_t offset;
  while (walker.NextBufferLine(line, offset))
    UUDecodeOneLine(line, target);
}

} // namespace pellora
