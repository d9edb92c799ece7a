#pragma once
// What the kinds whose rows are message files share: one message a file (a folder of them, one
// file), read whole, its header scanned for the row.
#include "platform/files.h"
#include "stores/header_scanner.h"
#include "stores/store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

class TMessageFilesStore : public TStore {
public:
  void VisitLines(const TMessageEntry& entry, const TLineVisitor& visit) override;
  // The file's bytes, block by block.
  void ReadStored(const TMessageEntry& entry, const TByteSink& sink) override;
  // The message whole, as one piece.
  bool VisitPieces(const TMessageEntry& entry, const TTextPieceVisitor& piece) override;
  void ParseMessage(const TMessageEntry& entry, TMailMessage& message) override;

protected:
  // A folder's files, one row each; a file that cannot be read costs only its row (noted). One
  // file's row, or the failure to read it.
  void LoadRows(const std::string& path) override;
  // Whether the store is a folder of the files rather than one of them.
  virtual bool IsFolder() const = 0;
  // A folder's files, one row each in this order (their Index).
  virtual std::vector<std::string> ListFiles(const std::string& path) { return {}; }
  // Where a file's bytes hold its message, [begin, begin + size), and the flags its store keeps
  // for it; by default the whole file, without flags.
  struct TFileMessage {
    size_t Begin = 0;
    size_t Size = std::string::npos;
    std::optional<uint32_t> Flags;
  };
  virtual TFileMessage MessageOf(const std::string& file, std::string_view bytes) const;
  // A file's text as the message is read from it; its bytes by default.
  virtual std::string FileText(const std::string& file) { return ReadWholeFile(file); }
  // Where a row's file is now when it is no longer at its path (a Maildir file renamed by another
  // program); path by default.
  virtual std::string Relocated(const std::string& path) { return path; }
  // The file of a row as it is now: noted as a change of the store when it is gone or changed.
  std::string RowFile(const TMessageEntry& entry);
  // The row's message, read from its file now.
  std::string ReadMessage(const TMessageEntry& entry);

private:
  // Adds the row of a file, Index index, or raises why it cannot.
  void AddRow(const std::string& file, int32_t index, THeaderScanner& scanner);

private:
  static constexpr size_t BlockSize = 4 << 20;
  std::string FBlock;
};

// Whether a folder (with recursive, or a folder in it) holds an entry whose name matches mask (a
// file, with filesOnly); looks no further than the first.
bool FolderHolds(const std::string& folder, std::string_view mask, bool filesOnly, bool recursive);

// What tells whether a file is still as the load saw it: its size and modification time.
uint32_t FileFingerprint(const TFileStamp& stamp);

} // namespace pellora
