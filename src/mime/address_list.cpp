#include "mime/address_list.h"

#include "mime/header_words.h"
#include "platform/ascii.h"
#include "platform/codepage.h"

#include <algorithm>

namespace pellora {
namespace {

bool IsSpaceChar(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// [Begin, End) of the value; empty while nothing was met.
struct TRange {
  size_t Begin = std::string_view::npos;
  size_t End = 0;
  void Add(size_t begin, size_t end) {
    Begin = std::min(Begin, begin);
    End = std::max(End, end);
  }
  bool Empty() const { return Begin >= End; }
};

// One mailbox as written, before its words are decoded.
struct TWrittenMailbox {
  std::string Phrase;  // plain text and quoted strings (unquoted) before "<"
  std::string Bare;    // plain text and quoted local parts as written: an address without "<>"
  std::string Quoted;  // quoted strings that are no local part, unquoted
  std::string Comment; // comments without their parentheses
  std::string Angle;   // what "<...>" holds, blanks left out
  bool HasAngle = false;
  TRange BareRange, AngleRange;

  const TRange& AddressRange() const { return HasAngle ? AngleRange : BareRange; }
};

// The end of a quoted string that starts at from (its closing quote included); its content,
// backslash escapes resolved, into content.
size_t ReadQuoted(std::string_view v, size_t from, std::string& content) {
  size_t j = from + 1;
  while (j < v.size() && v[j] != '"') {
    if (v[j] == '\\' && j + 1 < v.size()) ++j;
    content += v[j++];
  }
  return j < v.size() ? j + 1 : j;
}

// The end of a comment that starts at from (nested comments belong to it); its content into
// content, inner parentheses kept.
size_t ReadComment(std::string_view v, size_t from, std::string& content) {
  int depth = 1;
  size_t j = from + 1;
  for (; j < v.size(); ++j) {
    char c = v[j];
    if (c == '\\' && j + 1 < v.size()) {
      content += v[++j];
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return j + 1;
    content += c;
  }
  return j;
}

// Calls item for every mailbox of the value, empty ones included.
template <class F> void ForEachWrittenMailbox(std::string_view v, F&& item) {
  TWrittenMailbox m;
  bool inAngle = false, afterAngle = false;
  auto finish = [&] {
    item(m);
    m = TWrittenMailbox();
    inAngle = afterAngle = false;
  };
  for (size_t i = 0; i < v.size();) {
    const char c = v[i];
    if (c == '"') {
      std::string content;
      const size_t end = ReadQuoted(v, i, content);
      if (inAngle) {
        m.Angle.append(v.substr(i, end - i));
        m.AngleRange.Add(i, end);
      } else if (end < v.size() && v[end] == '@') { // a quoted local part: "Sys Admin"@host
        m.Bare.append(v.substr(i, end - i));
        m.Phrase.append(v.substr(i, end - i));
        m.BareRange.Add(i, end);
      } else if (!afterAngle) {
        m.Phrase += content;
        m.Quoted += content;
      }
      i = end;
      continue;
    }
    if (c == '(') {
      std::string content;
      i = ReadComment(v, i, content);
      if (!inAngle) {
        if (!m.Comment.empty()) m.Comment += ' ';
        m.Comment += content;
      }
      continue;
    }
    if (inAngle) {
      if (c == '>') {
        inAngle = false;
        afterAngle = true;
      } else if (!IsSpaceChar(c)) {
        m.Angle += c;
        m.AngleRange.Add(i, i + 1);
      }
      ++i;
      continue;
    }
    if (c == ',' || c == ';') {
      finish();
    } else if (c == ':') {
      m = TWrittenMailbox(); // a group's name is no mailbox
      afterAngle = false;
    } else if (c == '<') {
      inAngle = m.HasAngle = true;
    } else if (!afterAngle) { // text after "<...>" belongs to nothing
      m.Phrase += c;
      m.Bare += c;
      if (!IsSpaceChar(c)) m.BareRange.Add(i, i + 1);
    }
    ++i;
  }
  finish();
}

std::string Trimmed(std::string_view text) {
  return std::string(TrimControls(text));
}

std::string AsWritten(std::string_view text) {
  return IsAscii(text) ? std::string(text) : UndeclaredToAnsi(text);
}

} // namespace

std::vector<TMailAddress> ParseAddressList(std::string_view value) {
  std::vector<TMailAddress> list;
  ForEachWrittenMailbox(value, [&](const TWrittenMailbox& m) {
    std::string name = Trimmed(m.HasAngle ? m.Phrase : m.Quoted);
    if (name.empty()) name = Trimmed(m.Comment);
    std::string address = m.HasAngle ? m.Angle : Trimmed(m.Bare);
    // A whole address in quotes ("ann@example.com") is still the address.
    if (address.empty() && !m.HasAngle && name.find('@') != std::string::npos && m.Comment.empty())
      std::swap(name, address);
    if (name.empty() && address.empty()) return;
    list.push_back({DecodeHeaderWords(name), AsWritten(address)});
  });
  return list;
}

std::string DecodeAddressListWords(std::string_view value,
                                   const std::function<std::string(std::string_view)>& decode) {
  // Only an addr-spec that holds an encoded word needs keeping from the decoder.
  std::vector<TRange> kept;
  ForEachWrittenMailbox(value, [&](const TWrittenMailbox& m) {
    const TRange& r = m.AddressRange();
    if (r.Empty()) return;
    std::string_view address = value.substr(r.Begin, r.End - r.Begin);
    if (address.find('@') != std::string_view::npos && address.find("=?") != std::string_view::npos)
      kept.push_back(r);
  });
  if (kept.empty()) return decode(value);
  std::string out;
  auto decodeStretch = [&](std::string_view s) {
    std::string_view inner = TrimBlanksRight(TrimBlanksLeft(s));
    if (inner.empty()) {
      out += s;
      return;
    }
    out += s.substr(0, static_cast<size_t>(inner.data() - s.data()));
    out += decode(inner);
    out += s.substr(static_cast<size_t>(inner.data() - s.data()) + inner.size());
  };
  size_t at = 0;
  for (const TRange& r : kept) {
    decodeStretch(value.substr(at, r.Begin - at));
    out += AsWritten(value.substr(r.Begin, r.End - r.Begin));
    at = r.End;
  }
  decodeStretch(value.substr(at));
  return out;
}

} // namespace pellora
