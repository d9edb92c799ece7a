#include "search/query.h"

#include "platform/ascii.h"

#include <cstdio>

namespace pellora {
namespace {

// Parentheses and "-" nest this deep at most: a hostile query cannot exhaust the stack.
constexpr int MaxDepth = 100;

struct EQuerySyntax {
  std::string What;
  size_t Offset;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool EndsWord(char c) {
  return IsBlank(c) || c == '(' || c == ')' || c == '"';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

struct TFieldName {
  std::string_view Name;
  TQueryTerm Term;
};

// is: stands as qtUnread until its value names the term.
constexpr TFieldName fieldNames[] = {
    {"from", qtFrom},
    {"to", qtTo},
    {"cc", qtCc},
    {"subject", qtSubject},
    {"body", qtBody},
    {"source", qtSource},
    {"header", qtHeader},
    {"attachment", qtAttachment},
    {"has", qtHasAttachment},
    {"is", qtUnread},
    {"before", qtBefore},
    {"after", qtAfter},
    {"larger", qtLarger},
    {"smaller", qtSmaller},
};

std::string_view TermName(TQueryTerm term) {
  switch (term) {
  case qtWords:
    return "words";
  case qtHasAttachment:
    return "has-attachment";
  case qtUnread:
    return "unread";
  case qtFlagged:
    return "flagged";
  default:
    for (const auto& field : fieldNames)
      if (field.Term == term) return field.Name;
    return "?";
  }
}

bool TryDate(int year, int month, int day, TDateTime& date) {
  return year >= 1 && TryEncodeDate(year, month, day, date);
}

// YYYY-MM-DD, YYYY-MM or YYYY.
bool ParseIsoDate(std::string_view text, TDateTime& date) {
  int parts[3] = {0, 1, 1};
  size_t at = 0;
  for (int i = 0; i < 3 && (i == 0 || at < text.size()); ++i) {
    if (i > 0 && text[at++] != '-') return false;
    const size_t width = i == 0 ? 4 : 2;
    if (text.size() - at < width) return false;
    parts[i] = 0;
    for (size_t end = at + width; at < end; ++at) {
      if (!IsDigit(text[at])) return false;
      parts[i] = parts[i] * 10 + (text[at] - '0');
    }
  }
  return at == text.size() && TryDate(parts[0], parts[1], parts[2], date);
}

// Whether the pattern writes its date in digits alone (no month or day names: MMM, ddd).
bool NumericPattern(std::string_view pattern) {
  size_t run = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    run = i > 0 && pattern[i] == pattern[i - 1] ? run + 1 : 1;
    if ((pattern[i] == 'M' || pattern[i] == 'd') && run > 2) return false;
  }
  return true;
}

// The digit groups of text in the order of the pattern's day, month and year fields.
bool ParseShortDate(std::string_view text, std::string_view pattern, TDateTime& date) {
  std::string order;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if ((c == 'd' || c == 'M' || c == 'y') && (i == 0 || pattern[i - 1] != c)) order += c;
  }
  if (order.size() != 3 || order.find('d') == std::string::npos ||
      order.find('M') == std::string::npos || order.find('y') == std::string::npos)
    return false;
  int day = 0, month = 0, year = 0;
  size_t at = 0, group = 0;
  while (at < text.size()) {
    if (!IsDigit(text[at])) {
      ++at;
      continue;
    }
    const size_t start = at;
    int value = 0;
    while (at < text.size() && IsDigit(text[at]) && at - start < 5)
      value = value * 10 + (text[at++] - '0');
    if (group == 3 || (at < text.size() && IsDigit(text[at]))) return false;
    const char field = order[group++];
    if (field == 'y') {
      if (at - start == 2)
        value += value < 70 ? 2000 : 1900; // two digits: 1970 to 2069
      else if (at - start != 4)
        return false;
      year = value;
    } else {
      (field == 'd' ? day : month) = value;
    }
  }
  return group == 3 && TryDate(year, month, day, date);
}

// A number of bytes, with K or M (1024 and 1024 * 1024) after it, and an optional B.
bool ParseSize(std::string_view text, int64_t& size) {
  size_t at = 0;
  double value = 0;
  while (at < text.size() && IsDigit(text[at]) && at < 15)
    value = value * 10 + (text[at++] - '0');
  if (at == 0) return false;
  if (at < text.size() && text[at] == '.') {
    double scale = 0.1;
    const size_t start = ++at;
    while (at < text.size() && IsDigit(text[at]) && at - start < 6) {
      value += (text[at++] - '0') * scale;
      scale /= 10;
    }
    if (at == start) return false;
  }
  std::string unit = UpperCaseAscii(text.substr(at));
  if (unit.ends_with('B')) unit.pop_back();
  if (unit == "K")
    value *= 1024;
  else if (unit == "M")
    value *= 1024 * 1024;
  else if (!unit.empty())
    return false;
  size = static_cast<int64_t>(value);
  return true;
}

// One grammar rule per method; each starts where the one before it stopped. OR binds closer
// than the juxtaposition that means AND: "from:ann OR from:bob budget" wants the budget of both.
//   query   := and
//   and     := or { or }
//   or      := unary { "OR" unary }
//   unary   := "-" unary | primary
//   primary := "(" and ")" | phrase | field ":" (phrase | word) | word
class TQueryParser {
public:
  TQueryParser(std::string_view text, std::string_view dateFormat)
      : FText(text), FDateFormat(NumericPattern(dateFormat) ? dateFormat : std::string_view()) {}

