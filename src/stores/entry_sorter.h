#pragma once
#include "stores/message_entry.h"
#include "stores/store.h"

#include <cstdint>
#include <vector>

namespace pellora {

// Orders a list's rows by a column. Stable in both directions: rows that compare equal keep
// their order, and no result is ever reversed. Text columns follow the user's locale
// (case-sensitive). A store's texts never change while its list lives, so each text column's
// collation is worked out once, on its first sort, as every row's rank among the column's
// distinct texts.
class TEntrySorter {
public:
  // The entries and their store (null: no store, no attachments) must outlive the sorter.
  TEntrySorter(const std::vector<TMessageEntry>& entries, const TStore* store)
      : FEntries(entries), FStore(store) {}
  // Sorts order (positions in the entries) stably from its current arrangement.
  void Sort(std::vector<uint32_t>& order, int column, bool descending);

private:
  const std::vector<uint32_t>& RanksOf(int column);
  const std::vector<TMessageEntry>& FEntries;
  const TStore* FStore;
  std::vector<uint32_t> FRanks[3]; // From, Subject, To
};

} // namespace pellora
