#include "stores/entry_sorter.h"

#include "platform/collation.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace pellora {

const std::vector<uint32_t>& TEntrySorter::RanksOf(int column) {
  std::vector<uint32_t>& ranks = FRanks[column - lcFrom];
  if (ranks.size() == FEntries.size()) return ranks;
  // Lists repeat their senders and subjects: only distinct texts are collated.
  std::unordered_map<std::string_view, uint32_t> ids;
  std::vector<std::string_view> texts;
  ids.reserve(FEntries.size());
  ranks.resize(FEntries.size());
  for (size_t row = 0; row < FEntries.size(); ++row) {
    const TMessageEntry& e = FEntries[row];
    const std::string_view text = column == lcFrom      ? (FStore ? FStore->Author(e).Text() : std::string_view())
                                  : column == lcSubject ? e.Header.Subject.view()
                                                        : e.Header.To.view();
    auto [it, added] = ids.try_emplace(text, static_cast<uint32_t>(texts.size()));
    if (added) texts.push_back(text);
    ranks[row] = it->second;
  }
  std::vector<uint32_t> rankOfText;
  LocaleRanks(texts, rankOfText);
  for (uint32_t& r : ranks)
    r = rankOfText[r];
  return ranks;
}

void TEntrySorter::Sort(std::vector<uint32_t>& order, int column, bool descending) {
  auto sortBy = [&](auto key) {
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      return descending ? key(b) < key(a) : key(a) < key(b);
    });
  };
  auto entry = [&](uint32_t row) -> const TMessageEntry& { return FEntries[row]; };
  switch (column) {
  case lcFrom:
  case lcSubject:
  case lcTo: {
    const std::vector<uint32_t>& ranks = RanksOf(column);
    sortBy([&](uint32_t row) { return ranks[row]; });
    break;
  }
  case lcIndex:
    sortBy([&](uint32_t row) { return entry(row).Index; });
    break;
  case lcPriority:
    sortBy([&](uint32_t row) { return entry(row).Header.Priority; });
    break;
  case lcAttachment:
    sortBy([&](uint32_t row) { return FStore && FStore->HasAttachment(entry(row)); });
    break;
  case lcFlag:
    // Rows without flags (message files, mailbox files) all weigh nothing.
    sortBy([&](uint32_t row) { return EntryFlags(entry(row)) & mfFlagged; });
    break;
  case lcReceived:
    sortBy([&](uint32_t row) { return entry(row).Header.Date; });
    break;
  case lcSize:
    sortBy([&](uint32_t row) { return entry(row).Header.Size; });
    break;
  default:
    break;
  }
}

} // namespace pellora
