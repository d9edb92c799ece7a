#pragma once
// Small helpers over a message's 8-bit text: its CR LF lines, padding, multipart boundaries
// and the file names its parts are saved under.
#include <cstddef>
#include <string>
#include <string_view>

namespace pellora {

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

// "boundary" and eight upper-case hexadecimal digits.
std::string NewBoundary();

// Trimmed, cut to 254 characters (never inside a UTF-8 sequence), forbidden characters "_".
std::string CleanFileName(std::string_view name);

} // namespace pellora