  TQueryNode Query() {
    SkipBlanks();
    if (AtEnd()) Fail("the query is empty", 0);
    TQueryNode root = And();
    SkipBlanks();
    if (!AtEnd()) Fail("a closing parenthesis without an opening one", FAt);
    return root;
  }
  bool PlainWords() const { return !FSyntax; }

private:
  [[noreturn]] void Fail(std::string what, size_t offset) {
    throw EQuerySyntax{std::move(what), offset};
  }
  bool AtEnd() const { return FAt >= FText.size(); }
  char Peek() const { return AtEnd() ? '\0' : FText[FAt]; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(FText[FAt]))
      ++FAt;
  }
  // Whether the word OR (upper case) stands here.
  bool AtOr() const {
    return FText.substr(FAt, 2) == "OR" && (FAt + 2 == FText.size() || EndsWord(FText[FAt + 2]));
  }
  void Enter(size_t offset) {
    if (++FDepth > MaxDepth) Fail("the query nests too deep", offset);
  }

  static TQueryNode Join(TQueryOp op, std::vector<TQueryNode> children) {
    if (children.size() == 1) return std::move(children[0]);
    TQueryNode node;
    node.Op = op;
    node.Offset = children[0].Offset;
    node.Children = std::move(children);
    return node;
  }

  TQueryNode And() {
    std::vector<TQueryNode> children;
    for (SkipBlanks(); !AtEnd() && Peek() != ')'; SkipBlanks()) {
      if (AtOr()) Fail("OR needs a term on each side", FAt);
      children.push_back(Or());
    }
    if (children.empty())
      Fail(FDepth > 0 ? "empty parentheses" : "a closing parenthesis without an opening one", FAt);
    return Join(qoAnd, std::move(children));
  }

  TQueryNode Or() {
    std::vector<TQueryNode> children{Unary()};
    for (SkipBlanks(); AtOr(); SkipBlanks()) {
      FSyntax = true;
      const size_t at = FAt;
      FAt += 2;
      SkipBlanks();
      if (AtEnd() || Peek() == ')' || AtOr()) Fail("OR needs a term on each side", at);
      children.push_back(Unary());
    }
    return Join(qoOr, std::move(children));
  }

  TQueryNode Unary() {
    // A "-" alone is a word: only a term right after it is negated.
    if (Peek() == '-' && FAt + 1 < FText.size() && !IsBlank(FText[FAt + 1]) &&
        FText[FAt + 1] != ')') {
      FSyntax = true;
      const size_t at = FAt++;
      Enter(at);
      TQueryNode node;
      node.Op = qoNot;
      node.Offset = at;
      node.Children.push_back(Unary());
      --FDepth;
      return node;
    }
    return Primary();
  }

  TQueryNode Primary() {
    if (Peek() == '(') return Group();
    if (Peek() == '"') return TextTerm(qtWords, FAt, Phrase());
    return WordOrField();
  }

  TQueryNode Group() {
    FSyntax = true;
    const size_t open = FAt++;
    Enter(open);
    SkipBlanks();
    if (AtEnd()) Fail("the parenthesis opened here is never closed", open);
    if (Peek() == ')') Fail("empty parentheses", open);
    TQueryNode node = And();
    SkipBlanks();
    if (Peek() != ')') Fail("the parenthesis opened here is never closed", open);
    ++FAt;
    --FDepth;
    return node;
  }

  std::string Phrase() {
    FSyntax = true;
    const size_t open = FAt;
    const size_t close = FText.find('"', open + 1);
    if (close == std::string_view::npos) Fail("the quote opened here is never closed", open);
    if (close == open + 1) Fail("an empty phrase", open);
    FAt = close + 1;
    return std::string(FText.substr(open + 1, close - open - 1));
  }

  std::string_view Word() {
    const size_t start = FAt;
    while (!AtEnd() && !EndsWord(FText[FAt]))
      ++FAt;
    return FText.substr(start, FAt - start);
  }

