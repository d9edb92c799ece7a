#pragma once
// The message list as a CSV file (RFC 4180, UTF-8): a header line, then one line per row with
// the number, From, Subject, To, the date (ISO 8601, local time), the size in bytes, the flags
// and whether the message has attachments.
#include "stores/mailbox.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// The flags column of a row: "read" or "unread", then "flagged", "replied", "forwarded" when
// set (rows of stores that keep flags only), then "priority-high" or "priority-low"; blanks
// between them.
std::string ListCsvFlags(const TMailbox& box, const TMessageEntry& entry);

// The rows (positions in box.Entries()) in the order given, each line ending in CR LF.
void WriteListCsv(const TMailbox& box, const std::vector<uint32_t>& rows,
                  const std::function<void(std::string_view bytes)>& sink);
// The same as the file path, written safely: the file appears whole or not at all (a file of
// that name is replaced). Raises EPelloraError.
void SaveListCsv(const TMailbox& box, const std::vector<uint32_t>& rows, const std::string& path);

} // namespace pellora
