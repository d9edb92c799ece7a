#pragma once
#include <cstdint>

namespace pellora {

// What a path opens as: the vocabulary shared by the frame, the open wizard and the loading of
// stores.
enum TOpenKind : uint8_t {
  okOEDatabase = 0,    // ".dbx" or ".mbx": mailbox window
  okMessageFolder = 1, // a folder of ".eml" files or a Maildir: mailbox window
  okMailboxFile = 2,   // a mailbox file: mailbox window
  okMessageFile = 3,   // one message file: message window
  okUnknown = 255,
};

} // namespace pellora
