#include "mime/codecs.h"

#include "mime/codec_tables.h"
#include "mime/date_zones.h"
#include "platform/ascii.h"
#include "platform/charset.h"
#include "platform/codepage.h"
#include "platform/pellora_error.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace pellora {
namespace {

const char kBase64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kHexUpper[] = "0123456789ABCDEF";

// Case-insensitive find of an ASCII needle.
size_t FindText(std::string_view hay, std::string_view needle, size_t from = 0) {
  if (needle.empty()) return from <= hay.size() ? from : std::string_view::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
    if (StartsWithText(hay.substr(i), needle)) return i;
  }
  return std::string_view::npos;
}

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

// --- Text ---------------------------------------------------------------------------------

std::string PadLeftTo(std::string_view text, size_t width, std::string_view pad) {
  std::string_view t = TrimBlanksLeft(text);
  size_t length = AnsiLength(t);
  if (length > width) return std::string(t.substr(AnsiPrefixSize(t, length - width)));
  std::string result(t);
  if (pad.empty()) return result;
  for (const size_t padLength = AnsiLength(pad); length < width; length += padLength)
    result.insert(0, pad);
  return result;
}

std::string_view ReadTextLine(std::string_view text, std::ptrdiff_t& position) {
  if (position < 1 || static_cast<size_t>(position) > text.size()) {
    position = -1;
    return {};
  }
  size_t start = static_cast<size_t>(position - 1);
  size_t end = text.find("\r\n", start);
  end = end == std::string_view::npos ? text.size() : end + 2;
  position = end >= text.size() ? -1 : static_cast<std::ptrdiff_t>(end + 1);
  return text.substr(start, end - start);
}

bool TBufferLineWalker::NextBufferLine(std::string_view& line, size_t& offset) {
  if (FDone || FPos >= FBuffer.size()) {
    FDone = true;
    return false;
  }
  size_t end = FBuffer.find("\r\n", FPos);
  offset = FPos;
  if (end == std::string_view::npos) {
    line = FBuffer.substr(FPos);
    FPos = FBuffer.size();
    FHadEnd = false;
  } else {
    line = FBuffer.substr(FPos, end - FPos);
    FPos = end + 2;
    FHadEnd = true;
  }
  return true;
}

int FindHeaderLine(const std::vector<std::string>& lines, std::string_view prefix, int occurrence) {
  int seen = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (StartsWithText(lines[i], prefix)) {
      if (seen == occurrence) return static_cast<int>(i);
      ++seen;
    }
  }
  return -1;
}

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

// --- Header words -------------------------------------------------------------------------

bool FindEncodedWord(std::string_view s, size_t from, TEncodedWord& word) {
  size_t w = s.find("=?", from);
  if (w == std::string_view::npos) return false;
  size_t cs = s.find('?', w + 2);
  if (cs == std::string_view::npos) return false;
  size_t e = s.find("?=", cs + 1);
  if (e == std::string_view::npos) return false;
  size_t q = s.find('?', e + 1);
  if (q != std::string_view::npos && q + 1 < s.size() && s[q + 1] == '=') e = q;
  std::string_view inner = s.substr(cs + 1, e - cs - 1);
  word.Encoding = 'Q';
  if (inner.size() >= 2 && inner[1] == '?') {
    char c = AsciiUpper(inner[0]);
    if (c == 'B' || c == 'Q' || c == 'U') word.Encoding = c;
  }
  inner.remove_prefix(std::min<size_t>(2, inner.size()));
  word.Start = w;
  word.End = e + 2;
  word.Charset = s.substr(w + 2, cs - w - 2);
  word.Text = inner;
  return true;
}

