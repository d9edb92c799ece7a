#include "mime/mail_text.h"

#include "platform/ascii.h"
#include "platform/codepage.h"

#include <cstdio>
#include <cstring>
#include <random>

namespace pellora {

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
