#include "mailbox_window/address_collection.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "platform/ascii.h"
#include "platform/collation.h"

#include <algorithm>
#include <deque>
#include <unordered_set>

namespace pellora {
namespace {

void AppendUpper(std::string& out, std::string_view text) {
  for (char c : text)
    out += AsciiUpper(c);
}

void MakeKey(std::string_view item, std::string& key) {
  key.clear();
  const size_t open = item.find('<');
  if (open == std::string_view::npos) {
    AppendUpper(key, item); // untrimmed, as written
    key += " = ";
    return;
  }
  // The first ">" of the whole item, even when it stands before the "<".
  const size_t close = item.find('>');
  std::string_view address;
  if (close != std::string_view::npos && close > open)
    address = TrimControls(item.substr(open + 1, close - open - 1));
  AppendUpper(key, address);
  key += " = ";
  AppendUpper(key, TrimControls(item.substr(0, open)));
}

class TCollector {
public:
  void AddEntry(const TMessageEntry& entry) {
    // A database row keeps the From name and, as its sender text, the From address; a message's
    // own Sender field is not its author.
    const bool database = entry.Kind == ekDatabase;
    const std::string_view from = database ? entry.Header.From : EntryFromText(entry);
    FItem.assign(database ? entry.Header.Sender.view() : std::string_view());
    if (from.find('<') == std::string::npos) {
      FItem += '<';
      FItem += from;
      FItem += '>';
    } else {
      FItem += from;
    }
    AddItem(FItem);
    AddParts(entry.Header.To);
    AddParts(entry.Header.Cc);
  }

  std::vector<std::string> Finish() {
    std::vector<std::string> keys(std::make_move_iterator(FKeys.begin()),
                                  std::make_move_iterator(FKeys.end()));
    FSeen.clear();
    FKeys.clear();
    std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
      return LocaleCompare(a, b, true) < 0;
    });
    // Keys that differ in their bytes but that the locale holds equal are now neighbours in the
    // order they were found; the first of them stands for all.
    std::vector<std::string> result;
    result.reserve(keys.size());
    for (auto& key : keys)
      if (result.empty() || LocaleCompare(result.back(), key, true) != 0)
        result.push_back(std::move(key));
    return result;
  }

private:
  void AddItem(std::string_view item) {
    MakeKey(item, FKey);
    // A key with "@" is never the bare "=" of an item without address and name.
    if (FKey.find('@') == std::string::npos) return;
    if (FSeen.find(FKey) != FSeen.end()) return;
    FSeen.insert(FKeys.emplace_back(FKey)); // a deque keeps its strings in place
  }

  // Only ";" separates; blanks around it belong to the parts.
  void AddParts(std::string_view list) {
    size_t start = 0;
    while (start < list.size()) {
      size_t semi = list.find(';', start);
      if (semi == std::string_view::npos) semi = list.size();
      if (semi > start) AddItem(list.substr(start, semi - start));
      start = semi + 1;
    }
  }

  std::deque<std::string> FKeys;
  std::unordered_set<std::string_view> FSeen;
  std::string FKey, FItem;
};

} // namespace

std::string AddressKey(std::string_view item) {
  std::string key;
  MakeKey(item, key);
  return key;
}

std::vector<std::string> CollectAddresses(const std::vector<TMessageEntry>& entries,
                                          const std::vector<uint32_t>& order) {
  TCollector collector;
  for (uint32_t row : order)
    collector.AddEntry(entries.at(row));
  return collector.Finish();
}

std::string AddressCollectionTitle(size_t count) {
  return FormatText("  %s (%d)", {GetLocalizedText("lc_EA"), static_cast<long long>(count)});
}

} // namespace pellora
