#pragma once
#include "platform/files.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// Reads a mailbox file line by line by the loader's rules: a line ends at LF; a CR directly
// before the LF is not part of it and any other CR is dropped; a Ctrl-Z ends the line's text; a
// UTF-8 byte-order mark at the start of the file is no part of the first line.
// Lines are views into the reader's buffer, valid until the next call.
class TMailboxLineReader {
public:
  // Raises the platform's error when the file cannot be opened. Reads from startOffset on, and
  // with a length that is not negative only that many bytes, as if the file ended there.
  explicit TMailboxLineReader(const std::string& path, int64_t startOffset = 0,
                              int64_t length = -1);
  ~TMailboxLineReader();
  TMailboxLineReader(const TMailboxLineReader&) = delete;
  TMailboxLineReader& operator=(const TMailboxLineReader&) = delete;

  // The next line; false at the end of the file. discarded: the line begins with Ctrl-Z and
  // belongs to no message (it still counts as a line).
  bool Next(std::string_view& line, bool& discarded);
  // File offset of the line that Next returned last.
  int64_t LineOffset() const { return FLineOffset; }
  // File offset just after the line that Next returned last: once Next returned false, the
  // bytes the reader read.
  int64_t EndOffset() const { return FBufferOffset + static_cast<int64_t>(FPos); }
  // Size and modification time of the file when it was opened; false when it could not be
  // examined.
  bool Stamp(TFileStamp& stamp) const {
    stamp = FStamp;
    return FStamped;
  }

private:
  void Refill();

  int FHandle = -1;
  std::string FPath;
  std::vector<char> FBuffer;
  size_t FPos = 0, FEnd = 0;
  int64_t FBufferOffset = 0; // file offset of FBuffer[0]
  int64_t FLimit = -1;       // file offset where reading ends; -1 at the end of the file
  int64_t FLineOffset = 0;
  bool FEof = false;
  size_t FNextCR = 0, FNextSub = 0; // next CR / Ctrl-Z at or after FPos, FEnd when none
  bool FNextKnown = false;
  bool FAtFileStart = false; // a byte-order mark may still have to be skipped
  std::string FScratch;
  TFileStamp FStamp;
  bool FStamped = false;
};

// The marker lines that, after a line beginning with "From ", start a new message.
bool IsMailboxMarkerLine(std::string_view line);
inline bool IsSeparatorLine(std::string_view line) {
  return line.starts_with("From ");
}

// Where a mailbox file's messages start; the line after the file's first separator decides.
enum TMailboxRule : uint8_t {
  // A marker line follows the first separator (Thunderbird): a message starts at a separator
  // that a marker line follows.
  mrMarked = 0,
  // Any other file: a message starts at the first separator and at every later separator that
  // follows an empty line; a message's size and lines then hold no part of the next one.
  mrClassic = 1,
};

// Called with each line of a message, a view valid during the call only; false stops reading.
using TLineVisitor = std::function<bool(std::string_view line)>;

// Visits the lines of the message of size bytes whose separator is on startLine, in a file
// loaded by rule, counting lines from the start of the file.
void VisitMailboxMessage(const std::string& path, int64_t size, int64_t startLine,
                         TMailboxRule rule, const TLineVisitor& visit);
// The same lines as strings.
void ReadMailboxMessage(const std::string& path, std::vector<std::string>& lines, int64_t size,
                        int64_t startLine, TMailboxRule rule = mrMarked);

// Where a message's bytes lie in its mailbox file as the load found them: from its separator
// line at Begin up to End, the next message's separator line or the end of the file as loaded
// (LastInFile).
struct TMailboxExtent {
  int64_t Begin = 0;
  int64_t End = 0;
  bool LastInFile = false;
};
// Visits the lines of the message whose bytes are extent in a file loaded by rule: the lines
// VisitMailboxMessage gives while the file is as loaded, read where they lie. False, with nothing
// visited, when no separator line begins the extent.
bool VisitMailboxExtent(const std::string& path, const TMailboxExtent& extent, TMailboxRule rule,
                        const TLineVisitor& visit);

// Calls read with a visitor that puts each line it is given into lines, reusing the strings
// lines holds from an earlier message.
void CollectLines(std::vector<std::string>& lines,
                  const std::function<void(const TLineVisitor& visit)>& read);

} // namespace pellora
