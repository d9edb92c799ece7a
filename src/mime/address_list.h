#pragma once
// Address lists of header fields (From, To, Cc, Reply-To, ...): the mailboxes and groups of
// RFC 5322, read leniently. The one splitter of the message model and the list's quick scanner.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// One mailbox of an address list.
struct TMailAddress {
  std::string Name;    // the display name, encoded words decoded; empty when none
  std::string Address; // the addr-spec as written
  bool operator==(const TMailAddress&) const = default;
};

// The mailboxes of an address-list value, in order. A comma separates them, and so does a ";"
// that closes no group; neither counts inside a quoted string, a comment or angle brackets. A
// group ("Team: a@x, b@y;") gives its members (none for "undisclosed-recipients:;"). The display
// name is a mailbox's phrase, or its quoted string or comment when it has no angle brackets; its
// encoded words are decoded once the list is split, and nowhere else (RFC 2047 section 5).
// Items with neither name nor address give nothing.
std::vector<TMailAddress> ParseAddressList(std::string_view value);

// The value with decode applied to every stretch of it that is not an addr-spec; the addr-specs
// that hold an encoded word ("=?...?=@host") stay as written. decode is given whole stretches and
// its result's outer blanks are those of the stretch.
std::string DecodeAddressListWords(std::string_view value,
                                   const std::function<std::string(std::string_view)>& decode);

} // namespace pellora
