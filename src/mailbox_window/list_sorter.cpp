#include "mailbox_window/list_sorter.h"

#include "platform/qt_locale.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace pellora {

const std::vector<uint32_t>& TListSorter::RanksOf(int column) {
  std::vector<uint32_t>& ranks = FRanks[column - lcFrom];
  if (ranks.size() == FEntries.size()) return ranks;
  // Lists repeat their senders and subjects: only distinct texts are collated.
  std::unordered_map<std::string_view, uint32_t> ids;
  std::vector<std::string_view> texts;
  ids.reserve(FEntries.size());
  ranks.resize(FEntries.size());
  for (size_t row = 0; row < FEntries.size(); ++row) {
    const TMessageEntry& e = FEntries[row];
    const std::string& text =
        column == lcFrom ? EntryFromText(e) : column == lcSubject ? e.Header.Subject : e.Header.To;
    auto [it, added] = ids.try_emplace(text, static_cast<uint32_t>(texts.size()));
    if (added) texts.push_back(text);
    ranks[row] = it->second;
  }
  QCollator collator{QLocale()};
  collator.setCaseSensitivity(Qt::CaseSensitive);
  std::vector<QCollatorSortKey> keys;
  keys.reserve(texts.size());
  for (std::string_view text : texts)
    keys.push_back(collator.sortKey(AnsiToQString(text)));
  std::vector<uint32_t> byKey(texts.size());
  std::iota(byKey.begin(), byKey.end(), 0u);
  std::sort(byKey.begin(), byKey.end(),
            [&](uint32_t a, uint32_t b) { return keys[a].compare(keys[b]) < 0; });
  // Texts that collate equal share a rank.
  std::vector<uint32_t> rankOfText(texts.size());
  uint32_t rank = 0;
  for (size_t i = 0; i < byKey.size(); ++i) {
    if (i > 0 && keys[byKey[i - 1]].compare(keys[byKey[i]]) != 0) ++rank;
    rankOfText[byKey[i]] = rank;
  }
  for (uint32_t& r : ranks)
    r = rankOfText[r];
  return ranks;
}

void TListSorter::Sort(std::vector<uint32_t>& order, int column, bool descending) {
  if (column == lcFrom || column == lcSubject || column == lcTo) {
    const auto& ranks = RanksOf(column);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      return descending ? ranks[a] > ranks[b] : ranks[a] < ranks[b];
    });
    return;
  }
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    int c = CompareEntries(FEntries[a], FEntries[b], column, FReader);
    return descending ? c > 0 : c < 0;
  });
}

} // namespace pellora
