#include "stores/kinds/message_files.h"

#include "mime/mail_message.h"
#include "platform/ascii.h"

#include <filesystem>

namespace pellora {

bool FolderHolds(const std::string& folder, std::string_view mask, bool filesOnly, bool recursive) {
  namespace fs = std::filesystem;
  std::error_code error;
  auto holds = [&](const fs::directory_entry& entry) {
    return MatchesMask(entry.path().filename().string(), mask) &&
           (!filesOnly || entry.is_regular_file(error));
  };
  const auto options = fs::directory_options::skip_permission_denied;
  if (recursive) {
    for (fs::recursive_directory_iterator it(folder, options, error), end; !error && it != end;
         it.increment(error))
      if (holds(*it)) return true;
    return false;
  }
  for (fs::directory_iterator it(folder, options, error), end; !error && it != end;
       it.increment(error))
    if (holds(*it)) return true;
  return false;
}

uint32_t FileFingerprint(const TFileStamp& stamp) {
  const auto time = static_cast<uint64_t>(stamp.modifiedNs);
  return static_cast<uint32_t>(time ^ time >> 32 ^ stamp.size * 0x9E3779B1u);
}

TMessageFilesStore::TFileMessage TMessageFilesStore::MessageOf(const std::string&,
                                                               std::string_view) const {
  return {};
}

void TMessageFilesStore::AddRow(const std::string& file, int32_t index, THeaderScanner& scanner) {
  const std::string text = FileText(file);
  const TFileMessage found = MessageOf(file, text);
  const std::string_view message = std::string_view(text).substr(found.Begin, found.Size);
  // The scanner takes the lines where the file's text holds them, as ScanHeader would.
  scanner.Reset();
  ForEachLine(message, [&](std::string_view line) { scanner.Feed(line); });
  TMessageEntry entry;
  scanner.Finish(entry.Header);
  TFileStamp stamp;
  // The file's size less the bytes around its message.
  entry.Header.Size = GetFileStamp(file, stamp)
                          ? static_cast<int64_t>(stamp.size - (text.size() - message.size()))
                          : -1;
  entry.Fingerprint = FileFingerprint(stamp);
  entry.Index = index;
  entry.Path = file;
  entry.Flags = found.Flags;
  std::vector<TMessageEntry>& rows = Rows();
  rows.push_back(std::move(entry));
  ShareWithRowBefore(rows);
}

void TMessageFilesStore::LoadRows(const std::string& path) {
  THeaderScanner scanner;
  if (!IsFolder()) {
    AddRow(path, 0, scanner);
    return;
  }
  std::vector<std::string> files = ListFiles(path);
  Rows().reserve(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    Progress(i, files.size());
    const std::string& file = files[i];
    try {
      AddRow(file, static_cast<int32_t>(i), scanner);
    } catch (const std::exception& e) {
      Note({nkUnreadableFile, ExtractFileName(file), e.what()});
    }
    std::string().swap(files[i]); // the row holds its own copy: the list is not kept twice
  }
}

std::string TMessageFilesStore::RowFile(const TMessageEntry& entry) {
  std::string path = entry.Path.str();
  TFileStamp now;
  bool found = GetFileStamp(path, now);
  if (!found) {
    path = Relocated(path);
    found = GetFileStamp(path, now);
  }
  if (!found || FileFingerprint(now) != entry.Fingerprint) NoteStoreChange();
  return path;
}

std::string TMessageFilesStore::ReadMessage(const TMessageEntry& entry) {
  const std::string file = RowFile(entry);
  std::string text = FileText(file);
  const TFileMessage found = MessageOf(file, text);
  if (found.Begin > 0 || found.Size < text.size()) text = text.substr(found.Begin, found.Size);
  return text;
}

void TMessageFilesStore::VisitLines(const TMessageEntry& entry, const TLineVisitor& visit) {
  // Lines split where the text lies, not copied one by one.
  bool more = true;
  ForEachLine(ReadMessage(entry), [&](std::string_view line) {
    if (more) more = visit(line);
  });
}

void TMessageFilesStore::ReadStored(const TMessageEntry& entry, const TByteSink& sink) {
  const TFileStream file(RowFile(entry));
  // In blocks, never whole in memory; the block is kept for the next message.
  if (FBlock.size() < BlockSize) FBlock.resize(BlockSize);
  TFileInput input(file, 0);
  while (const size_t got = input.Read(FBlock.data(), BlockSize))
    sink(std::string_view(FBlock.data(), got));
}

bool TMessageFilesStore::VisitPieces(const TMessageEntry& entry, const TTextPieceVisitor& piece) {
  piece(ReadMessage(entry));
  return true;
}

void TMessageFilesStore::ParseMessage(const TMessageEntry& entry, TMailMessage& message) {
  message.ReadFromStored(ReadMessage(entry));
}

} // namespace pellora
