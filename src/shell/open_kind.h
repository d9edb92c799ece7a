#pragma once
#include "stores/open_kind.h"

#include <string>

namespace pellora {

// By the extension first: ".dbx", ".mbx", ".eml", a folder, ".mbox". A file of another name is
// a mailbox file when its text begins with "From ", a message when it begins with header
// lines ended by an empty line; otherwise a name without extension is a mailbox file.
TOpenKind KindOfPath(const std::string& path);

// An Outlook Express 4 index (".idx") stands for the database (".mbx") of the same name beside
// it: a file manager hands over whichever of the two the user clicked. Any other path, or an index
// without its database, comes back as it is.
std::string DatabaseOfIndex(const std::string& path);

} // namespace pellora
