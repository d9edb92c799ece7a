#pragma once
// Transfer encodings, header words and header-line helpers of the message model.
// Every function is stateless; 8-bit text in the ANSI code page throughout.
#include "platform/ascii.h"
#include "platform/date_time.h"
#include "platform/file_types.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// --- Text ---------------------------------------------------------------------------------

// Left-trimmed text, cut to its last width characters or padded on the left to width
// (characters as the code page counts them: a UTF-8 sequence is never split).
std::string PadLeftTo(std::string_view text, size_t width, std::string_view pad);

// One line from a 1-based position, its CR LF included; the position moves to the next line
// or becomes -1 once the last character has been taken.
std::string_view ReadTextLine(std::string_view text, std::ptrdiff_t& position);

// Walks a buffer line by line; only CR LF ends a line. The lines are views without their
// CR LF, so nothing is written into the buffer.
class TBufferLineWalker {
public:
  explicit TBufferLineWalker(std::string_view buffer) : FBuffer(buffer) {}
  // The next line and its offset; false at the end.
  bool NextBufferLine(std::string_view& line, size_t& offset);
  // Where the next line starts (the buffer's size at the end).
  size_t Position() const { return FPos; }
  // True when the line last given ended with CR LF.
  bool LineHadEnd() const { return FHadEnd; }

private:
  std::string_view FBuffer;
  size_t FPos = 0;
  bool FHadEnd = false;
  bool FDone = false;
};

// Index of the occurrence-th line (from 0) starting with prefix, ASCII case ignored; -1 if none.
int FindHeaderLine(const std::vector<std::string>& lines, std::string_view prefix,
                   int occurrence = 0);

// --- Transfer encodings -------------------------------------------------------------------

std::string QPDecodeText(std::string_view text);
void QPDecodeAppend(std::string_view text, std::string& out);
std::string QPEncodeText(std::string_view text, bool headerWord);

// Base64 decoding that keeps its four slots between calls, so a group that one line leaves
// incomplete continues with the next.
class TBase64Decoder {
public:
  // Appends the bytes of every group completed by text; returns how many were appended.
  size_t Feed(std::string_view text, std::string& out);

private:
  unsigned char FSlots[4] = {0, 0, 0, 0};
  int FFill = 0;
};

// Appends the bytes of one run of base64 characters; a trailing incomplete group is ignored.
size_t DecodeBase64Chunk(std::string_view text, std::string& out);
// Base64 in lines of 76 characters, each ending with CR LF; target is replaced.
void EncodeBase64Lines(std::string_view source, std::string& target);

// Value 0-63 of a uuencode character; EPelloraError for a character outside the alphabet.
int UUCharValue(char c);
// Appends the bytes of one uuencoded line (none when the line is bad); returns their count.
size_t UUDecodeOneLine(std::string_view line, std::string& out);
// Decodes every CR LF line of text into target (replaced).
void UUDecodeBlock(std::string_view text, std::string& target);

// --- Header words and lines ---------------------------------------------------------------

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
std::string NormalizeHeaderLine(std::string_view line);
// The value between the colon and the first parameter, unquoted.
std::string FieldValueOf(std::string_view line);
std::string WithFieldValue(std::string_view line, std::string_view value);
std::string FieldParamOf(std::string_view line, std::string_view paramName);
// A parameter in the form of RFC 2231 ("name*=utf-8''%E2%82%AC.txt", or numbered pieces
// "name*0*=", "name*1=", ...) decoded into the code page; false when the line has it in no
// such form.
bool ExtendedParamOf(std::string_view line, std::string_view paramName, std::string& text);
// The charset an HTML text declares in a meta element near its start; empty when none.
std::string HtmlMetaCharset(std::string_view html);
std::string WithFieldParam(std::string_view line, std::string_view paramName,
                           std::string_view value);

// --- Dates, names, types ------------------------------------------------------------------

// A message date as local time; 0 when the text is no date. Month names are the three-letter
// ones only; the list's ScanMailDate also knows full names and differs on purpose.
TDateTime ParseMailDate(std::string_view text);
// "boundary" and eight upper-case hexadecimal digits.
std::string NewBoundary();
// Trimmed, cut to 254 characters (never inside a UTF-8 sequence), forbidden characters "_".
std::string CleanFileName(std::string_view name);

} // namespace pellora
