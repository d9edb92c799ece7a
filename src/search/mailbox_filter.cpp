#include "search/mailbox_filter.h"

#include "mime/header_words.h"
#include "platform/ascii.h"
#include "platform/pellora_error.h"

#include <algorithm>
#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pellora {
namespace {

constexpr std::array<unsigned char, 256> FoldTable = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c)
    table[c] = static_cast<unsigned char>(AsciiLower(static_cast<char>(c)));
  return table;
}();

bool SameFolded(const unsigned char* a, const unsigned char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (FoldTable[a[i]] != FoldTable[b[i]]) return false;
  return true;
}

// Candidates are the positions whose first and last bytes match; only they are compared in full.
// A letter matches both its cases by setting bit 0x20 of the text byte: among all bytes only
// the two cases of that letter then equal the lower-case letter.
bool Contains(std::string_view searched, std::string_view text) {
  const size_t n = searched.size(), m = text.size();
  if (n == 0 || n > m) return false;
  auto p = reinterpret_cast<const unsigned char*>(searched.data());
  auto t = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char first = FoldTable[p[0]], last = FoldTable[p[n - 1]];
  const unsigned char firstMask = IsAsciiLetter(static_cast<char>(p[0])) ? 0x20 : 0;
  const unsigned char lastMask = IsAsciiLetter(static_cast<char>(p[n - 1])) ? 0x20 : 0;
  const size_t starts = m - n + 1; // candidate positions
  size_t i = 0;
#ifdef __SSE2__
  const __m128i vFirst = _mm_set1_epi8(static_cast<char>(first));
  const __m128i vLast = _mm_set1_epi8(static_cast<char>(last));
  const __m128i vFirstMask = _mm_set1_epi8(static_cast<char>(firstMask));
  const __m128i vLastMask = _mm_set1_epi8(static_cast<char>(lastMask));
  auto block = [&](size_t at) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + at));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + at + n - 1));
    __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, vFirstMask), vFirst),
                                _mm_cmpeq_epi8(_mm_or_si128(b, vLastMask), vLast));
    auto bits = static_cast<unsigned>(_mm_movemask_epi8(hit));
    while (bits != 0) {
      size_t k = at + static_cast<size_t>(__builtin_ctz(bits));
      if (n <= 2 || SameFolded(p + 1, t + k + 1, n - 2)) return true;
      bits &= bits - 1;
    }
    return false;
  };
  if (starts >= 16) {
    for (; i + 16 <= starts; i += 16)
      if (block(i)) return true;
    // The last positions as one block that overlaps the one before: no byte-wise tail.
    return i < starts && block(starts - 16);
  }
#endif
  for (; i < starts; ++i)
    if ((t[i] | firstMask) == first && (t[i + n - 1] | lastMask) == last &&
        (n <= 2 || SameFolded(p + 1, t + i + 1, n - 2)))
      return true;
  return false;
}

void JoinLines(const std::vector<std::string>& lines, std::string& text) {
  size_t total = 0;
  for (const auto& line : lines)
    total += line.size() + 2;
  text.clear();
  text.reserve(total);
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
}

} // namespace

bool FilterContains(std::string_view searched, std::string_view text) {
  return Contains(searched, text);
}

TFilterMatcher::TFilterMatcher(std::string_view searched)
    : FSearched(searched), FHasLineEnd(searched.find_first_of("\r\n") != std::string_view::npos) {}

bool TFilterMatcher::In(std::string_view text) const {
  return Contains(FSearched, text);
}

bool TFilterMatcher::InLines(const std::vector<std::string>& lines, std::string& joined) const {
  if (FSearched.empty()) return false;
  // Without CR or LF in the searched text no match can cross a line end, so each line is
  // searched where it lies.
  if (!FHasLineEnd) {
    for (const auto& line : lines)
      if (Contains(FSearched, line)) return true;
    return false;
  }
  JoinLines(lines, joined);
  return Contains(FSearched, joined);
}

