#pragma once
#include "stores/eml_header.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellora {

// One row of a mailbox window's list. Its store (stores/store.h) knows what the locating fields
// mean for its rows; a row holds no more than its store needs to find its message again.
// Where a row's message was found: listed by its store, or, with recovery on, outside the
// store's index (recovered) or among what the store keeps as deleted.
enum TRowState : uint8_t { rsListed = 0, rsRecovered = 1, rsDeleted = 2 };

struct TMessageEntry {
  int32_t Index = 0; // the message's number in its store, from 0
  // What tells whether the message is still what the load saw: of a message file its
  // modification time, of a mailbox file's message its separator line (a hash of either).
  uint32_t Fingerprint = 0;
  int64_t StartLine = 0; // a mailbox file's message: the line of its "From " separator, from 1
  TEMLHeader Header;
  TSharedText Path; // the file of the row, shared by the rows of one file
  // A mailbox file's message: byte offset of its separator line, where it is read back without
  // counting lines from the file's start; -1 when unknown.
  int64_t StartOffset = -1;
  // A mailbox file's message: byte offset where its bytes end (the next message's separator line
  // or the end of the file); -1 when unknown.
  int64_t EndOffset = -1;
  // The flags (mfRead, mfFlagged, ...) of a row whose store keeps them: a database's rows, a
  // Maildir's (from their file names), a mailbox file's with an X-Mozilla-Status field, Apple
  // Mail's; none for other rows, which show neither read state nor flags.
  std::optional<uint32_t> Flags;
  // A mailbox file's message: the bytes of the empty line before EndOffset that parts it from
  // the next message (0, 1 or 2); no part of the message as stored.
  uint8_t Parting = 0;
  TRowState State = rsListed;
};

// Flag bits of a row's Flags, a database's own: the list shows the first three; a Maildir's
// rows carry the last two as well.
enum : uint32_t {
  mfFlagged = 0x20,
  mfRead = 0x80,
  mfAttachment = 0x4000,
  mfReplied = 0x80000,
  mfForwarded = 0x100000,
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

// Whether the row's store keeps flags for it: rows without show neither read state nor flags.
inline bool EntryHasFlags(const TMessageEntry& entry) { return entry.Flags.has_value(); }
// The flags of a row that has them; 0 for other rows.
inline uint32_t EntryFlags(const TMessageEntry& entry) { return entry.Flags.value_or(0); }

} // namespace pellora
