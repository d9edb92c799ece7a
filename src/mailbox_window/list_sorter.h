#pragma once
// Sorting the rows of a message list (Qt Core: the user's collation).
#include "stores/message_entry.h"

#include <cstdint>
#include <vector>

namespace pellora {

class TOEReader;

// Stable in both directions: rows that compare equal keep their order, and no result is ever
// reversed. Text columns compare by the user's locale (case-sensitive). A store's texts never
// change while its list lives, so each text column's collation is worked out once, on its first
// sort, as every row's rank among the column's distinct texts.
class TListSorter {
public:
  TListSorter(const std::vector<TMessageEntry>& entries, TOEReader* reader)
      : FEntries(entries), FReader(reader) {}
  void Sort(std::vector<uint32_t>& order, int column, bool descending);

private:
  const std::vector<uint32_t>& RanksOf(int column);
  const std::vector<TMessageEntry>& FEntries;
  TOEReader* FReader;
  std::vector<uint32_t> FRanks[3]; // From, Subject, To
};

} // namespace pellora
