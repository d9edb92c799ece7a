#pragma once
// Outlook's single messages (".msg"): one file opens as a message, a folder of them as a store of
// one row each; each made an Internet message from its properties as it is read.
#include "stores/kinds/message_files.h"

#include <string_view>

namespace pellora {

class TMsgStore : public TMessageFilesStore {
public:
  // folder: the store is a folder of the files rather than one of them.
  explicit TMsgStore(bool folder) : FFolder(folder) {}

  // The message made of the file.
  void ReadStored(const TMessageEntry& entry, const TByteSink& sink) override;

  TStoreIcon Icon() const override { return FFolder ? siFolder : siMailboxFile; }
  std::string Caption(const std::string& path) const override;
  std::string ExportName(const TMessageEntry& first) const override;

  static bool IsMsgName(std::string_view path);
  // Whether a file is one: by name, or by its first bytes.
  static bool ClaimsFile(const std::string& path);
  // Whether a folder holds such files.
  static bool HoldsMessages(const std::string& path);

protected:
  bool IsFolder() const override { return FFolder; }
  std::vector<std::string> ListFiles(const std::string& path) override;
  std::string FileText(const std::string& file) override;

private:
  bool FFolder;
};

} // namespace pellora
