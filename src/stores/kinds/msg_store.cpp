#include "stores/kinds/msg_store.h"

#include "platform/ascii.h"
#include "stores/msg_reader.h"

#include <algorithm>
#include <fstream>

namespace pellora {

bool TMsgStore::IsMsgName(std::string_view path) {
  return SameTextAscii(ExtractFileExt(path), ".msg");
}

bool TMsgStore::ClaimsFile(const std::string& path) {
  if (IsMsgName(path)) return true;
  std::string sample(64 * 1024, '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(sample.data(), static_cast<std::streamsize>(sample.size()));
  sample.resize(static_cast<size_t>(in.gcount()));
  return IsMsgBytes(sample);
}

bool TMsgStore::HoldsMessages(const std::string& path) {
  return FolderHolds(path, "*.msg", true, false);
}

std::vector<std::string> TMsgStore::ListFiles(const std::string& path) {
  std::vector<std::string> files;
  FindFiles(path, "*.msg", faAnyFile & ~faDirectory, false, &files);
  // The system's listing order is arbitrary; by name the rows keep one order everywhere.
  std::sort(files.begin(), files.end());
  return files;
}

std::string TMsgStore::FileText(const std::string& file) {
  return MapiToMime(ReadMsgFile(file));
}

void TMsgStore::ReadStored(const TMessageEntry& entry, const TByteSink& sink) {
  sink(ReadMessage(entry));
}

std::string TMsgStore::Caption(const std::string& path) const {
  return FFolder ? ExtractFileName(ExcludeTrailingPathDelimiter(path)) : TStore::Caption(path);
}

std::string TMsgStore::ExportName(const TMessageEntry&) const {
  return Caption(StorePath());
}

} // namespace pellora
