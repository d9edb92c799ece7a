#pragma once
// Where the message window writes attachments that it opens: a private folder of the program
// inside the temporary folder, so that another local user cannot redirect the write.
#include <string>
#include <string_view>

namespace pellora {

// The folder (mode 0700, owned by the user, not a link), created when missing; with a trailing
// delimiter. Raises EPelloraError when no safe folder can be had.
std::string PrivateTempFolder();

// A name that is a usable file name: "", "." and ".." (and names with a path delimiter) become
// "attachment" or lose the delimiter.
std::string SafeFileName(std::string_view name);

// Writes bytes to path, replacing a regular file but never following a symbolic link at path;
// the file is not executable. Raises EPelloraError with the reason on failure.
void WriteFileNoFollow(const std::string& path, std::string_view bytes);

// Writes bytes to a file the user chose, replacing it. Raises EPelloraError on failure.
void WriteWholeFile(const std::string& path, std::string_view bytes);

} // namespace pellora
