#pragma once
// The mailbox file format: its lines, where its messages start and where they end.
#include "stores/input_stream.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
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
  // Reads in, whose first byte is the file's byte startOffset; sizeHint (the bytes in expected)
  // sizes the buffer for a short read.
  TMailboxLineReader(TInputStream& in, int64_t startOffset, uint64_t sizeHint);
  // Reads a file from startOffset on, and with a length that is not negative only that many
  // bytes, as if the file ended there. Raises the platform's error when it cannot be opened.
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
  // Whether the line that Next returned last ended with an LF (the file's last line may not).
  bool LineHadLf() const { return FLineHadLf; }

private:
  void Refill();

  std::unique_ptr<TFileStream> FOwnFile; // when the reader opened the file itself
  std::unique_ptr<TFileInput> FOwnInput;
  TInputStream* FIn = nullptr;
  std::vector<char> FBuffer;
  size_t FPos = 0, FEnd = 0;
  int64_t FBufferOffset = 0; // file offset of FBuffer[0]
  int64_t FLineOffset = 0;
  bool FLineHadLf = false;
  bool FEof = false;
  size_t FNextCR = 0, FNextSub = 0; // next CR / Ctrl-Z at or after FPos, FEnd when none
  bool FNextKnown = false;
  bool FAtFileStart = false; // a byte-order mark may still have to be skipped
  std::string FScratch;
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

// Where a message of a mailbox file ends, decided in one place while the load reads the file's
// lines, for every reader of its row. A message's extent runs from its separator line to the next
// message's separator line, or to the end of the file. Of it:
// - its lines (what the viewer shows, what a search reads) are the extent's lines, but the empty
//   lines at the end of the file's last message under the marker rule are not its own;
// - its stored bytes (what export writes) follow its separator line and end before the empty line
//   ("\n" or "\r\n") that parts it from the next message.
class TMessageEnds {
public:
  // Every line of the file as the load reads it, in order: where it ends (after its LF), and
  // what the line reader made of it.
  void Line(int64_t end, std::string_view line, bool discarded, bool hadLf, int64_t begin) {
    // An empty line of its own, after the LF of the line before: "\n" or "\r\n".
    const bool parting = !discarded && line.empty() && hadLf && end - begin <= 2;
    FNext = (FNext + 1) % 4;
    FLast[FNext] = {end, static_cast<uint8_t>(parting ? end - begin : 0)};
    if (!discarded && !line.empty()) FSolidEnd = end;
  }
  // A message starts with a separator line that ends at separatorEnd (given as a line already,
  // as may be the lines after it).
  void MessageStarts(int64_t separatorEnd) { FSolidEnd = std::max(FSolidEnd, separatorEnd); }
  // The bytes of the parting empty line at the end of the extent that ends at extentEnd: 0, 1
  // or 2.
  uint8_t PartingBefore(int64_t extentEnd) const;
  // Where the lines of the message started last end when its empty lines at the end of the file
  // are not its own: after its last line that holds text, or its separator line.
  int64_t SolidEnd() const { return FSolidEnd; }

private:
  struct TLineEnd {
    int64_t end = -1;
    uint8_t parting = 0;
  };
  TLineEnd FLast[4]; // the last lines, the newest at FNext
  unsigned FNext = 0;
  int64_t FSolidEnd = 0;
};

// Calls read with a visitor that puts each line it is given into lines, reusing the strings
// lines holds from an earlier message.
void CollectLines(std::vector<std::string>& lines,
                  const std::function<void(const TLineVisitor& visit)>& read);

} // namespace pellora
