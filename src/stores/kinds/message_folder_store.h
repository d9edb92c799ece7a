#pragma once
// A folder of message files: ".eml" files, or a Maildir's cur/ and new/ with the read, replied
// and flagged marks of its file names.
#include "stores/kinds/message_files.h"

#include <string_view>
#include <unordered_map>

namespace pellora {

class TMessageFolderStore : public TMessageFilesStore {
public:
  TStoreIcon Icon() const override { return siFolder; }
  // The folder's last component.
  std::string Caption(const std::string& path) const override;
  // The folder's name (a Maildir's, not its cur/'s).
  std::string ExportName(const TMessageEntry& first) const override;

  // Whether the folder holds a message file this kind reads.
  static bool HoldsMessages(const std::string& path);

protected:
  bool IsFolder() const override { return true; }
  std::vector<std::string> ListFiles(const std::string& path) override;
  TFileMessage MessageOf(const std::string& file, std::string_view bytes) const override;
  std::string Relocated(const std::string& path) override;

private:
  bool FMaildir = false;
  // A Maildir's files by the part of their names before the info, as cur/ and new/ were (their
  // stamps) when they were listed last: listed again only once they changed.
  std::unordered_map<std::string, std::string> FMaildirFiles;
  TFileStamp FMaildirListed[2];
};

// A folder holding cur/ and new/: its messages are the files in them.
bool IsMaildir(const std::string& path);
// The flags a Maildir file name's info ("...:2,FRS") gives, in a row's flag bits.
uint32_t MaildirFlagsOf(std::string_view name);

} // namespace pellora
