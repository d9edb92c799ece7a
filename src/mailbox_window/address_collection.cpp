#include "mailbox_window/address_collection.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "mime/address_list.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/collation.h"
#include "platform/csv_field.h"

#include <algorithm>
#include <unordered_map>

namespace pellora {
namespace {

// An addr-spec as the list needs it: text before and after one "@", nothing that would show
// the parser met something else (blanks, brackets, separators, quotes, a "mailto:").
bool IsAddress(std::string_view text) {
  const size_t at = text.find('@');
  if (at == 0 || at == std::string_view::npos || at + 1 == text.size()) return false;
  for (unsigned char c : text)
    if (c <= ' ' || std::string_view("<>,;:\"()[]\\").find(static_cast<char>(c)) != std::string_view::npos)
      return false;
  return text.find('@', at + 1) == std::string_view::npos;
}

class TCollector {
public:
  void AddEntry(const TMessageEntry& entry, const TStore& store) {
    // The author's field; where it holds no address, the address its store keeps beside it
    // (a database's record) with the field as its name.
    const TAuthor author = store.Author(entry);
    if (!AddField(author.Field)) Add(author.Address, author.Field);
    AddField(entry.Header.To);
    AddField(entry.Header.Cc);
  }

  std::vector<TCollectedAddress> Finish() {
    std::vector<TCollectedAddress> result;
    result.reserve(FGroups.size());
    for (TGroup& group : FGroups) {
      // The spelling met most often; of equal ones the first, as they stand in order found.
      const auto best = std::max_element(group.spellings.begin(), group.spellings.end(),
                                         [](const TSpelling& a, const TSpelling& b) {
                                           return a.count < b.count;
                                         });
      size_t count = 0;
      for (const TSpelling& spelling : group.spellings) count += spelling.count;
      result.push_back({std::move(best->address), std::move(best->name), count});
      FKeys.push_back(std::move(group.key));
    }
    std::vector<size_t> order(result.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
      return LocaleCompare(FKeys[a], FKeys[b], true) < 0;
    });
    // Keys that differ in their bytes but that the locale holds equal are now neighbours in the
    // order they were found; the first of them stands for all.
    std::vector<TCollectedAddress> sorted;
    sorted.reserve(order.size());
    const std::string* last = nullptr;
    for (size_t i : order) {
      if (last && LocaleCompare(*last, FKeys[i], true) == 0) {
        sorted.back().Count += result[i].Count;
        continue;
      }
      sorted.push_back(std::move(result[i]));
      last = &FKeys[i];
    }
    return sorted;
  }

private:
  struct TSpelling {
    std::string address, name;
    size_t count = 0;
  };
  struct TGroup {
    std::string key;
    std::vector<TSpelling> spellings;
  };

  // Whether the value held an address.
  bool AddField(std::string_view value) {
    bool any = false;
    for (const TMailAddress& mailbox : ParseAddressList(value)) any |= Add(mailbox.Address, mailbox.Name);
    return any;
  }

  bool Add(std::string_view address, std::string_view name) {
    address = TrimControls(address);
    name = TrimControls(name);
    // A database writes a recipient as its name, a blank and its address.
    if (const size_t blank = address.rfind(' '); blank != std::string_view::npos && name.empty() &&
                                                 IsAddress(address.substr(blank + 1))) {
      name = TrimControls(address.substr(0, blank));
      address = address.substr(blank + 1);
    }
    if (!IsAddress(address)) return false;
    std::string key = AddressKey(address, name);
    auto [it, added] = FIndex.try_emplace(key, FGroups.size());
    if (added) FGroups.push_back({std::move(key), {}});
    std::vector<TSpelling>& spellings = FGroups[it->second].spellings;
    auto same = std::find_if(spellings.begin(), spellings.end(), [&](const TSpelling& s) {
      return s.address == address && s.name == name;
    });
    if (same == spellings.end())
      same = spellings.insert(spellings.end(), {std::string(address), std::string(name), 0});
    ++same->count;
    return true;
  }

  std::vector<TGroup> FGroups; // in order found
  std::unordered_map<std::string, size_t> FIndex;
  std::vector<std::string> FKeys;
};

std::string AddressFile(const std::vector<TCollectedAddress>& addresses, bool csv) {
  std::string out;
  for (const TCollectedAddress& a : addresses) {
    const std::string name = AnsiToUtf8(a.Name), address = AnsiToUtf8(a.Address);
    const std::string count = std::to_string(a.Count);
    if (csv)
      out += CsvField(address) + ',' + CsvField(name) + ',' + count;
    else
      out += address + '\t' + name + '\t' + count;
    out += "\r\n";
  }
  return out;
}

} // namespace

std::string AddressKey(std::string_view address, std::string_view name) {
  std::string key;
  key.reserve(address.size() + name.size() + 3);
  for (char c : address) key += AsciiUpper(c);
  key += " = ";
  for (char c : name) key += AsciiUpper(c);
  return key;
}

std::vector<TCollectedAddress> CollectAddresses(const std::vector<TMessageEntry>& entries,
                                                const std::vector<uint32_t>& order,
                                                const TStore& store) {
  TCollector collector;
  for (uint32_t row : order)
    collector.AddEntry(entries.at(row), store);
  return collector.Finish();
}

std::string AddressLine(const TCollectedAddress& address) {
  return address.Name.empty() ? address.Address : address.Address + " = " + address.Name;
}

std::string AddressesAsText(const std::vector<TCollectedAddress>& addresses) {
  return AddressFile(addresses, false);
}

std::string AddressesAsCsv(const std::vector<TCollectedAddress>& addresses) {
  return AddressFile(addresses, true);
}

std::string AddressCollectionTitle(size_t count) {
  return FormatText("  %s (%d)", {GetLocalizedText("lc_EA"), static_cast<long long>(count)});
}

} // namespace pellora
