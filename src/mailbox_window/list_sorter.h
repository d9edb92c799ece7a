#pragma once
// Sorting the rows of a message list (Qt Core: the user's collation).
#include "stores/message_entry.h"

#include <QCollatorSortKey>

#include <cstdint>
#include <vector>

namespace pellora {

class TOEReader;

// Stable in both directions: rows that compare equal keep their order, and no result is ever
// reversed. Text columns compare by the user's locale (case-sensitive) through sort keys made
// once per column and kept, since a store's texts never change while its list lives.
class TListSorter {
public:
  TListSorter(const std::vector<TMessageEntry>& entries, TOEReader* reader)
      : FEntries(entries), FReader(reader) {}
  void Sort(std::vector<uint32_t>& order, int column, bool descending);

private:
  const std::vector<QCollatorSortKey>& KeysOf(int column);
  const std::vector<TMessageEntry>& FEntries;
  TOEReader* FReader;
  std::vector<QCollatorSortKey> FKeys[3]; // From, Subject, To
};

} // namespace pellora
