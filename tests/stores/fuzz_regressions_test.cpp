// Inputs that once broke a store fuzz target; each must now run clean under the same code.
#include "stores/fuzz_bodies.h"

#include "platform/files.h"

#include <gtest/gtest.h>

namespace pellora {
namespace {

TEST(StoresFuzzRegressions, ReplayKeptInputs) {
  std::vector<std::string> files;
  FindFiles(PELLORA_STORES_REGRESSIONS, "*", faArchive, false, &files);
  for (const auto& file : files) {
    std::string name = ExtractFileName(file);
    if (name == "README") continue;
    std::string data = ReadWholeFile(file);
    auto bytes = reinterpret_cast<const uint8_t*>(data.data());
    SCOPED_TRACE(name);
    if (name.starts_with("dbx-"))
      fuzz::RunDbxReader(bytes, data.size());
    else if (name.starts_with("mbx-"))
      fuzz::RunMbxReader(bytes, data.size());
    else if (name.starts_with("mailbox-"))
      fuzz::RunMailboxFile(bytes, data.size());
    else if (name.starts_with("scan-"))
      fuzz::RunHeaderScanner(bytes, data.size());
    else
      ADD_FAILURE() << "no target for " << name;
  }
}

} // namespace
} // namespace pellora
