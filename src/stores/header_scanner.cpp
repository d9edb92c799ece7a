#include "stores/header_scanner.h"

#include "mime/address_list.h"
#include "mime/codec_tables.h"
#include "mime/header_words.h"
#include "mime/mail_date.h"
#include "mime/transfer_encodings.h"
#include "platform/ascii.h"

#include <cstring>

namespace pellora {
namespace {

enum TField {
  fFrom,
  fSender,
  fMessageID,
  fReturnPath,
  fReplyTo,
  fTo,
  fCc,
  fDate,
  fSubject,
  fPriority,
  fContentType,
  fContentTransferEncoding,
  fRevisionID,
  fDocumentID,
  fContentDisposition,
  fInReplyTo,
  fReferences,
};

constexpr std::string_view FieldNames[THeaderScanner::FieldCount] = {"FROM:",
                                                                     "SENDER:",
                                                                     "MESSAGE-ID:",
                                                                     "RETURN-PATH:",
                                                                     "REPLY-TO:",
                                                                     "TO:",
                                                                     "CC:",
                                                                     "DATE:",
                                                                     "SUBJECT:",
                                                                     "X-PRIORITY:",
                                                                     "CONTENT-TYPE:",
                                                                     "CONTENT-TRANSFER-ENCODING:",
                                                                     "X-QUORIN-REVISIONID:",
                                                                     "X-QUORIN-DOCUMENTID:",
                                                                     "CONTENT-DISPOSITION:",
                                                                     "IN-REPLY-TO:",
                                                                     "REFERENCES:"};

constexpr uint32_t AllFields = (1u << THeaderScanner::FieldCount) - 1;

constexpr int MaxSameFirstChar = 4; // "CC:" and three "CONTENT-" names

// Candidate fields by the upper-cased first character of a line, so that one look at a line
// decides which names can match it.
struct TFirstCharTable {
  int8_t fields[256][MaxSameFirstChar];
  constexpr TFirstCharTable() : fields{} {
    for (auto& row : fields)
      for (auto& f : row)
        f = -1;
    for (int i = 0; i < THeaderScanner::FieldCount; ++i) {
      auto c = static_cast<unsigned char>(FieldNames[i][0]);
      int slot = 0;
      while (fields[c][slot] >= 0)
        ++slot;
      fields[c][slot] = static_cast<int8_t>(i);
      fields[c + 32][slot] = static_cast<int8_t>(i); // lower-case letters
    }
  }
};
constexpr TFirstCharTable FirstChar;

// The value after the name, trimmed; structured fields stop at the first ";".
std::string FieldValue(std::string_view lineText, size_t nameLength, bool cutAtSemicolon) {
  std::string_view value = TrimControls(lineText.substr(nameLength));
  if (cutAtSemicolon) {
    size_t semi = value.find(';');
    if (semi != std::string_view::npos) value = TrimControls(value.substr(0, semi));
  }
  return std::string(value);
}

// A malformed escape gives "@".
std::string DecodeWordQLatin(std::string_view w) {
  std::string out;
  out.reserve(w.size());
  size_t i = 0;
  while (i < w.size()) {
    char c = w[i];
    if (c == '_') {
      out += ' ';
      ++i;
      continue;
    }
    if (c != '=') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < w.size() && (w[i + 1] == '\r' || w[i + 1] == '\n')) {
      i += 3;
      continue;
    }
    if (w.size() - i - 1 < 2) break;
    int hi = HexDigitValue(w[i + 1]), lo = HexDigitValue(w[i + 2]);
    out += static_cast<char>(hi >= 0 && lo >= 0 ? hi * 16 + lo : 64);
    i += 3;
  }
  return out;
}

int Base64Value(char c) {
  unsigned char v = kBase64Values[static_cast<unsigned char>(c)];
  return v == kCodeBad ? 0 : v; // outside the alphabet: counts as "A"
}

std::string DecodeWordB(std::string_view w) {
  std::string out;
  out.reserve(w.size() / 4 * 3);
  for (size_t i = 0; i + 4 <= w.size(); i += 4) {
    int d[4];
    for (int j = 0; j < 4; ++j)
      d[j] = Base64Value(w[i + j]);
    int count = 3;
    if (w[i + 2] == '=') {
      count = 1;
      d[2] = d[3] = 0;
    } else if (w[i + 3] == '=') {
      count = 2;
      d[3] = 0;
    } else if (w[i] == '=') {
      count = 0;
    }
    const char bytes[3] = {static_cast<char>((d[0] * 4 + d[1] / 16) & 0xFF),
                           static_cast<char>((d[1] * 16 + d[2] / 4) & 0xFF),
                           static_cast<char>((d[2] * 64 + d[3]) & 0xFF)};
    out.append(bytes, count);
  }
  size_t zero = out.find('\0');
  if (zero != std::string::npos) out.resize(zero);
  return out;
}

int UuValue(char c) {
  unsigned char v = kUUValues[static_cast<unsigned char>(c)];
  return v == kCodeBad ? -1 : v;
}

std::string DecodeWordU(std::string_view w) {
  if (w.empty()) return {};
  int n = UuValue(w[0]);
  if (n < 0) return {}; // a malformed line decodes to nothing
  std::string_view used = w.substr(1, 60);
  std::string out;
  uint32_t bits = 0;
  int bitCount = 0;
  for (char c : used) {
    int v = UuValue(c);
    if (v < 0) return {};
    bits = (bits << 6) | static_cast<uint32_t>(v);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      out += static_cast<char>((bits >> bitCount) & 0xFF);
    }
  }
  size_t keep = std::min<size_t>(static_cast<size_t>(std::min(n, 45)), out.size());
  out.resize(keep);
  size_t zero = out.find('\0');
  if (zero != std::string::npos) out.resize(zero);
  return out;
}

