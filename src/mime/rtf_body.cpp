#include "mime/rtf_body.h"

#include "platform/codepage.h"
#include "platform/unicode.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace pellora {
namespace {

uint32_t Le32(std::string_view data, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[at + i]);
  return value;
}

// The dictionary's first bytes, which every compressed RTF starts from.
constexpr std::string_view RtfPrebuf =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern "
    "\\fscript \\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0"
    "\\blue0\r\n\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";

constexpr uint32_t MagicCompressed = 0x75465A4C;   // "LZFu"
constexpr uint32_t MagicUncompressed = 0x414C454D; // "MELA"

// Destinations whose text is no part of the body.
bool SkippedDestination(std::string_view word) {
  for (std::string_view d : {"fonttbl", "colortbl", "stylesheet", "info", "pict", "object",
                             "header", "footer", "listtable", "listoverridetable", "rsidtbl",
                             "generator", "themedata", "colorschememapping", "latentstyles",
                             "datastore", "xmlnstbl", "filetbl", "revtbl", "fldinst"})
    if (word == d) return true;
  return false;
}

class TRtfReader {
public:
  explicit TRtfReader(std::string_view rtf) : FRtf(rtf) {}

  TRtfBody Read() {
    FBody.Html = FRtf.find("\\fromhtml") != std::string_view::npos;
    FGroups.push_back({});
    while (FAt < FRtf.size()) {
      char c = FRtf[FAt++];
      if (c == '{') {
        FGroups.push_back(FGroups.back());
        FGroups.back().Star = false;
        FGroups.back().First = true;
        continue;
      }
      if (c == '}') {
        if (FGroups.size() > 1) FGroups.pop_back();
        continue;
      }
      if (c == '\\') {
        ControlWord();
        continue;
      }
      FGroups.back().First = false;
      if (c == '\r' || c == '\n') continue;
      Byte(c);
    }
    Flush();
    return std::move(FBody);
  }

private:
  struct TGroup {
    bool Skip = false;
    bool Suppressed = false; // \htmlrtf: RTF only, not part of the HTML
    bool HtmlTag = false;
    bool Star = false;
    bool First = true; // nothing read in the group yet: a destination may follow
    int Uc = 1;
  };

  bool Shows() const {
    const TGroup& g = FGroups.back();
    if (g.Skip) return false;
    if (FBody.Html) return g.HtmlTag || !g.Suppressed;
    return true;
  }

  void Byte(char c) {
    if (FPendingSkip > 0) {
      --FPendingSkip;
      return;
    }
    if (Shows()) FBytes += c;
  }

  void Flush() {
    if (FBytes.empty()) return;
    FBody.Text += AnsiToUtf8(FBytes, FCodePage);
    FBytes.clear();
  }

  void Text(std::string_view utf8) {
    if (!Shows()) return;
    Flush();
    FBody.Text += utf8;
  }

