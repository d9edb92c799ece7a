#include "mime/header_fields.h"

#include "platform/ascii.h"
#include "platform/charset.h"

#include <algorithm>
#include <vector>

namespace pellora {

std::string NormalizeHeaderLine(std::string_view line) {
  size_t colon = line.find(':');
  std::string_view nameView = colon == std::string_view::npos ? line : line.substr(0, colon + 1);
  std::string_view valueView =
      colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);

  std::string name(nameView);
  bool seenLetter = false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (!IsAsciiLetter(c)) continue;
    bool upper = !seenLetter || (i > 0 && name[i - 1] == '-');
    seenLetter = true;
    name[i] = upper ? AsciiUpper(c) : AsciiLower(c);
  }
  if (name.size() >= 4 && name.compare(name.size() - 4, 4, "-Id:") == 0)
    name[name.size() - 2] = 'D';

  std::string value;
  value.reserve(valueView.size());
  std::string blanks;
  const size_t n = valueView.size();
  for (size_t i = 0; i < n;) {
    char c = valueView[i];
    if (c == '\t') {
      blanks += c;
      ++i;
    } else if (c == ' ') {
      blanks.assign(1, ' ');
      ++i;
    } else {
      value += blanks;
      blanks.clear();
      // A quoted string is kept as written; other text up to the next blank or quote is too.
      size_t stop = i + 1;
      if (c == '"') {
        size_t close = valueView.find('"', i + 1);
        stop = close == std::string_view::npos ? n : close + 1;
      } else {
        while (stop < n && valueView[stop] != ' ' && valueView[stop] != '\t' &&
               valueView[stop] != '"')
          ++stop;
      }
      value.append(valueView.substr(i, stop - i));
      i = stop;
    }
  }
  value += blanks;

  std::string result(TrimBlanks(name));
  result += ' ';
  result.append(TrimBlanks(value));
  return result;
}

namespace {

// The value of a header line: [start, end) after the first colon up to the first ";",
// both outside double quotes. False when the line has no colon.
bool FindValueRange(std::string_view line, size_t& start, size_t& end) {
  bool quoted = false;
  start = std::string_view::npos;
  end = line.size();
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      if (start == std::string_view::npos) {
        if (c == ':') start = i + 1;
      } else if (c == ';') {
        end = i;
        break;
      }
    }
  }
  return start != std::string_view::npos;
}

std::string_view StripDoubleQuotes(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    return text.substr(1, text.size() - 2);
  return text;
}

// Walks a parameter list; calls found(start, end) for every value of the wanted parameter.
template <class F> void WalkParams(std::string_view s, std::string_view paramName, F&& found) {
  const std::string wanted = UpperCaseAscii(TrimBlanks(paramName));
  bool quoted = false, inValue = false, inParams = false, copying = false;
  std::string name;
  size_t copyStart = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      if (!inValue && c == ':') {
        inValue = true;
        continue;
      }
      if (inValue && c == ';') {
        if (copying) found(copyStart, i);
        inParams = true;
        copying = false;
        name.clear();
        continue;
      }
      if (inParams && c == '=') {
        if (copying) found(copyStart, i); // an unquoted value ends at a further "="
        copying = UpperCaseAscii(TrimBlanks(name)) == wanted;
        copyStart = i + 1;
        name.clear();
        continue;
      }
    }
    if (inParams && !copying) name += c;
  }
  if (copying) found(copyStart, s.size());
}

} // namespace

std::string FieldValueOf(std::string_view line) {
  size_t start, end;
  if (!FindValueRange(line, start, end)) return {};
  return std::string(StripDoubleQuotes(TrimBlanks(line.substr(start, end - start))));
}

std::string WithFieldValue(std::string_view line, std::string_view value) {
  size_t start, end;
  if (!FindValueRange(line, start, end)) return std::string(line);
  std::string r(line.substr(0, start));
  r += ' ';
  r.append(TrimBlanks(value));
  r.append(line.substr(end));
  return r;
}

std::string FieldParamOf(std::string_view line, std::string_view paramName) {
  std::string s(TrimBlanks(line));
  if (s.empty() || s.back() != ';') s += ';';
  std::string result;
  WalkParams(s, paramName, [&](size_t b, size_t e) { result.append(s, b, e - b); });
  return std::string(StripDoubleQuotes(TrimBlanks(result)));
}