bool ContainsUpper(std::string_view text, std::string_view upperNeedle) {
  if (text.size() < upperNeedle.size()) return false;
  for (size_t i = 0; i + upperNeedle.size() <= text.size(); ++i)
    if (StartsWithUpper(text.substr(i), upperNeedle)) return true;
  return false;
}

int MonthOfName(std::string_view name) {
  static constexpr std::string_view full[12] = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                                                "MAY",       "JUNE",     "JULY",     "AUGUST",
                                                "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};
  std::string upper = UpperCaseAscii(name);
  for (int m = 0; m < 12; ++m) {
    if (upper == full[m] || (upper.size() == 3 && full[m].substr(0, 3) == upper)) return m + 1;
  }
  if (upper == "SEPT") return 9;
  return 0;
}

} // namespace

void THeaderScanner::Reset() {
  for (auto& s : FLines)
    s.clear();
  FFound = 0;
  FOpen = -1;
  FAnyLine = false;
  FDone = false;
}

void THeaderScanner::FeedLine(std::string_view line) {
  FAnyLine = true;
  if (FOpen >= 0) {
    if (line[0] == ' ' || line[0] == '\t') {
      // Unfolding takes out the line break, not the blank (RFC 5322); the blanks at the joint
      // become one, as the message's own header shows them.
      std::string& text = FLines[FOpen];
      text.resize(TrimBlanksRight(text).size());
      text += ' ';
      text += TrimControls(line);
      return;
    }
    FOpen = -1;
  }
  const int8_t* candidates = FirstChar.fields[static_cast<unsigned char>(line[0])];
  for (int slot = 0; slot < MaxSameFirstChar && candidates[slot] >= 0; ++slot) {
    int field = candidates[slot];
    if (!StartsWithUpper(line, FieldNames[field])) continue;
    if (!(FFound & (1u << field))) {
      FFound |= 1u << field;
      FLines[field].assign(line);
      FOpen = field;
    }
    break; // no name is a prefix of another
  }
  if (FFound == AllFields && FOpen < 0) FDone = true;
}

