#include "mime/html_text.h"

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/unicode.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace pellora {
namespace {

// The names of U+00A0 to U+00FF, in order.
constexpr std::string_view Latin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

constexpr struct {
  std::string_view name;
  char32_t code;
} OtherNames[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},
    {"apos", '\''},     {"OElig", 0x152},   {"oelig", 0x153},   {"Scaron", 0x160},
    {"scaron", 0x161},  {"Yuml", 0x178},    {"fnof", 0x192},    {"circ", 0x2C6},
    {"tilde", 0x2DC},   {"ensp", 0x2002},   {"emsp", 0x2003},   {"thinsp", 0x2009},
    {"zwnj", 0x200C},   {"zwj", 0x200D},    {"ndash", 0x2013},  {"mdash", 0x2014},
    {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"ldquo", 0x201C},
    {"rdquo", 0x201D},  {"bdquo", 0x201E},  {"dagger", 0x2020}, {"Dagger", 0x2021},
    {"bull", 0x2022},   {"hellip", 0x2026}, {"permil", 0x2030}, {"lsaquo", 0x2039},
    {"rsaquo", 0x203A}, {"euro", 0x20AC},   {"trade", 0x2122},  {"larr", 0x2190},
    {"rarr", 0x2192},   {"uarr", 0x2191},   {"darr", 0x2193},
};

char32_t EntityCode(std::string_view name) {
  for (size_t i = 0; i < std::size(Latin1Names); ++i)
    if (Latin1Names[i] == name) return static_cast<char32_t>(0xA0 + i);
  for (const auto& entity : OtherNames)
    if (entity.name == name) return entity.code;
  // Old documents write the first five in capitals ("&AMP;").
  for (size_t i = 0; i < 5; ++i)
    if (SameTextAscii(OtherNames[i].name, name)) return OtherNames[i].code;
  return 0;
}

std::string CodePointText(char32_t c) {
  if (c == 0xA0) return " "; // a blank that is not collapsed
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return "?";
  std::string utf8;
  AppendUtf8(utf8, c);
  return Utf8ToAnsi(utf8);
}

// The character reference at html[at] ("&..."): its text and where it ends; false when it is
// none, and the "&" is text.
bool ReadReference(std::string_view html, size_t at, std::string& text, size_t& end) {
  // Looked for nearby only: a text of many "&" stays linear.
  size_t semi = html.substr(0, at + 33).find(';', at + 1);
  if (semi == std::string_view::npos) return false;
  std::string_view name = html.substr(at + 1, semi - at - 1);
  char32_t code = 0;
  if (name.size() >= 2 && name[0] == '#') {
    const bool hex = name[1] == 'x' || name[1] == 'X';
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return false;
    for (char c : digits) {
      const int v = hex ? HexDigitValue(c) : (IsDigit(c) ? c - '0' : -1);
      if (v < 0) return false;
      code = code * (hex ? 16 : 10) + static_cast<char32_t>(v);
    }
    if (code == 0) code = 0xFFFD;
  } else {
    code = EntityCode(name);
    if (code == 0) return false;
  }
  text = CodePointText(code);
  end = semi + 1;
  return true;
}

bool IsHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool IsBlockTag(std::string_view name) {
  static constexpr std::string_view blocks[] = {
      "address", "article", "aside", "blockquote", "body",    "caption", "center", "dd",
      "div",     "dl",      "dt",    "fieldset",   "figure",  "footer",  "form",   "h1",
      "h2",      "h3",      "h4",    "h5",         "h6",      "header",  "hr",     "li",
      "main",    "nav",     "ol",    "p",          "section", "table",   "tr",     "ul"};
  return std::find(std::begin(blocks), std::end(blocks), name) != std::end(blocks);
}

// Where the element whose start tag ends at from is closed ("</name" ... ">"); npos when never.
size_t ElementEnd(std::string_view html, size_t from, std::string_view name) {
  const std::string closing = "</" + std::string(name);
  for (size_t at = html.find("</", from); at != std::string_view::npos;
       at = html.find("</", at + 2)) {
    if (!StartsWithText(html.substr(at), closing)) continue;
    size_t close = html.find('>', at);
    return close == std::string_view::npos ? html.size() : close + 1;
  }
  return std::string_view::npos;
}

// The text as it is written out: blanks collapsed into one, line breaks asked for before the
// next text, no blanks at a line's end.
class TTextOut {
public:
  void Text(std::string_view text) {
    if (text.empty()) return;
    Flush();
    if (FSpace && !FOut.empty() && FOut.back() != '\n') FOut += ' ';
    FSpace = false;
    FOut += text;
  }
  void Space() { FSpace = true; }
  // A block's end gives one line break; "<br>" one more each, so that two give an empty line.
  void BlockBreak() { FBreaks = std::max(FBreaks, 1); }
  void LineBreak() { FBreaks = std::min(FBreaks + 1, 2); }
  // A line end of preformatted text, kept as written.
  void PreLineEnd() {
    Flush();
    TrimLineEnd();
    FOut += "\r\n";
    FSpace = false;
  }
  std::string Finish() {
    TrimLineEnd();
    while (FOut.ends_with("\r\n")) {
      FOut.resize(FOut.size() - 2);
      TrimLineEnd();
    }
    return std::move(FOut);
  }

private:
  // The line breaks asked for before this text; none at the very start.
  void Flush() {
    if (FBreaks > 0 && !FOut.empty()) {
      TrimLineEnd();
      for (int i = 0; i < FBreaks; ++i)
        FOut += "\r\n";
      FSpace = false;
    }
    FBreaks = 0;
  }
  void TrimLineEnd() {
    while (!FOut.empty() && FOut.back() == ' ')
      FOut.pop_back();
  }
  std::string FOut;
  bool FSpace = false;
  int FBreaks = 0;
};

} // namespace

