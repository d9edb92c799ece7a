#pragma once
// What the stores and the operations on their rows tell the user besides the rows: facts, of
// which the window and the command line make their information lines.
#include "stores/message_entry.h"

#include <cstdint>
#include <string>
#include <utility>

namespace pellora {

enum TNoteKind : uint8_t {
  nkFormat,         // the store's file format, by the name its users know it by: Name
  nkUnreadableFile, // a file of the store that the load had to leave out: Name, Reason
  nkStoreChanged,   // another program changed the store since the load
  nkUnreadableRows, // rows whose message a search could not read: Number of them
  nkSkippedMessage, // a message an export had to leave out: its row's Index as Number, Reason
};

struct TStoreNote {
  TStoreNote(TNoteKind kind, std::string name = {}, std::string reason = {}, int64_t number = 0)
      : Kind(kind), Name(std::move(name)), Reason(std::move(reason)), Number(number) {}
  TNoteKind Kind;
  std::string Name;
  std::string Reason;
  int64_t Number;
  bool operator==(const TStoreNote&) const = default;
};

// The information line of a note, in the user's language and code page.
std::string NoteText(const TStoreNote& note);
// The word a recovered or deleted row is marked with, in the user's language and code page;
// empty for a listed row.
std::string RowStateText(TRowState state);

} // namespace pellora
