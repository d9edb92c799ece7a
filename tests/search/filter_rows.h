#pragma once
// The filter tests' view of a pass: the rows of a store in Index order, and those a pass shows.
#include "stores/mailbox.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

namespace pellora::test {

inline std::vector<uint32_t> ByIndex(const TMailbox& box) {
  std::vector<uint32_t> order(box.Entries().size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return box.Entries()[a].Index < box.Entries()[b].Index;
  });
  return order;
}

// The Index of every row of order that hidden leaves shown.
inline std::vector<int32_t> ShownIndexes(const TMailbox& box, const std::vector<uint32_t>& order,
                                         const std::vector<uint8_t>& hidden) {
  std::vector<int32_t> shown;
  for (uint32_t row : order)
    if (!hidden[row]) shown.push_back(box.Entries()[row].Index);
  return shown;
}

} // namespace pellora::test