namespace {

// Only blanks and line ends stand between two encoded words that RFC 2047 joins.
bool IsLinearWhiteSpace(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

} // namespace

std::string ReplaceEncodedWords(std::string_view value, const TWordDecoder& decode) {
  std::string s(TrimBlanks(value));
  std::string out;
  out.reserve(s.size());
  std::string decoded;
  size_t p = 0;                       // the value is out + s[p..]
  size_t lastEnd = std::string::npos; // in s: where the last decoded word's text ends
  TEncodedWord word, next;
  while (FindEncodedWord(s, p, word)) {
    const size_t w = word.Start;
    word.JoinsNext =
        FindEncodedWord(s, word.End, next) &&
        IsLinearWhiteSpace(std::string_view(s).substr(word.End, next.Start - word.End)) &&
        SameTextAscii(next.Charset, word.Charset);
    decoded.clear();
    decode(word, decoded);

    // Blanks between two encoded words are no text of the value (RFC 2047): mailers split a
    // long subject into words anywhere, even inside a word of the language.
    size_t keep = w;
    if (lastEnd != std::string::npos && p <= lastEnd && lastEnd <= w &&
        IsLinearWhiteSpace(std::string_view(s).substr(lastEnd, w - lastEnd)))
      keep = lastEnd;
    out.append(s, p, keep - p);

    // Replace the word in place (a decoded word is always shorter than its encoded form)
    // and search again from one character before it, which finds the same first "=?" as a
    // search from the start of the new value would. Each byte is moved once, so many words
    // cost no more than one pass.
    const size_t wordEnd = word.End;
    if (decoded.size() + 1 <= wordEnd - w) {
      size_t at = wordEnd - decoded.size();
      std::memcpy(s.data() + at, decoded.data(), decoded.size());
      p = at;
      if (!out.empty() && out.back() == '=') {
        s[--p] = '=';
        out.pop_back();
      }
      lastEnd = wordEnd;
    } else {
      // A word whose text grew in decoding (read into UTF-8) is not searched again: a word
      // nested in it would grow at every level, and the value with it, without bound.
      out += decoded;
      p = wordEnd;
      lastEnd = wordEnd;
    }
  }
  out.append(s, p, std::string::npos);
  return out;
}

std::string DecodeEncodedWords(std::string_view value, const TWordDecoder& bytes) {
  // Encoded words are ASCII, which every code page keeps: the text around them can be read
  // before the words are.
  std::string undeclared;
  if (!IsAscii(value)) {
    undeclared = UndeclaredToAnsi(value);
    value = undeclared;
  }
  if (value.find("=?") == std::string_view::npos) return std::string(TrimBlanks(value));
  std::string raw, carry, carryCharset;
  return ReplaceEncodedWords(value, [&](const TEncodedWord& word, std::string& decoded) {
    raw.clear();
    if (!carry.empty()) {
      // The start of a character that the word before began; a word of another charset
      // leaves it incomplete.
      if (SameTextAscii(carryCharset, word.Charset))
        raw = carry;
      else
        decoded += '?';
      carry.clear();
    }
    bytes(word, raw);
    AppendCharsetToAnsi(raw, word.Charset, decoded, word.JoinsNext ? &carry : nullptr);
    carryCharset.assign(word.Charset);
  });
}

std::string DecodeHeaderWords(std::string_view value) {
  return DecodeEncodedWords(value, [](const TEncodedWord& word, std::string& decoded) {
    const size_t start = decoded.size();
    if (word.Encoding == 'B') {
      DecodeBase64Chunk(word.Text, decoded);
    } else if (word.Encoding == 'U') {
      UUDecodeOneLine(word.Text, decoded);
    } else {
      std::string spaced(word.Text);
      std::replace(spaced.begin(), spaced.end(), '_', ' ');
      QPDecodeAppend(spaced, decoded);
    }
    size_t zero = decoded.find('\0', start);
    if (zero != std::string::npos) decoded.resize(zero);
  });
}

std::string EncodeHeaderWordQ(std::string_view text, std::string_view charset) {
  std::string encoded = QPEncodeText(text, true);
  if (encoded == text) return std::string(text);
  std::string r = "=?";
  r.append(charset);
  r += "?Q?";
  r += encoded;
  r += "?=";
  return r;
}

// --- Header lines -------------------------------------------------------------------------

std::string NormalizeHeaderLine(std::string_view line) {
  size_t colon = line.find(':');
  std::string_view nameView = colon == std::string_view::npos ? line : line.substr(0, colon + 1);
  std::string_view valueView =
      colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);

  std::string name(nameView);
  bool seenLetter = false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (!IsAsciiLetter(c)) continue;
    bool upper = !seenLetter || (i > 0 && name[i - 1] == '-');
    seenLetter = true;
    name[i] = upper ? AsciiUpper(c) : AsciiLower(c);
  }
  if (name.size() >= 4 && name.compare(name.size() - 4, 4, "-Id:") == 0)
    name[name.size() - 2] = 'D';

  std::string value;
  value.reserve(valueView.size());
  std::string blanks;
  const size_t n = valueView.size();
  for (size_t i = 0; i < n;) {
    char c = valueView[i];
    if (c == '\t') {
      blanks += c;
      ++i;
    } else if (c == ' ') {
      blanks.assign(1, ' ');
      ++i;
    } else {
      value += blanks;
      blanks.clear();
      // A quoted string is kept as written; other text up to the next blank or quote is too.
      size_t stop = i + 1;
      if (c == '"') {
        size_t close = valueView.find('"', i + 1);
        stop = close == std::string_view::npos ? n : close + 1;
      } else {
        while (stop < n && valueView[stop] != ' ' && valueView[stop] != '\t' &&
               valueView[stop] != '"')
          ++stop;
      }
      value.append(valueView.substr(i, stop - i));
      i = stop;
    }
  }
  value += blanks;

  std::string result(TrimBlanks(name));
  result += ' ';
  result.append(TrimBlanks(value));
  return result;
}

