#include "stores/message_entry.h"

#include "stores/oe_reader.h"

namespace pellora {

const std::string& EntryFromText(const TMessageEntry& entry) {
  return entry.Header.Sender.empty() ? entry.Header.From : entry.Header.Sender;
}

uint32_t EntryFlags(const TMessageEntry& entry, const TOEReader* reader) {
  return entry.Kind == ekDatabase && reader ? reader->MessageFlags(entry.Index) : 0;
}

} // namespace pellora
