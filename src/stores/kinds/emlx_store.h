#pragma once
// Apple Mail's message files (".emlx", and ".partial.emlx" whose attachments lie elsewhere): a
// line with the message's byte count, the message, then a property list with its flags. One
// file opens as a message; a folder of them (or a mailbox folder "Name.mbox", which keeps them
// deeper down) as a store of one row each.
#include "stores/kinds/message_files.h"

#include <optional>
#include <string_view>

namespace pellora {

class TEmlxStore : public TMessageFilesStore {
public:
  // folder: the store is a folder of the files rather than one of them.
  explicit TEmlxStore(bool folder) : FFolder(folder) {}

  // The message alone.
  void ReadStored(const TMessageEntry& entry, const TByteSink& sink) override;

  TStoreIcon Icon() const override { return FFolder ? siFolder : siMailboxFile; }
  std::string Caption(const std::string& path) const override;
  std::string ExportName(const TMessageEntry& first) const override;
  // The attachment count of its flags, else what the header says.
  bool HasAttachment(const TMessageEntry& entry) const override;

  // Whether a file's name is one of Apple Mail's messages.
  static bool IsEmlxName(std::string_view path);
  // Whether a folder holds such files: itself, or anywhere inside a mailbox folder "Name.mbox".
  static bool HoldsMessages(const std::string& path);

protected:
  bool IsFolder() const override { return FFolder; }
  std::vector<std::string> ListFiles(const std::string& path) override;
  TFileMessage MessageOf(const std::string& file, std::string_view bytes) const override;

private:
  bool FFolder;
};

// Where an .emlx file's bytes hold its message, and the flags of its property list (mfRead,
// mfReplied, mfFlagged, mfForwarded, mfAttachment; none without a "flags" entry). Bytes that do
// not begin with a byte count are a message whole.
struct TEmlxMessage {
  size_t Begin = 0;
  size_t Size = 0;
  std::optional<uint32_t> Flags;
};
TEmlxMessage ParseEmlx(std::string_view bytes);

} // namespace pellora