namespace {

// The value of a header line: [start, end) after the first colon up to the first ";",
// both outside double quotes. False when the line has no colon.
bool FindValueRange(std::string_view line, size_t& start, size_t& end) {
  bool quoted = false;
  start = std::string_view::npos;
  end = line.size();
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      if (start == std::string_view::npos) {
        if (c == ':') start = i + 1;
      } else if (c == ';') {
        end = i;
        break;
      }
    }
  }
  return start != std::string_view::npos;
}

std::string_view StripDoubleQuotes(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    return text.substr(1, text.size() - 2);
  return text;
}

// Walks a parameter list; calls found(start, end) for every value of the wanted parameter.
template <class F> void WalkParams(std::string_view s, std::string_view paramName, F&& found) {
  const std::string wanted = UpperCaseAscii(TrimBlanks(paramName));
  bool quoted = false, inValue = false, inParams = false, copying = false;
  std::string name;
  size_t copyStart = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      if (!inValue && c == ':') {
        inValue = true;
        continue;
      }
      if (inValue && c == ';') {
        if (copying) found(copyStart, i);
        inParams = true;
        copying = false;
        name.clear();
        continue;
      }
      if (inParams && c == '=') {
        if (copying) found(copyStart, i); // an unquoted value ends at a further "="
        copying = UpperCaseAscii(TrimBlanks(name)) == wanted;
        copyStart = i + 1;
        name.clear();
        continue;
      }
    }
    if (inParams && !copying) name += c;
  }
  if (copying) found(copyStart, s.size());
}

} // namespace

std::string FieldValueOf(std::string_view line) {
  size_t start, end;
  if (!FindValueRange(line, start, end)) return {};
  return std::string(StripDoubleQuotes(TrimBlanks(line.substr(start, end - start))));
}

std::string WithFieldValue(std::string_view line, std::string_view value) {
  size_t start, end;
  if (!FindValueRange(line, start, end)) return std::string(line);
  std::string r(line.substr(0, start));
  r += ' ';
  r.append(TrimBlanks(value));
  r.append(line.substr(end));
  return r;
}

std::string FieldParamOf(std::string_view line, std::string_view paramName) {
  std::string s(TrimBlanks(line));
  if (s.empty() || s.back() != ';') s += ';';
  std::string result;
  WalkParams(s, paramName, [&](size_t b, size_t e) { result.append(s, b, e - b); });
  return std::string(StripDoubleQuotes(TrimBlanks(result)));
}

std::string WithFieldParam(std::string_view line, std::string_view paramName,
                           std::string_view value) {
  std::string s(TrimBlanks(line));
  bool added = false;
  if (s.empty() || s.back() != ';') {
    s += ';';
    added = true;
  }
  size_t start = std::string::npos, end = 0;
  WalkParams(s, paramName, [&](size_t b, size_t e) {
    if (start == std::string::npos) {
      start = b;
      end = e;
    }
  });
  if (added) s.pop_back();
  if (start != std::string::npos) {
    end = std::min(end, s.size());
    start = std::min(start, end);
    return s.substr(0, start) + std::string(TrimBlanks(value)) + s.substr(end);
  }
  std::string r(TrimBlanks(line));
  r += "; ";
  r.append(TrimBlanks(paramName));
  r += '=';
  r.append(TrimBlanks(value));
  return r;
}

namespace {

// Calls visit(name, value) for each parameter after the value of a header line: names trimmed,
// values trimmed and without their double quotes.
template <class F> void ForEachParam(std::string_view line, F&& visit) {
  size_t start, end;
  if (!FindValueRange(line, start, end)) return;
  size_t i = end;
  while (i < line.size()) {
    const size_t nameStart = ++i; // past the ";"
    while (i < line.size() && line[i] != '=' && line[i] != ';')
      ++i;
    if (i >= line.size() || line[i] == ';') continue; // no value
    std::string_view name = TrimBlanks(line.substr(nameStart, i - nameStart));
    ++i;
    while (i < line.size() && IsBlank(line[i]))
      ++i;
    std::string value;
    if (i < line.size() && line[i] == '"') {
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value += line[i];
      }
      while (i < line.size() && line[i] != ';')
        ++i;
    } else {
      const size_t valueStart = i;
      while (i < line.size() && line[i] != ';')
        ++i;
      value.assign(TrimBlanks(line.substr(valueStart, i - valueStart)));
    }
    visit(name, value);
  }
}

