#pragma once
// One message file (".eml", or a message saved under any name): a store of one row, which a
// message window shows.
#include "stores/kinds/message_files.h"

#include <string_view>

namespace pellora {

class TMessageFileStore : public TMessageFilesStore {
public:
  TStoreIcon Icon() const override { return siMailboxFile; }
  std::string ExportName(const TMessageEntry& first) const override;

  // Whether a file's first bytes are header field lines ended by an empty line. whole: the
  // sample is the whole file (a sample that ends inside such lines counts when it is not).
  static bool BeginsWithHeader(std::string_view sample, bool whole);

protected:
  bool IsFolder() const override { return false; }
};

} // namespace pellora