void THeaderScanner::Finish(TEMLHeader& header) const {
  header = TEMLHeader();
  if (!FAnyLine) return;
  auto has = [&](TField f) { return (FFound & (1u << f)) != 0; };
  auto value = [&](TField f, bool cut = true) {
    return FieldValue(FLines[f], FieldNames[f].size(), cut);
  };
  // Address lists are not cut at ";": it may stand in a display name or close a group.
  auto addresses = [&](TField f) {
    return DecodeAddressListWords(value(f, false), ScanDecodeWords);
  };
  if (has(fFrom)) header.From = addresses(fFrom);
  if (has(fSender)) header.Sender = addresses(fSender);
  if (has(fMessageID)) header.MessageID = value(fMessageID);
  if (has(fReturnPath)) header.ReturnPath = value(fReturnPath);
  if (has(fReplyTo)) header.ReplyTo = value(fReplyTo);
  if (has(fTo)) header.To = addresses(fTo);
  if (has(fCc)) header.Cc = addresses(fCc);
  if (has(fDate)) {
    header.DateText = value(fDate);
    header.Date = ScanMailDate(header.DateText);
  }
  // A subject is free text: a ";" in it is the writer's, not a parameter separator.
  if (has(fSubject)) header.Subject = ScanDecodeWords(value(fSubject, false));
  if (has(fPriority)) header.Priority = ParseInt32Or(value(fPriority), 0);
  header.ContentType = has(fContentType) ? UpperCaseAscii(value(fContentType)) : "TEXT/PLAIN";
  header.ContentTransferEncoding =
      has(fContentTransferEncoding) ? UpperCaseAscii(value(fContentTransferEncoding)) : "7BIT";
  if (has(fRevisionID)) header.DocumentID = UpperCaseAscii(value(fRevisionID));
  if (has(fDocumentID)) header.DocumentID = UpperCaseAscii(value(fDocumentID));
  if (has(fContentDisposition))
    header.ContentDisposition = UpperCaseAscii(value(fContentDisposition));
  if (has(fReferences)) header.References = CompactMessageIds(FLines[fReferences]);
  if (has(fInReplyTo)) {
    const std::string_view first = FirstMessageId(FLines[fInReplyTo]);
    // Most replies name their parent in both: one is enough for the same links and parent.
    if (header.References.view().find(first) == std::string_view::npos) header.InReplyTo = first;
  }
}

std::string_view FirstMessageId(std::string_view value) {
  std::string_view first;
  ForEachMessageId(value, [&](std::string_view id) {
    if (first.empty()) first = id;
  });
  return first;
}

std::string_view MessageIdOf(std::string_view value) {
  const std::string_view first = FirstMessageId(value);
  return first.empty() ? TrimControls(value) : first;
}

std::string CompactMessageIds(std::string_view value) {
  std::vector<std::string_view> ids;
  size_t total = 0;
  ForEachMessageId(value, [&](std::string_view id) {
    ids.push_back(id);
    total += id.size();
  });
  std::string out;
  size_t from = 0;
  if (total > MaxReferencesBytes && !ids.empty()) {
    // The first id names the conversation's start, the last ones the nearest parents.
    out = ids[0];
    size_t kept = out.size();
    from = ids.size();
    while (from > 1 && kept + ids[from - 1].size() <= MaxReferencesBytes)
      kept += ids[--from].size();
    if (out.size() > MaxReferencesBytes) out.clear();
  }
  for (size_t i = from; i < ids.size(); ++i)
    out += ids[i];
  return out;
}

void ScanHeader(std::vector<std::string>& lines, TEMLHeader& header) {
  THeaderScanner scanner;
  scanner.Reset();
  for (const auto& line : lines)
    scanner.Feed(line);
  scanner.Finish(header);
  std::erase_if(lines, [](const std::string& line) { return line.empty(); });
}

std::string ScanDecodeWords(std::string_view text) {
  const bool latin = text.find("=?") != std::string_view::npos &&
                     (ContainsUpper(text, "=?ISO-8859-1?") || ContainsUpper(text, "=?ISO-8859-2?"));
  return DecodeEncodedWords(text, [latin](const TEncodedWord& word, std::string& decoded) {
    if (word.Encoding == 'B') {
      decoded += DecodeWordB(word.Text);
    } else if (word.Encoding == 'U') {
      decoded += DecodeWordU(word.Text);
    } else {
      std::string spaced(word.Text);
      for (auto& c : spaced)
        if (c == '_') c = ' ';
      if (latin)
        decoded += DecodeWordQLatin(spaced);
      else
        QPDecodeAppend(spaced, decoded);
    }
  });
}

TDateTime ScanMailDate(std::string_view text) {
  return MailDateToLocal(text, MonthOfName);
}

} // namespace pellora
