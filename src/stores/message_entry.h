#pragma once
#include "stores/eml_header.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellora {

class TOEReader;

enum TEntryKind : int32_t { ekDatabase = 0, ekMessageFile = 1, ekMailbox = 2 };

// One row of a mailbox window's list.
struct TMessageEntry {
  int32_t Index = 0;
  int64_t StartLine = 0; // kind 2: line of the "From " separator, from 1
  int32_t Kind = ekDatabase;
  // What tells whether the message is still what the load saw: kind 1 the file's modification
  // time, kind 2 its separator line (a hash of either).
  uint32_t Fingerprint = 0;
  TEMLHeader Header;
  TSharedText Path; // shared by the rows of one store
  // Kind 2: byte offset of the separator line, where the message is read back without counting
  // lines from the file's start; -1 when unknown.
  int64_t StartOffset = -1;
  // Kind 2: byte offset where the message's bytes end (the next message's separator line or the
  // end of the file); -1 when unknown.
  int64_t EndOffset = -1;
  // The flags, in a database row's bits, that kind 1 rows of a Maildir have in their file names'
  // info, and kind 2 rows in their X-Mozilla-Status field; none for other rows.
  std::optional<uint32_t> Flags;
};

// List columns in their default order.
enum TListColumn : int {
  lcIndex = 0,
  lcPriority = 1,
  lcAttachment = 2,
  lcFlag = 3,
  lcFrom = 4,
  lcSubject = 5,
  lcTo = 6,
  lcReceived = 7,
  lcSize = 8,
};

// The text the "From" column shows: a database row's sender text (the From address its record
// keeps), else the message's From; Sender only where From is missing.
const TSharedText& EntryFromText(const TMessageEntry& entry);

// Whether the row's store keeps flags: a database's rows, a Maildir's, and a mailbox file's rows
// with an X-Mozilla-Status field. Rows without show neither read state nor flags.
bool EntryHasFlags(const TMessageEntry& entry);
// The flags of a row that has them (mfFlagged, mfRead, mfAttachment, ...); 0 for other rows and
// for a database row without its reader.
uint32_t EntryFlags(const TMessageEntry& entry, const TOEReader* reader);
// Whether the row shows the attachment icon: a database's flag, else what the header says (a
// multipart/mixed or multipart/related message, or a whole message sent as an attachment).
bool EntryHasAttachment(const TMessageEntry& entry, const TOEReader* reader);

} // namespace pellora
