#include "stores/message_entry.h"

#include "stores/oe_reader.h"

namespace pellora {

const TSharedText& EntryFromText(const TMessageEntry& entry) {
  // A message's Sender field names whoever sent it for the author: a list, a secretary.
  if (entry.Kind != ekDatabase)
    return entry.Header.From.empty() ? entry.Header.Sender : entry.Header.From;
  return entry.Header.Sender.empty() ? entry.Header.From : entry.Header.Sender;
}

bool EntryHasFlags(const TMessageEntry& entry) {
  return entry.Kind == ekDatabase || entry.Flags.has_value();
}

uint32_t EntryFlags(const TMessageEntry& entry, const TOEReader* reader) {
  if (entry.Kind == ekDatabase) return reader ? reader->MessageFlags(entry.Index) : 0;
  return entry.Flags.value_or(0);
}

bool EntryHasAttachment(const TMessageEntry& entry, const TOEReader* reader) {
  if (entry.Kind == ekDatabase) return (EntryFlags(entry, reader) & mfAttachment) != 0;
  const std::string_view type = entry.Header.ContentType;
  return type == "MULTIPART/MIXED" || type == "MULTIPART/RELATED" ||
         entry.Header.ContentDisposition.view() == "ATTACHMENT";
}

} // namespace pellora
