#pragma once
// Where attachments and saved messages are written: a private folder of this process inside the
// temporary folder for the ones opened, and folders the user chose for the ones saved. No write
// ever goes through a symbolic link, and no half-written file is left under a wanted name.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/pellora_error.h"

namespace pellora {

// A failed file operation with its system error number (EEXIST: the name is taken).
class EFileError : public EPelloraError {
public:
  EFileError(const std::string& message, int code) : EPelloraError(message), FCode(code) {}
  int Code() const { return FCode; }

private:
  int FCode;
};

// Whether an error number says the name itself cannot be used on that file system.
bool IsUnusableNameError(int code);

// This process's folder (mode 0700, owned by the user, not a link, a name nobody can guess),
// made on first use and again when it went away; with a trailing delimiter. Raises
// EPelloraError when no safe folder can be had.
std::string PrivateTempFolder();
// Removes the folders PrivateTempFolder made, with everything in them: private mail is not left
// behind when the program ends.
void RemovePrivateTempFolders();

// The most bytes a file name takes here (file systems allow 255).
constexpr size_t MaxFileNameBytes = 254;

// The longest start of UTF-8 text of at most max bytes that ends after a whole character; an
// incomplete character at the very end (left by an earlier cut by bytes) goes too.
std::string_view Utf8Prefix(std::string_view text, size_t max);

// A usable file name from a UTF-8 name: path delimiters and zero bytes become "_", format
// characters (direction controls and the like, which would show the name otherwise than it is)
// go, leading dots go (no hidden files, no "." or ".."), a leading "-" gets a "_" before it, and
// a name over 254 bytes is cut on a character boundary, keeping its extension; "attachment" when
// nothing is left.
std::string SafeFileName(std::string_view name);

// True when anything has this name: a file, a folder or a link, a dangling one included.
bool EntryExists(const std::string& path);

// Writes bytes as the file path: a new file takes the place of whatever had that name, so a
// symbolic link there is replaced, never followed. The file is not executable (mode 0600).
// Raises EPelloraError with the reason on failure.
void WriteFileNoFollow(const std::string& path, std::string_view bytes);

// The same for a file the user chose (mode 0666 less the umask).
void WriteWholeFile(const std::string& path, std::string_view bytes);

// A file written piece by piece under a temporary name in its folder and renamed to its name
// by Commit: until then the name is untouched, and a writer dropped uncommitted removes its
// temporary file (a full disk leaves nothing behind).
class TSafeFileWriter {
public:
  // Creates the temporary file beside path; raises EFileError with the reason on failure.
  explicit TSafeFileWriter(const std::string& path, unsigned mode = 0666);
  ~TSafeFileWriter();
  TSafeFileWriter(const TSafeFileWriter&) = delete;
  TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

  void Write(std::string_view bytes);
  // Bytes written so far.
  uint64_t Position() const { return FWritten + FBuffer.size(); }
  // Drops everything written after position (a piece that failed half-way).
  void Rewind(uint64_t position);
  // Gives the file its name. Without replace a name already taken is refused (EEXIST). After a
  // refused name the file waits for another CommitAs.
  void Commit(bool replace) { CommitAs(FPath, replace); }
  void CommitAs(const std::string& path, bool replace);

private:
  void WriteOut(std::string_view bytes);
  // Removes the temporary file and raises EFileError.
  [[noreturn]] void Abandon(const char* what, int err);

  std::string FPath, FTemp;
  int FHandle = -1;
  std::string FBuffer;
  uint64_t FWritten = 0;
};

} // namespace pellora
