#pragma once
#include "stores/open_kind.h"

#include <string>

namespace pellora {

// By the extension first: ".dbx", ".mbx", ".eml", a folder, ".mbox". A file of another name is
// a mailbox file when its text begins with "From ", a message when it begins with header
// lines ended by an empty line; otherwise a name without extension is a mailbox file.
TOpenKind KindOfPath(const std::string& path);

} // namespace pellora
