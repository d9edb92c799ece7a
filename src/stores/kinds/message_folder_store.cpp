#include "stores/kinds/message_folder_store.h"

#include <algorithm>

namespace pellora {
namespace {

// Where a Maildir file name's info (":2,FS") begins; the name's size when it has none. "!"
// stands for ":" where file names cannot hold a colon.
size_t MaildirInfoStart(std::string_view name) {
  size_t at = name.find_last_of(":!");
  return at == std::string_view::npos ? name.size() : at;
}

// A Maildir's messages by file name: a name begins with its delivery time.
std::vector<std::string> ListMaildirFiles(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> named;
  for (const char* sub : {"cur", "new"}) {
    std::vector<std::string> files;
    FindFiles(IncludeTrailingPathDelimiter(path) + sub, "*", faArchive, false, &files);
    for (auto& file : files) {
      std::string name = ExtractFileName(file);
      if (!name.starts_with('.')) named.emplace_back(std::move(name), std::move(file));
    }
  }
  std::sort(named.begin(), named.end());
  std::vector<std::string> files;
  files.reserve(named.size());
  for (auto& [name, file] : named)
    files.push_back(std::move(file));
  return files;
}

} // namespace

bool IsMaildir(const std::string& path) {
  std::string folder = IncludeTrailingPathDelimiter(path);
  return DirectoryExists(folder + "cur") && DirectoryExists(folder + "new");
}

bool TMessageFolderStore::HoldsMessages(const std::string& path) {
  return IsMaildir(path) || FolderHolds(path, "*.eml", false, false);
}

uint32_t MaildirFlagsOf(std::string_view name) {
  std::string_view info = name.substr(MaildirInfoStart(name));
  if (info.size() < 3 || info.substr(1, 2) != "2,") return 0;
  uint32_t flags = 0;
  for (char c : info.substr(3)) {
    switch (c) {
    case 'F':
      flags |= mfFlagged;
      break;
    case 'P':
      flags |= mfForwarded;
      break;
    case 'R':
      flags |= mfReplied;
      break;
    case 'S':
      flags |= mfRead;
      break;
    default:
      break;
    }
  }
  return flags;
}

std::string TMessageFolderStore::Caption(const std::string& path) const {
  return ExtractFileName(ExcludeTrailingPathDelimiter(path));
}

std::string TMessageFolderStore::ExportName(const TMessageEntry&) const {
  return Caption(StorePath());
}

std::vector<std::string> TMessageFolderStore::ListFiles(const std::string& path) {
  FMaildir = IsMaildir(path);
  FMaildirFiles.clear();
  if (FMaildir) return ListMaildirFiles(path);
  std::vector<std::string> files;
  FindFiles(path, "*.eml", faAnyFile, false, &files);
  // The system's listing order is arbitrary; by name the rows keep one order everywhere.
  std::sort(files.begin(), files.end());
  return files;
}

TMessageFilesStore::TFileMessage TMessageFolderStore::MessageOf(const std::string& file,
                                                                std::string_view) const {
  TFileMessage message;
  if (FMaildir) message.Flags = MaildirFlagsOf(ExtractFileName(file));
  return message;
}

std::string TMessageFolderStore::Relocated(const std::string& path) {
  if (!FMaildir) return path;
  const std::string root = IncludeTrailingPathDelimiter(StorePath());
  const char* const folders[] = {"cur", "new"};
  TFileStamp listed[2];
  for (int i = 0; i < 2; ++i)
    GetFileStamp(root + folders[i], listed[i]);
  if (FMaildirFiles.empty() || listed[0] != FMaildirListed[0] || listed[1] != FMaildirListed[1]) {
    FMaildirFiles.clear();
    for (const char* sub : folders) {
      std::vector<std::string> files;
      FindFiles(root + sub, "*", faArchive, false, &files);
      for (auto& file : files) {
        std::string name = ExtractFileName(file);
        FMaildirFiles.try_emplace(name.substr(0, MaildirInfoStart(name)), std::move(file));
      }
    }
    FMaildirListed[0] = listed[0];
    FMaildirListed[1] = listed[1];
  }
  const std::string name = ExtractFileName(path);
  auto found = FMaildirFiles.find(name.substr(0, MaildirInfoStart(name)));
  return found == FMaildirFiles.end() ? path : found->second;
}

} // namespace pellora
