#pragma once
// Where the message window writes attachments: a private folder of this process inside the
// temporary folder for the ones it opens, and folders the user chose for the ones saved. No
// write ever goes through a symbolic link.
#include <string>
#include <string_view>

namespace pellora {

// This process's folder (mode 0700, owned by the user, not a link, a name nobody can guess),
// made on first use and again when it went away; with a trailing delimiter. Raises
// EPelloraError when no safe folder can be had.
std::string PrivateTempFolder();
// Removes the folders PrivateTempFolder made, with everything in them: private mail is not left
// behind when the program ends.
void RemovePrivateTempFolders();

// A usable file name from a UTF-8 name: path delimiters and zero bytes become "_", leading dots
// go (no hidden files, no "." or ".."), and a name over 254 bytes is cut on a character
// boundary, keeping its extension; "attachment" when nothing is left.
std::string SafeFileName(std::string_view name);

// True when anything has this name: a file, a folder or a link, a dangling one included.
bool EntryExists(const std::string& path);

// Writes bytes as the file path: a new file takes the place of whatever had that name, so a
// symbolic link there is replaced, never followed. The file is not executable (mode 0600).
// Raises EPelloraError with the reason on failure.
void WriteFileNoFollow(const std::string& path, std::string_view bytes);

// The same for a file the user chose (mode 0666 less the umask).
void WriteWholeFile(const std::string& path, std::string_view bytes);

} // namespace pellora
