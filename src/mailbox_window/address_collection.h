#pragma once
// Collecting the e-mail addresses of a mailbox window's rows.
#include "stores/message_entry.h"
#include "stores/store.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// One distinct sender or recipient: an address with the display name written beside it. Those
// that differ only in the case of their letters are one; its spelling is the one met most often
// (of equally frequent ones, the first met).
struct TCollectedAddress {
  std::string Address;
  std::string Name;
  size_t Count = 0; // how often it occurs in the senders and recipients
};

// The grouping key of an address and its name: "ADDRESS = NAME", ASCII letters upper-cased.
std::string AddressKey(std::string_view address, std::string_view name);

// The distinct senders (the author as the rows' store keeps it) and recipients (To, Cc) of the
// rows in list order (indexes into entries), read with the message model's address parser; only
// texts that are addresses (an "@" between other characters, no blanks, brackets or colons) are
// kept. Sorted by their keys with the user's locale without regard to case; of keys that the
// locale holds equal, the one met first stands for all.
std::vector<TCollectedAddress> CollectAddresses(const std::vector<TMessageEntry>& entries,
                                                const std::vector<uint32_t>& order,
                                                const TStore& store);

// "address = Name", or the address alone when it has no name: a line of the information area.
std::string AddressLine(const TCollectedAddress& address);
// The collection as a file: tab-separated lines or comma-separated values (RFC 4180), each
// address, display name and count; in UTF-8, lines ending in CR LF.
std::string AddressesAsText(const std::vector<TCollectedAddress>& addresses);
std::string AddressesAsCsv(const std::vector<TCollectedAddress>& addresses);

// "  E-Mail Addresses (N)": the title of the information area after a collection.
std::string AddressCollectionTitle(size_t count);

} // namespace pellora