std::string HtmlToText(std::string_view html) {
  TTextOut out;
  std::set<std::string> unclosed; // elements with no end tag after the last one looked for
  bool pre = false;
  std::string reference;
  size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '<') {
      if (html.substr(i, 4) == "<!--") {
        size_t end = html.find("-->", i + 4);
        i = end == std::string_view::npos ? html.size() : end + 3;
        continue;
      }
      const bool closing = i + 1 < html.size() && html[i + 1] == '/';
      size_t nameStart = i + (closing ? 2 : 1);
      const bool declaration =
          nameStart < html.size() && (html[nameStart] == '!' || html[nameStart] == '?');
      if (nameStart < html.size() && (IsAsciiLetter(html[nameStart]) || declaration)) {
        size_t nameEnd = nameStart + 1;
        while (nameEnd < html.size() && (IsAsciiLetter(html[nameEnd]) || IsDigit(html[nameEnd])))
          ++nameEnd;
        // The tag ends at the first ">" outside quoted attribute values.
        size_t end = nameEnd;
        char quote = 0;
        for (; end < html.size(); ++end) {
          if (quote != 0) {
            if (html[end] == quote) quote = 0;
          } else if (html[end] == '"' || html[end] == '\'') {
            quote = html[end];
          } else if (html[end] == '>') {
            break;
          }
        }
        end = end < html.size() ? end + 1 : html.size();
        const std::string name = LowerCaseAscii(html.substr(nameStart, nameEnd - nameStart));
        i = end;
        if (declaration) continue;
        if (!closing &&
            (name == "style" || name == "script" || name == "title" || name == "noscript")) {
          // What a page holds for the browser, not for the reader. (Text in the head shows, as
          // a browser shows it.) An element never closed is looked for once.
          if (unclosed.count(name) == 0) {
            size_t skip = ElementEnd(html, end, name);
            if (skip != std::string_view::npos)
              i = skip;
            else
              unclosed.insert(name);
          }
          continue;
        }
        if (name == "br") {
          out.LineBreak();
        } else if (name == "pre") {
          pre = !closing;
          out.BlockBreak();
          // A line end right after the start tag is no line of the text.
          if (pre && i < html.size() && html[i] == '\n') ++i;
          if (pre && i + 1 < html.size() && html[i] == '\r' && html[i + 1] == '\n') i += 2;
        } else if (name == "td" || name == "th") {
          out.Space();
        } else if (IsBlockTag(name)) {
          out.BlockBreak();
        }
        continue;
      }
    }
    if (c == '&' && ReadReference(html, i, reference, i)) {
      out.Text(reference);
      continue;
    }
    if (pre && (c == '\r' || c == '\n')) {
      if (c == '\r' && i + 1 < html.size() && html[i + 1] == '\n') ++i;
      out.PreLineEnd();
      ++i;
      continue;
    }
    if (!pre && IsHtmlSpace(c)) {
      out.Space();
      ++i;
      continue;
    }
    // A run of plain characters at once.
    size_t stop = i + 1;
    while (stop < html.size() && html[stop] != '<' && html[stop] != '&' &&
           (pre ? html[stop] != '\r' && html[stop] != '\n' : !IsHtmlSpace(html[stop])))
      ++stop;
    out.Text(html.substr(i, stop - i));
    i = stop;
  }
  return out.Finish();
}

std::string HtmlMetaCharset(std::string_view html) {
  // Where browsers look for it: the first bytes, in a meta element's charset attribute or in
  // the charset of its content ("text/html; charset=...").
  html = html.substr(0, 8192);
  for (size_t meta = FindText(html, "<meta"); meta != std::string_view::npos;
       meta = FindText(html, "<meta", meta + 5)) {
    size_t close = html.find('>', meta);
    std::string_view tag =
        html.substr(meta, close == std::string_view::npos ? html.size() - meta : close - meta);
    size_t at = FindText(tag, "charset");
    if (at == std::string_view::npos) continue;
    at += 7;
    while (at < tag.size() && (IsBlank(tag[at]) || tag[at] == '\r' || tag[at] == '\n'))
      ++at;
    if (at >= tag.size() || tag[at] != '=') continue;
    ++at;
    while (at < tag.size() && (IsBlank(tag[at]) || tag[at] == '"' || tag[at] == '\''))
      ++at;
    size_t stop = at;
    while (stop < tag.size() && !IsBlank(tag[stop]) &&
           std::strchr("\"';/>\r\n", tag[stop]) == nullptr)
      ++stop;
    if (stop > at) return std::string(tag.substr(at, stop - at));
  }
  return {};
}

} // namespace pellora
