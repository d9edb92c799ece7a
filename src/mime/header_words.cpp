#include "mime/header_words.h"

#include "mime/transfer_encodings.h"
#include "platform/ascii.h"
#include "platform/charset.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cstring>

namespace pellora {

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

} // namespace pellora
