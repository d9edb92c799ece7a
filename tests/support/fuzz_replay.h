#pragma once
// Inputs that once broke a fuzz target, replayed by the tests through the same code.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

namespace pellora::test {

using TFuzzBody = void (*)(const uint8_t* data, size_t size);

// Runs every kept input of folder through the target whose name prefix its file name has.
inline void ReplayKeptInputs(const std::string& folder,
                             std::initializer_list<std::pair<const char*, TFuzzBody>> targets) {
  std::vector<std::string> files;
  FindFiles(folder, "*", faArchive, false, &files);
  for (const auto& file : files) {
    std::string name = ExtractFileName(file);
    if (name == "README") continue;
    std::string data = ReadWholeFile(file);
    SCOPED_TRACE(name);
    bool run = false;
    for (const auto& [prefix, body] : targets)
      if (name.starts_with(prefix)) {
        body(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        run = true;
        break;
      }
    if (!run) ADD_FAILURE() << "no target for " << name;
  }
}

} // namespace pellora::test
