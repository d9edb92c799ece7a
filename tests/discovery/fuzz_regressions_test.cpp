// Inputs that once broke a discovery fuzz target; each must now run clean under the same code.
#include "discovery/fuzz_bodies.h"

#include "platform/files.h"

#include <gtest/gtest.h>

namespace pellora {
namespace {

TEST(DiscoveryFuzzRegressions, ReplayKeptInputs) {
  std::vector<std::string> files;
  FindFiles(PELLORA_DISCOVERY_REGRESSIONS, "*", faArchive, false, &files);
  for (const auto& file : files) {
    std::string name = ExtractFileName(file);
    if (name == "README") continue;
    std::string data = ReadWholeFile(file);
    auto bytes = reinterpret_cast<const uint8_t*>(data.data());
    SCOPED_TRACE(name);
    if (name.starts_with("prefs-"))
      fuzz::RunPrefsJS(bytes, data.size());
    else if (name.starts_with("wine-"))
      fuzz::RunWineRegistry(bytes, data.size());
    else if (name.starts_with("hive-"))
      fuzz::RunHive(bytes, data.size());
    else
      ADD_FAILURE() << "no target for " << name;
  }
}

} // namespace
} // namespace pellora