  TQueryNode WordOrField() {
    const size_t start = FAt;
    size_t colon = start;
    while (colon < FText.size() && IsAsciiLetter(FText[colon]))
      ++colon;
    if (colon < FText.size() && FText[colon] == ':') {
      const std::string_view name = FText.substr(start, colon - start);
      for (const auto& field : fieldNames)
        if (SameTextAscii(field.Name, name)) {
          FSyntax = true;
          FAt = colon + 1;
          const size_t valueAt = FAt;
          std::string value = Peek() == '"' ? Phrase() : std::string(Word());
          if (value.empty()) Fail(std::string(field.Name) + ": needs a value", start);
          return FieldTerm(field.Term, start, valueAt, std::move(value));
        }
    }
    // An unknown name before a colon is text: "Re:", a time, an address.
    return TextTerm(qtWords, start, std::string(Word()));
  }

  static TQueryNode TextTerm(TQueryTerm term, size_t offset, std::string text) {
    TQueryNode node;
    node.Term = term;
    node.Offset = offset;
    node.Text = std::move(text);
    return node;
  }

  TQueryNode FieldTerm(TQueryTerm term, size_t offset, size_t valueAt, std::string value) {
    TQueryNode node = TextTerm(term, offset, {});
    switch (term) {
    case qtHasAttachment:
      if (!SameTextAscii(value, "attachment")) Fail("has: takes attachment", valueAt);
      return node;
    case qtUnread:
      if (SameTextAscii(value, "flagged"))
        node.Term = qtFlagged;
      else if (!SameTextAscii(value, "unread"))
        Fail("is: takes unread or flagged", valueAt);
      return node;
    case qtBefore:
    case qtAfter:
      if (!ParseIsoDate(value, node.Date) &&
          (FDateFormat.empty() || !ParseShortDate(value, FDateFormat, node.Date)))
        Fail("not a date: " + value + " (write YYYY-MM-DD" +
                 (FDateFormat.empty() ? std::string() : " or " + std::string(FDateFormat)) + ")",
             valueAt);
      return node;
    case qtLarger:
    case qtSmaller:
      if (!ParseSize(value, node.Size))
        Fail("not a size: " + value + " (write bytes, or K or M after the number)", valueAt);
      return node;
    default:
      node.Text = std::move(value);
      return node;
    }
  }

  std::string_view FText;
  std::string_view FDateFormat;
  size_t FAt = 0;
  int FDepth = 0;
  bool FSyntax = false;
};

void CollectTexts(const TQueryNode& node, TQueryTerm term, std::vector<std::string>& texts) {
  if (node.Op == qoNot) return;
  if (node.Op == qoTerm) {
    if (node.Term == term && !node.Text.empty()) texts.push_back(node.Text);
    return;
  }
  for (const auto& child : node.Children)
    CollectTexts(child, term, texts);
}

void AppendTree(const TQueryNode& node, std::string& out) {
  out += '(';
  switch (node.Op) {
  case qoAnd:
  case qoOr:
    out += node.Op == qoAnd ? "and" : "or";
    for (const auto& child : node.Children) {
      out += ' ';
      AppendTree(child, out);
    }
    break;
  case qoNot:
    out += "not ";
    AppendTree(node.Children.at(0), out);
    break;
  case qoTerm:
    out += TermName(node.Term);
    if (node.Term == qtBefore || node.Term == qtAfter) {
      const TDateParts parts = DecodeDateTime(node.Date);
      char date[16];
      std::snprintf(date, sizeof date, " %04d-%02d-%02d", parts.year, parts.month, parts.day);
      out += date;
    } else if (node.Term == qtLarger || node.Term == qtSmaller) {
      out += ' ' + std::to_string(node.Size);
    } else if (node.Term != qtHasAttachment && node.Term != qtUnread && node.Term != qtFlagged) {
      out += " \"" + node.Text + '"';
    }
    break;
  }
  out += ')';
}

} // namespace

TQueryParse ParseQuery(std::string_view text, std::string_view shortDateFormat) {
  TQueryParse result;
  TQueryParser parser(text, shortDateFormat);
  try {
    result.Root = parser.Query();
    result.Ok = true;
    result.PlainWords = parser.PlainWords();
  } catch (const EQuerySyntax& e) {
    result.Error = e.What;
    result.ErrorOffset = e.Offset;
  }
  return result;
}

bool QueryNeedsMessages(const TQueryNode& node) {
  if (node.Op != qoTerm) {
    for (const auto& child : node.Children)
      if (QueryNeedsMessages(child)) return true;
    return false;
  }
  return node.Term == qtBody || node.Term == qtSource || node.Term == qtHeader ||
         node.Term == qtAttachment;
}

std::vector<std::string> QueryTexts(const TQueryNode& node, TQueryTerm term) {
  std::vector<std::string> texts;
  CollectTexts(node, term, texts);
  return texts;
}

std::string QueryTreeText(const TQueryNode& node) {
  std::string out;
  AppendTree(node, out);
  return out;
}

} // namespace pellora
