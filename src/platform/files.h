#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

constexpr char PathDelim = '/';

// Attribute bits of a directory entry.
enum : uint32_t {
  faReadOnly = 0x01, // not writable
  faHidden = 0x02,   // name starts with "."
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20, // regular file
  faAnyFile = 0x3F,
};

// Wildcards * and ?, letters compared without regard to ASCII case; a name without
// "." is matched as if it ended in ".", so "*." selects names without extension.
bool MatchesMask(std::string_view name, std::string_view mask);

// Walks folder in the order the system lists it; accepts entries whose attributes share a
// bit with attrFilter and whose names match mask; appends their full paths to list (when
// given) and returns the total of their sizes. With recursive, every folder is walked too
// (accepted or not), after the folder's own entry has been listed.
uint64_t FindFiles(const std::string& folder, std::string_view mask, uint32_t attrFilter,
                   bool recursive, std::vector<std::string>* list);

bool FileExists(const std::string& path);      // an existing file, not a folder
bool DirectoryExists(const std::string& path); // an existing folder
bool PathExists(const std::string& path);

struct TFileStamp {
  uint64_t size = 0;
  int64_t modifiedNs = 0;
  uint64_t inode = 0; // a file put in the place of another is another file
  bool operator==(const TFileStamp&) const = default;
};
// Size, modification time and inode; false when the file cannot be examined.
bool GetFileStamp(const std::string& path, TFileStamp& stamp);
// The same of a file open as handle.
bool GetOpenFileStamp(int handle, TFileStamp& stamp);

// The whole file as bytes; raises EPelloraError when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The user's temporary folder, with a trailing delimiter.
std::string TempFolder();

// True when path is a folder, not a link, owned by this user and closed to everyone else.
bool IsPrivateFolder(const std::string& path);
// Creates path (mode 0700) when nothing is there; true when it is a private folder afterwards.
bool MakePrivateFolder(const std::string& path);
// A base folder of the user's files: variable ("XDG_CONFIG_HOME", "XDG_CACHE_HOME") when it
// names an absolute path, else underHome (".config", ".cache") in the user's home; without a
// trailing delimiter.
std::string UserBaseFolder(const char* variable, const char* underHome);
// Makes folder and the folders above it that are missing, as base folders are made (mode 0700).
void MakeFolders(const std::string& folder);
// The program's folder in the user's cache folder (UserBaseFolder "XDG_CACHE_HOME"):
// "pellora", made when missing; without a trailing delimiter.
std::string ProgramCacheFolder();
// Where this user's sockets and locks go: XDG_RUNTIME_DIR when it is private, else the private
// folder "pellora/run-<host>" of the user's cache folder (UserBaseFolder "XDG_CACHE_HOME"),
// made when missing; with a trailing delimiter. "" when that name is not a private folder of
// this user.
std::string RuntimeFolder();

std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);
// The last path component.
std::string ExtractFileName(std::string_view path);
// The folder part with its trailing delimiter.
std::string ExtractFilePath(std::string_view path);
// From the last "." of the last component, the dot included; empty when there is none.
std::string ExtractFileExt(std::string_view path);

} // namespace pellora
