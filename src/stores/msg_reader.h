#pragma once
// Outlook's single messages (".msg"): an OLE compound file whose streams hold the message's
// property streams, its recipients' and attachments' storages and attached messages.
#include "stores/mapi_message.h"

#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// A storage or stream of a compound file.
struct TOleNode {
  std::string Name;
  bool Storage = false;
  std::string Data; // a stream's bytes
  std::vector<TOleNode> Children;
};

// The compound file at path, read through libolecf; raises when it is none.
TOleNode ReadOleFile(const std::string& path);

// The message a storage holds: its property streams, recipients, attachments (attached messages
// read in turn). Damaged streams cost what they hold, never more.
TMapiMessage MapiMessageOfStorage(const TOleNode& storage);

// The message of a ".msg" file.
TMapiMessage ReadMsgFile(const std::string& path);

// Whether a file's first bytes are a compound file that holds a message's property streams.
bool IsMsgBytes(std::string_view sample);

} // namespace pellora