bool AddToHistory(std::vector<std::string>& history, std::string_view value) {
  for (const auto& item : history)
    if (SameTextAscii(item, value)) return false;
  history.emplace_back(value);
  return true;
}

bool TMailboxFilter::ColumnsMatch(const TMessageEntry& entry, TFilterField field,
                                  const TFilterMatcher& matcher) const {
  switch (field) {
  case ffFromSubjectToBody:
  case ffFromSubjectTo:
    return matcher.In(FMailbox.FromText(entry)) || matcher.In(entry.Header.Subject) ||
           matcher.In(entry.Header.To);
  case ffFrom:
    return matcher.In(FMailbox.FromText(entry));
  case ffSubject:
    return matcher.In(entry.Header.Subject);
  case ffTo:
    return matcher.In(entry.Header.To);
  default:
    return false;
  }
}

bool TMailboxFilter::RowMatches(const TMessageEntry& entry, TFilterField field,
                                std::string_view value) {
  return Matches(entry, field, TFilterMatcher(value));
}

bool TMailboxFilter::Matches(const TMessageEntry& entry, TFilterField field,
                             const TFilterMatcher& matcher) {
  const bool matched = ColumnsMatch(entry, field, matcher);
  if (field != ffFromSubjectToBody && field != ffBody && field != ffSource) return matched;
  // The message is read (and for a body parsed) even after a header hit, so that every row
  // that cannot be read is counted whatever its columns hold.
  BeginRow(entry);
  if (field == ffSource) return SourceHas(matcher);
  ParseRow();
  return matched || BodyHas(matcher);
}

void TMailboxFilter::BeginRow(const TMessageEntry& entry) {
  FRow = &entry;
  FTextRead = FParsed = false;
}

void TMailboxFilter::ReadText() {
  if (FTextRead) return;
  FMailbox.ReadEntryText(*FRow, FText);
  FTextRead = true;
}

void TMailboxFilter::ParseRow() {
  if (FParsed) return;
  ReadText();
  FMessage.ResetMessage();
  FMessage.AdoptText(FText);
  FMessage.FindBodies();
  FParsed = true;
  FTextRead = false; // the text is the message's now; FText is scratch
}

bool TMailboxFilter::SourceHas(const TFilterMatcher& matcher) {
  if (FParsed) return matcher.In(FMessage.SourceText());
  if (FTextRead || matcher.CrossesLines()) {
    ReadText();
    return matcher.In(FText);
  }
  // No match can span a line end, so the store's bytes are searched as they lie, in large
  // pieces; the last bytes of a piece that could begin a match are searched with the next.
  const size_t keep = matcher.Searched().empty() ? 0 : matcher.Searched().size() - 1;
  bool found = false;
  FCarry.clear();
  if (FMailbox.Store()->VisitPieces(*FRow, [&](std::string_view piece) {
        if (!FCarry.empty()) {
          FCarry += piece.substr(0, keep);
          if (matcher.In(FCarry)) return !(found = true);
        }
        if (matcher.In(piece)) return !(found = true);
        if (piece.size() >= keep)
          FCarry.assign(piece.substr(piece.size() - keep));
        else if (FCarry.empty())
          FCarry.assign(piece);
        if (FCarry.size() > keep) FCarry.erase(0, FCarry.size() - keep);
        return true;
      }))
    return found;
  // Where the bytes differ from the lines, each line is searched until one matches.
  FMailbox.VisitEntryLines(*FRow, [&](std::string_view line) {
    found = matcher.In(line);
    return !found;
  });
  return found;
}

bool TMailboxFilter::BodyHas(const TFilterMatcher& matcher) {
  ParseRow();
  // Without CR or LF in the searched text no match can span a line end: the body's text is
  // searched as it lies, never split into lines.
  if (!matcher.CrossesLines()) return matcher.In(FMessage.TextBodyText());
  return matcher.InLines(FMessage.TextLines(), FText);
}

