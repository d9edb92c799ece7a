#pragma once
// Collecting the e-mail addresses of a mailbox window's rows.
#include "stores/message_entry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// The key of one sender or recipient item: "ADDRESS = NAME", upper-cased (ASCII letters only).
std::string AddressKey(std::string_view item);

// The distinct keys of the senders and recipients of the rows in list order (indexes into
// entries), sorted with the user's locale without regard to case; of keys that the locale holds
// equal, the one met first is kept.
std::vector<std::string> CollectAddresses(const std::vector<TMessageEntry>& entries,
                                          const std::vector<uint32_t>& order);

// "  E-Mail Addresses (N)": the title of the information area after a collection.
std::string AddressCollectionTitle(size_t count);

} // namespace pellora
