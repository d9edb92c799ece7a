#pragma once
// The kinds of store, registered in one place: what a path is, and the store that reads it. This
// and the kinds' own files are the only code that tells the kinds apart.
#include "stores/open_kind.h"
#include "stores/store.h"

#include <memory>
#include <string>

namespace pellora {

class TLoadObserver;
class TMailbox;

// What a path opens as. By its name first: ".dbx" and ".mbx" a database, ".eml" and ".emlx" a
// message, even a folder of such a name; then a folder; then ".mbox" and the compressed forms'
// ".gz", ".bz2", ".xz", ".zst" a mailbox file. A file of another name is what its first bytes
// say: a compressed file or text that begins with "From " a mailbox file, header lines ended
// by an empty line a message; otherwise a name without extension is a mailbox file.
TOpenKind KindOfPath(const std::string& path);

// An Outlook Express 4 index (".idx") stands for the database (".mbx") of the same name beside
// it: a file manager hands over whichever of the two the user clicked. Any other path, or an
// index without its database, comes back as it is.
std::string DatabaseOfIndex(const std::string& path);

// Whether paths of a kind are folders (else files).
bool OpensFolder(TOpenKind kind);

// Whether a folder opens as a folder of messages with any: a Maildir, ".eml" files, Apple Mail's
// ".emlx" files.
bool FolderHoldsMessages(const std::string& path);

// The store that reads path opened as kind (the kind of a folder, a mailbox file, ...: the first
// registered that takes what path holds); null for a kind that names no store.
std::unique_ptr<TStore> MakeStore(const std::string& path, TOpenKind kind);

// Raises the text the error box shows when a path cannot be opened as a store of its kind in a
// mailbox window: it must exist (a folder for the folders' kind, a file otherwise) and be of a
// kind that opens one.
void CheckStorePath(const std::string& path, TOpenKind kind);
// Loads a store as its opener does: CheckStorePath, then the load; a failure raises its text.
void LoadStoreChecked(TMailbox& box, const std::string& path, TOpenKind kind,
                      TLoadObserver* observer = nullptr, TLoadOptions options = {});

} // namespace pellora