bool TMailboxFilter::HeaderHas(const TFilterMatcher& matcher) {
  ParseRow();
  for (const std::string& line : FMessage.HeaderLines())
    if (matcher.In(line) ||
        (line.find("=?") != std::string::npos && matcher.In(DecodeHeaderWords(line))))
      return true;
  return false;
}

bool TMailboxFilter::AttachmentHas(const TFilterMatcher& matcher) {
  ParseRow();
  for (const TMailPart* part : FMessage.Attachments())
    if (matcher.In(part->AttachmentFileName())) return true;
  return false;
}

size_t TMailboxFilter::RunPass(const std::vector<uint32_t>& order, bool readsMessages,
                               std::vector<uint8_t>& hidden, const TFilterProgress& progress,
                               const std::function<bool(const TMessageEntry&)>& matches) {
  const std::vector<TMessageEntry>& entries = FMailbox.Entries();
  if (hidden.size() < entries.size()) hidden.resize(entries.size(), 0);
  // A store read front to back (a compressed file) is read in its own order.
  std::vector<uint32_t> byIndex;
  const std::vector<uint32_t>* rows = &order;
  if (readsMessages && FMailbox.Store() && FMailbox.Store()->ReadsForward()) {
    byIndex = order;
    std::stable_sort(byIndex.begin(), byIndex.end(), [&](uint32_t a, uint32_t b) {
      return entries.at(a).Index < entries.at(b).Index;
    });
    rows = &byIndex;
  }
  TReadPass pass(FMailbox);
  size_t count = 0;
  FUnreadable = 0;
  for (size_t i = 0; i < rows->size(); ++i) {
    const uint32_t row = (*rows)[i];
    const bool match = matches(entries[row]);
    hidden[row] = match ? 0 : 1;
    if (match) ++count;
    if (progress) progress(i + 1, rows->size());
  }
  FRow = nullptr;
  if (FUnreadable > 0)
    FMailbox.AddNote({nkUnreadableRows, {}, {}, static_cast<int64_t>(FUnreadable)});
  return count;
}

size_t TMailboxFilter::ApplyFilter(const std::vector<uint32_t>& order, TFilterField field,
                                   std::string_view value, std::vector<uint8_t>& hidden,
                                   const TFilterProgress& progress) {
  const TFilterMatcher matcher(value);
  const bool reads = field == ffFromSubjectToBody || field == ffBody || field == ffSource;
  return RunPass(order, reads, hidden, progress, [&](const TMessageEntry& entry) {
    try {
      return Matches(entry, field, matcher);
    } catch (const EPelloraError&) {
      // A damaged store may list many rows without text: one of them ends no search.
      ++FUnreadable;
      return ColumnsMatch(entry, field, matcher);
    }
  });
}

uint32_t TMailboxFilter::Prepare(const TQueryNode& node, TPreparedQuery& prepared) {
  const auto at = static_cast<uint32_t>(prepared.Nodes.size());
  prepared.Nodes.push_back(
      {&node, node.Op, node.Term, TFilterMatcher(node.Text), QueryNeedsMessages(node)});
  std::vector<uint32_t> children;
  for (const TQueryNode& child : node.Children)
    children.push_back(Prepare(child, prepared));
  std::stable_partition(children.begin(), children.end(),
                        [&](uint32_t child) { return !prepared.Nodes[child].ReadsMessage; });
  prepared.Nodes[at].First = static_cast<uint32_t>(prepared.Children.size());
  prepared.Nodes[at].Count = static_cast<uint32_t>(children.size());
  prepared.Children.insert(prepared.Children.end(), children.begin(), children.end());
  return at;
}

