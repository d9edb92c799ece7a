#include "mailbox_window/list_sorter.h"

#include "platform/qt_locale.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace pellora {

const std::vector<QCollatorSortKey>& TListSorter::KeysOf(int column) {
  std::vector<QCollatorSortKey>& keys = FKeys[column - lcFrom];
  if (keys.size() == FEntries.size()) return keys;
  QCollator collator{QLocale()};
  collator.setCaseSensitivity(Qt::CaseSensitive);
  keys.clear();
  keys.reserve(FEntries.size());
  for (const TMessageEntry& e : FEntries) {
    const std::string& text =
        column == lcFrom ? EntryFromText(e) : column == lcSubject ? e.Header.Subject : e.Header.To;
    keys.push_back(collator.sortKey(AnsiToQString(text)));
  }
  return keys;
}

void TListSorter::Sort(std::vector<uint32_t>& order, int column, bool descending) {
  if (column == lcFrom || column == lcSubject || column == lcTo) {
    const auto& keys = KeysOf(column);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      int c = keys[a].compare(keys[b]);
      return descending ? c > 0 : c < 0;
    });
    return;
  }
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    int c = CompareEntries(FEntries[a], FEntries[b], column, FReader);
    return descending ? c > 0 : c < 0;
  });
}

} // namespace pellora