// %XX escapes of an RFC 2231 value, either case of hex digits; a "%" that begins none stays.
void AppendPercentDecoded(std::string_view text, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    int hi, lo;
    if (text[i] == '%' && i + 2 < text.size() && (hi = HexDigitValue(text[i + 1])) >= 0 &&
        (lo = HexDigitValue(text[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += text[i];
    }
  }
}

} // namespace

bool ExtendedParamOf(std::string_view line, std::string_view paramName, std::string& text) {
  const std::string_view wanted = TrimBlanks(paramName);
  struct TPiece {
    std::string value;
    bool encoded = false;
  };
  std::vector<TPiece> pieces; // by number; only the run from 0 on counts
  std::string whole;
  bool hasWhole = false;
  ForEachParam(line, [&](std::string_view name, const std::string& value) {
    if (name.size() <= wanted.size() || !StartsWithText(name, wanted) || name[wanted.size()] != '*')
      return;
    std::string_view rest = name.substr(wanted.size() + 1);
    if (rest.empty()) {
      if (!hasWhole) whole = value;
      hasWhole = true;
      return;
    }
    const bool encoded = rest.back() == '*';
    if (encoded) rest.remove_suffix(1);
    if (rest.empty() || rest.size() > 3 ||
        rest.find_first_not_of("0123456789") != std::string_view::npos)
      return;
    const size_t number = static_cast<size_t>(ParseInt32Or(rest, 0));
    if (number >= pieces.size()) pieces.resize(number + 1);
    pieces[number] = {value, encoded};
  });
  if (!hasWhole && (pieces.empty() || (pieces[0].value.empty() && !pieces[0].encoded)))
    return false;
  if (hasWhole) pieces.assign(1, {whole, true});
  // The charset and language lead the first piece when it is encoded: charset'language'text.
  std::string_view charset;
  std::string bytes;
  for (size_t i = 0; i < pieces.size(); ++i) {
    std::string_view value = pieces[i].value;
    if (i > 0 && value.empty() && !pieces[i].encoded) break; // the pieces end at a gap
    if (i == 0 && pieces[0].encoded) {
      size_t first = value.find('\'');
      size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
      if (second != std::string_view::npos) {
        charset = value.substr(0, first);
        value.remove_prefix(second + 1);
      }
    }
    if (pieces[i].encoded)
      AppendPercentDecoded(value, bytes);
    else
      bytes += value;
  }
  text.clear();
  AppendCharsetToAnsi(bytes, charset, text);
  return true;
}

std::string HtmlMetaCharset(std::string_view html) {
  // Where browsers look for it: the first bytes, in a meta element's charset attribute or in
  // the charset of its content ("text/html; charset=...").
  html = html.substr(0, 8192);
  for (size_t meta = FindText(html, "<meta"); meta != std::string_view::npos;
       meta = FindText(html, "<meta", meta + 5)) {
    size_t close = html.find('>', meta);
    std::string_view tag =
        html.substr(meta, close == std::string_view::npos ? html.size() - meta : close - meta);
    size_t at = FindText(tag, "charset");
    if (at == std::string_view::npos) continue;
    at += 7;
    while (at < tag.size() && (IsBlank(tag[at]) || tag[at] == '\r' || tag[at] == '\n'))
      ++at;
    if (at >= tag.size() || tag[at] != '=') continue;
    ++at;
    while (at < tag.size() && (IsBlank(tag[at]) || tag[at] == '"' || tag[at] == '\''))
      ++at;
    size_t stop = at;
    while (stop < tag.size() && !IsBlank(tag[stop]) &&
           std::strchr("\"';/>\r\n", tag[stop]) == nullptr)
      ++stop;
    if (stop > at) return std::string(tag.substr(at, stop - at));
  }
  return {};
}

// --- Dates --------------------------------------------------------------------------------

TDateTime ParseMailDate(std::string_view text) {
  return MailDateToLocal(text, [](std::string_view name) {
    size_t pos = FindText("Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec,", name);
    return pos == std::string_view::npos ? 0 : static_cast<int>(pos / 4) + 1;
  });
}

std::string NewBoundary() {
  static thread_local std::mt19937 generator{std::random_device{}()};
  char text[24];
  std::snprintf(text, sizeof text, "boundary%08X", static_cast<unsigned>(generator()));
  return text;
}

std::string CleanFileName(std::string_view name) {
  std::string_view trimmed = TrimBlanks(name);
  std::string r(trimmed.substr(0, AnsiPrefixSize(trimmed, 254)));
  for (auto& c : r) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || std::strchr(":\\/*?\"<>|'", c) != nullptr) c = '_';
  }
  return r;
}

} // namespace pellora
