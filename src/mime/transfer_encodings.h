#pragma once
// The transfer encodings of message bodies: quoted-printable, base64 and uuencode. Stateless
// but for the base64 decoder; 8-bit text in the ANSI code page throughout.
#include <cstddef>
#include <string>
#include <string_view>

namespace pellora {

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

} // namespace pellora
