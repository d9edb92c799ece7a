#include "stores/message_entry.h"

#include "platform/collation.h"
#include "stores/oe_reader.h"

#include <algorithm>

namespace pellora {
namespace {

template <typename T> int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

uint32_t EntryFlags(const TMessageEntry& entry, TOEReader* reader) {
  if (!reader) return 0;
  TMessageInfo info;
  reader->GetMessageInfo(entry.Index, info);
  return info.Flags;
}

int Clamp(int value) {
  return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

} // namespace

const std::string& EntryFromText(const TMessageEntry& entry) {
  return entry.Header.Sender.empty() ? entry.Header.From : entry.Header.Sender;
}

int CompareEntries(const TMessageEntry& a, const TMessageEntry& b, int column, TOEReader* reader) {
  switch (column) {
  case lcIndex:
    return Sign<int64_t>(a.Index, b.Index);
  case lcPriority:
    return Sign<int64_t>(a.Header.Priority, b.Header.Priority);
  case lcAttachment:
  case lcFlag: {
    // Only database rows have flags: the others all compare equal.
    if (a.Kind != ekDatabase || b.Kind != ekDatabase) return 0;
    uint32_t mask = column == lcAttachment ? mfAttachment : mfFlagged;
    return Sign<int64_t>(EntryFlags(a, reader) & mask, EntryFlags(b, reader) & mask);
  }
  case lcFrom:
    return Clamp(LocaleCompare(EntryFromText(a), EntryFromText(b), false));
  case lcSubject:
    return Clamp(LocaleCompare(a.Header.Subject, b.Header.Subject, false));
  case lcTo:
    return Clamp(LocaleCompare(a.Header.To, b.Header.To, false));
  case lcReceived:
    return Sign(a.Header.Date, b.Header.Date);
  case lcSize:
    return Sign(a.Header.Size, b.Header.Size);
  default:
    return 0;
  }
}

void SortEntries(std::vector<TMessageEntry>& entries, int column, bool descending,
                 TOEReader* reader) {
  std::stable_sort(entries.begin(), entries.end(),
                   [&](const TMessageEntry& a, const TMessageEntry& b) {
                     int c = CompareEntries(a, b, column, reader);
                     return descending ? c > 0 : c < 0;
                   });
}

} // namespace pellora
