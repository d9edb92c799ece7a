#pragma once
#include "stores/eml_header.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// Fills header from the header lines of lines (up to the first empty line after some text: a
// body line is never a field) and deletes every empty line of lines; never raises.
void ScanHeader(std::vector<std::string>& lines, TEMLHeader& header);
// The local time of a mail date, or 0. Unlike the message model's ParseMailDate, full month
// names ("June", "Sept") are read: the list's dates stay as they always were.
TDateTime ScanMailDate(std::string_view text);
// Decodes the encoded words of a header value for a list row, into the code page as the message
// model's DecodeHeaderWords does. Its word decoders differ on purpose: in a value with Latin-1/2
// words a malformed Q escape gives "@"; a byte outside the base64 alphabet counts as "A".
std::string ScanDecodeWords(std::string_view text);

// The id a Message-ID value names: its first "<...>", else the value itself.
std::string_view MessageIdOf(std::string_view value);
// The first "<...>" id of a value; empty when it has none.
std::string_view FirstMessageId(std::string_view value);
// Calls visit with each "<...>" id of a value (In-Reply-To, References) in turn.
template <class TVisit> void ForEachMessageId(std::string_view value, TVisit&& visit) {
  size_t at = 0;
  while ((at = value.find('<', at)) != std::string_view::npos) {
    const size_t end = value.find_first_of("<>", at + 1);
    if (end == std::string_view::npos) return;
    if (value[end] == '>') visit(value.substr(at, end - at + 1));
    at = end;
  }
}
// A row keeps at most this much of References: over it, the first id and the last ones that fit
// (as mail programs shorten the field), so that a hostile header costs a row little.
inline constexpr size_t MaxReferencesBytes = 2048;
// The ids of a value joined without what stands between them, at most MaxReferencesBytes.
std::string CompactMessageIds(std::string_view value);

// ScanHeader fed one line at a time, so that a store loader need not keep a message's lines:
// every field is found in the same single pass, with the results of ScanHeader.
class THeaderScanner {
public:
  static constexpr int FieldCount = 17;

  void Reset();
  // The first empty line after some text ends the header; the lines after it are not looked at.
  void Feed(std::string_view line) {
    if (FDone) return;
    if (line.empty())
      FDone = FAnyLine;
    else
      FeedLine(line);
  }
  // Resets header and fills it from the lines fed since the last Reset.
  void Finish(TEMLHeader& header) const;

private:
  void FeedLine(std::string_view line);

  std::array<std::string, FieldCount> FLines; // unfolded text of each field's first line
  uint32_t FFound = 0;                        // bit per field
  int FOpen = -1;                             // the field whose folded lines follow
  bool FAnyLine = false;
  bool FDone = false;
};

} // namespace pellora
