#include "stores/message_entry.h"

#include "stores/oe_reader.h"

namespace pellora {

const TSharedText& EntryFromText(const TMessageEntry& entry) {
  return entry.Header.Sender.empty() ? entry.Header.From : entry.Header.Sender;
}

bool EntryHasFlags(const TMessageEntry& entry) {
  return entry.Kind == ekDatabase || entry.Flags.has_value();
}

uint32_t EntryFlags(const TMessageEntry& entry, const TOEReader* reader) {
  if (entry.Kind == ekDatabase) return reader ? reader->MessageFlags(entry.Index) : 0;
  return entry.Flags.value_or(0);
}

} // namespace pellora