  void ControlWord() {
    if (FAt >= FRtf.size()) return;
    TGroup& g = FGroups.back();
    char c = FRtf[FAt];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++FAt;
      if (c == '*') {
        g.Star = true;
        return;
      }
      g.First = false;
      if (c == '\'') {
        if (FAt + 2 <= FRtf.size()) {
          char hex[3] = {FRtf[FAt], FRtf[FAt + 1], 0};
          FAt += 2;
          Byte(static_cast<char>(std::strtol(hex, nullptr, 16)));
        }
        return;
      }
      if (c == '\r' || c == '\n') {
        Text("\r\n");
        return;
      }
      if (c == '~') return Text("\xC2\xA0");
      if (c == '_') return Text("-");
      if (c == '\\' || c == '{' || c == '}') Byte(c);
      return;
    }
    size_t start = FAt;
    while (FAt < FRtf.size() && std::isalpha(static_cast<unsigned char>(FRtf[FAt]))) ++FAt;
    std::string_view word = FRtf.substr(start, FAt - start);
    bool hasParam = false;
    long param = 0;
    size_t numberStart = FAt;
    if (FAt < FRtf.size() && FRtf[FAt] == '-') ++FAt;
    while (FAt < FRtf.size() && std::isdigit(static_cast<unsigned char>(FRtf[FAt]))) ++FAt;
    if (FAt > numberStart && FRtf[FAt - 1] != '-') {
      hasParam = true;
      param = std::strtol(std::string(FRtf.substr(numberStart, FAt - numberStart)).c_str(),
                          nullptr, 10);
    }
    if (FAt < FRtf.size() && FRtf[FAt] == ' ') ++FAt;
    Word(word, hasParam, param);
  }

  void Word(std::string_view word, bool hasParam, long param) {
    TGroup& g = FGroups.back();
    const bool destination = g.First;
    g.First = false;
    if (destination) {
      if (word == "htmltag") {
        g.HtmlTag = true;
        return;
      }
      if ((g.Star && word != "htmltag") || SkippedDestination(word)) {
        g.Skip = true;
        return;
      }
    }
    if (word == "ansicpg" && hasParam) {
      Flush();
      FCodePage = static_cast<int>(param);
    } else if (word == "htmlrtf") {
      g.Suppressed = !hasParam || param != 0;
    } else if (word == "uc" && hasParam) {
      g.Uc = static_cast<int>(param);
    } else if (word == "u" && hasParam) {
      long code = param < 0 ? param + 65536 : param;
      std::string utf8;
      AppendUtf8(utf8, static_cast<char32_t>(code));
      Text(utf8);
      FPendingSkip = g.Uc;
    } else if (word == "par" || word == "line") {
      Text("\r\n");
    } else if (word == "tab") {
      Text("\t");
    } else if (word == "lquote" || word == "rquote") {
      Text(word == "lquote" ? "\xE2\x80\x98" : "\xE2\x80\x99");
    } else if (word == "ldblquote" || word == "rdblquote") {
      Text(word == "ldblquote" ? "\xE2\x80\x9C" : "\xE2\x80\x9D");
    } else if (word == "bullet") {
      Text("\xE2\x80\xA2");
    }
  }

  std::string_view FRtf;
  size_t FAt = 0;
  std::vector<TGroup> FGroups;
  std::string FBytes; // text in the code page not yet converted
  int FCodePage = 1252;
  int FPendingSkip = 0; // characters that stand in for a \u character
  TRtfBody FBody;
};

} // namespace

std::string DecompressRtf(std::string_view data) {
  if (data.size() < 16) return {};
  const uint32_t compressedSize = Le32(data, 0);
  const uint32_t rawSize = Le32(data, 4);
  const uint32_t magic = Le32(data, 8);
  std::string_view body = data.substr(16);
  if (compressedSize >= 12 && compressedSize - 12 < body.size())
    body = body.substr(0, compressedSize - 12);
  if (magic == MagicUncompressed) return std::string(body.substr(0, std::min<size_t>(rawSize, body.size())));
  if (magic != MagicCompressed) return {};

  char dictionary[4096];
  size_t write = RtfPrebuf.size();
  RtfPrebuf.copy(dictionary, RtfPrebuf.size());
  std::string out;
  out.reserve(std::min<size_t>(rawSize, 64u << 20));
  size_t at = 0;
  while (at < body.size()) {
    const unsigned control = static_cast<unsigned char>(body[at++]);
    for (int bit = 0; bit < 8 && at < body.size(); ++bit) {
      if (!(control & (1u << bit))) {
        const char c = body[at++];
        out += c;
        dictionary[write++ % 4096] = c;
        continue;
      }
      if (at + 2 > body.size()) return out;
      const unsigned hi = static_cast<unsigned char>(body[at]);
      const unsigned lo = static_cast<unsigned char>(body[at + 1]);
      at += 2;
      size_t offset = (hi << 4) | (lo >> 4);
      const size_t length = (lo & 0x0F) + 2;
      if (offset == write % 4096) return out; // the end marker
      for (size_t i = 0; i < length; ++i) {
        const char c = dictionary[offset++ % 4096];
        out += c;
        dictionary[write++ % 4096] = c;
      }
    }
  }
  return out;
}

TRtfBody RtfToBody(std::string_view rtf) {
  return TRtfReader(rtf).Read();
}

} // namespace pellora