std::string WithFieldParam(std::string_view line, std::string_view paramName,
                           std::string_view value) {
  std::string s(TrimBlanks(line));
  bool added = false;
  if (s.empty() || s.back() != ';') {
    s += ';';
    added = true;
  }
  size_t start = std::string::npos, end = 0;
  WalkParams(s, paramName, [&](size_t b, size_t e) {
    if (start == std::string::npos) {
      start = b;
      end = e;
    }
  });
  if (added) s.pop_back();
  if (start != std::string::npos) {
    end = std::min(end, s.size());
    start = std::min(start, end);
    return s.substr(0, start) + std::string(TrimBlanks(value)) + s.substr(end);
  }
  std::string r(TrimBlanks(line));
  r += "; ";
  r.append(TrimBlanks(paramName));
  r += '=';
  r.append(TrimBlanks(value));
  return r;
}

namespace {

// Calls visit(name, value) for each parameter after the value of a header line: names trimmed,
// values trimmed and without their double quotes.
template <class F> void ForEachParam(std::string_view line, F&& visit) {
  size_t start, end;
  if (!FindValueRange(line, start, end)) return;
  size_t i = end;
  while (i < line.size()) {
    const size_t nameStart = ++i; // past the ";"
    while (i < line.size() && line[i] != '=' && line[i] != ';')
      ++i;
    if (i >= line.size() || line[i] == ';') continue; // no value
    std::string_view name = TrimBlanks(line.substr(nameStart, i - nameStart));
    ++i;
    while (i < line.size() && IsBlank(line[i]))
      ++i;
    std::string value;
    if (i < line.size() && line[i] == '"') {
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value += line[i];
      }
      while (i < line.size() && line[i] != ';')
        ++i;
    } else {
      const size_t valueStart = i;
      while (i < line.size() && line[i] != ';')
        ++i;
      value.assign(TrimBlanks(line.substr(valueStart, i - valueStart)));
    }
    visit(name, value);
  }
}

// %XX escapes of an RFC 2231 value, either case of hex digits; a "%" that begins none stays.
void AppendPercentDecoded(std::string_view text, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    int hi, lo;
    if (text[i] == '%' && i + 2 < text.size() && (hi = HexDigitValue(text[i + 1])) >= 0 &&
        (lo = HexDigitValue(text[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += text[i];
    }
  }
}

} // namespace

bool ExtendedParamOf(std::string_view line, std::string_view paramName, std::string& text) {
  const std::string_view wanted = TrimBlanks(paramName);
  struct TPiece {
    std::string value;
    bool encoded = false;
  };
  std::vector<TPiece> pieces; // by number; only the run from 0 on counts
  std::string whole;
  bool hasWhole = false;
  ForEachParam(line, [&](std::string_view name, const std::string& value) {
    if (name.size() <= wanted.size() || !StartsWithText(name, wanted) || name[wanted.size()] != '*')
      return;
    std::string_view rest = name.substr(wanted.size() + 1);
    if (rest.empty()) {
      if (!hasWhole) whole = value;
      hasWhole = true;
      return;
    }
    const bool encoded = rest.back() == '*';
    if (encoded) rest.remove_suffix(1);
    if (rest.empty() || rest.size() > 3 ||
        rest.find_first_not_of("0123456789") != std::string_view::npos)
      return;
    const size_t number = static_cast<size_t>(ParseInt32Or(rest, 0));
    if (number >= pieces.size()) pieces.resize(number + 1);
    pieces[number] = {value, encoded};
  });
  if (!hasWhole && (pieces.empty() || (pieces[0].value.empty() && !pieces[0].encoded)))
    return false;
  if (hasWhole) pieces.assign(1, {whole, true});
  // The charset and language lead the first piece when it is encoded: charset'language'text.
  std::string_view charset;
  std::string bytes;
  for (size_t i = 0; i < pieces.size(); ++i) {
    std::string_view value = pieces[i].value;
    if (i > 0 && value.empty() && !pieces[i].encoded) break; // the pieces end at a gap
    if (i == 0 && pieces[0].encoded) {
      size_t first = value.find('\'');
      size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
      if (second != std::string_view::npos) {
        charset = value.substr(0, first);
        value.remove_prefix(second + 1);
      }
    }
    if (pieces[i].encoded)
      AppendPercentDecoded(value, bytes);
    else
      bytes += value;
  }
  text.clear();
  AppendCharsetToAnsi(bytes, charset, text);
  return true;
}

int FindHeaderLine(const std::vector<std::string>& lines, std::string_view prefix, int occurrence) {
  int seen = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (StartsWithText(lines[i], prefix)) {
      if (seen == occurrence) return static_cast<int>(i);
      ++seen;
    }
  }
  return -1;
}

} // namespace pellora