TMailboxFilter::TTruth TMailboxFilter::TermTruth(const TPreparedNode& term,
                                                 const TMessageEntry& entry, bool read) {
  auto truth = [](bool value) { return value ? tTrue : tFalse; };
  const TFilterMatcher& matcher = term.Matcher;
  const TEMLHeader& header = entry.Header;
  switch (term.Term) {
  case qtWords:
    return truth(ColumnsMatch(entry, ffFromSubjectTo, matcher));
  case qtFrom:
    return truth(matcher.In(FMailbox.FromText(entry)));
  case qtTo:
    return truth(matcher.In(header.To) || matcher.In(header.Cc));
  case qtCc:
    return truth(matcher.In(header.Cc));
  case qtSubject:
    return truth(matcher.In(header.Subject));
  case qtHasAttachment:
    return truth(FMailbox.HasAttachment(entry));
  case qtUnread:
    return truth(EntryHasFlags(entry) && !(EntryFlags(entry) & mfRead));
  case qtFlagged:
    return truth(EntryFlags(entry) & mfFlagged);
  case qtBefore:
    return truth(header.Date != 0 && header.Date < term.Node->Date);
  case qtAfter:
    return truth(header.Date != 0 && header.Date >= term.Node->Date);
  case qtLarger:
    return truth(header.Size > term.Node->Size);
  case qtSmaller:
    return truth(header.Size < term.Node->Size);
  case qtBody:
    return read ? truth(BodyHas(matcher)) : tOpen;
  case qtSource:
    return read ? truth(SourceHas(matcher)) : tOpen;
  case qtHeader:
    return read ? truth(HeaderHas(matcher)) : tOpen;
  case qtAttachment:
    return read ? truth(AttachmentHas(matcher)) : tOpen;
  }
  return tFalse;
}

TMailboxFilter::TTruth TMailboxFilter::Evaluate(const TPreparedQuery& query, uint32_t index,
                                                const TMessageEntry& entry, bool read) {
  const TPreparedNode& node = query.Nodes[index];
  switch (node.Op) {
  case qoTerm:
    return TermTruth(node, entry, read);
  case qoNot: {
    const TTruth truth = Evaluate(query, query.Children[node.First], entry, read);
    return truth == tOpen ? tOpen : truth == tTrue ? tFalse : tTrue;
  }
  case qoAnd:
  case qoOr: {
    // Either operand decides when it is false (AND) or true (OR); the column terms come first
    // so that fewer messages are read.
    const TTruth decides = node.Op == qoAnd ? tFalse : tTrue;
    TTruth result = node.Op == qoAnd ? tTrue : tFalse;
    for (uint32_t i = node.First; i < node.First + node.Count; ++i) {
      const TTruth truth = Evaluate(query, query.Children[i], entry, read);
      if (truth == decides) return decides;
      if (truth == tOpen) result = tOpen;
    }
    return result;
  }
  }
  return tFalse;
}

bool TMailboxFilter::RowMatchesPrepared(const TMessageEntry& entry, const TPreparedQuery& query) {
  TTruth truth = Evaluate(query, 0, entry, false);
  if (truth == tOpen) {
    BeginRow(entry);
    try {
      truth = Evaluate(query, 0, entry, true);
    } catch (const EPelloraError&) {
      // What the columns leave open stays open: the row does not match.
      ++FUnreadable;
      truth = tOpen;
    }
  }
  return truth == tTrue;
}

bool TMailboxFilter::RowMatchesQuery(const TMessageEntry& entry, const TQueryNode& query) {
  TPreparedQuery prepared;
  Prepare(query, prepared);
  return RowMatchesPrepared(entry, prepared);
}

size_t TMailboxFilter::ApplyQuery(const std::vector<uint32_t>& order, const TQueryNode& query,
                                  std::vector<uint8_t>& hidden, const TFilterProgress& progress) {
  TPreparedQuery prepared;
  Prepare(query, prepared);
  return RunPass(order, prepared.Nodes[0].ReadsMessage, hidden, progress,
                 [&](const TMessageEntry& entry) { return RowMatchesPrepared(entry, prepared); });
}

} // namespace pellora
