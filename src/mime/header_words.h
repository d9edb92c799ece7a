#pragma once
// Encoded words of header values (RFC 2047): found, decoded into the code page, and written.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace pellora {

// One encoded word "=?charset?X?text?=" of a header value.
struct TEncodedWord {
  size_t Start = 0; // of its "=?"
  size_t End = 0;   // just past its "?="
  std::string_view Charset;
  char Encoding = 'Q'; // "B", "Q" or "U", upper case; "Q" for any other letter
  std::string_view Text;
  // Another word of the same charset follows with only blanks between: a character that a
  // mailer split over the two reads whole.
  bool JoinsNext = false;
};
// The first encoded word at or after from; false when there is none. A "?=" that a further
// "?=" follows ends the word at the later one's "?", as mailers that put "?=" in a Q text expect.
bool FindEncodedWord(std::string_view value, size_t from, TEncodedWord& word);

// What a decoder appends for one encoded word.
using TWordDecoder = std::function<void(const TEncodedWord& word, std::string& decoded)>;
// The value (TrimBlanks) with each encoded word replaced by what decode appends for it: the one
// rule of both decoders of header words. A decoded word is searched again (it may hold a further
// word), and blanks between two adjacent encoded words are dropped, as RFC 2047 says.
std::string ReplaceEncodedWords(std::string_view value, const TWordDecoder& decode);

// The value's encoded words decoded into the code page: bytes gives the bytes of a word's text,
// which are read in the word's charset (a character split over adjacent words read whole); the
// text around the words is read as undeclared 8-bit text. The one conversion of both decoders.
std::string DecodeEncodedWords(std::string_view value, const TWordDecoder& bytes);

// The message model's decoding of encoded words. The list's quick scanner has its own
// (ScanDecodeWords): rows show what the lists always showed, so the two differ on purpose where
// the scanner reads Latin words and bad base64 bytes its own way (see the scanner's tests).
std::string DecodeHeaderWords(std::string_view value);
std::string EncodeHeaderWordQ(std::string_view text, std::string_view charset);

} // namespace pellora
