#pragma once
// The text files in which Wine keeps a prefix's registry: user.reg (the user's branch) and
// system.reg (the machine's).
#include "discovery/registry.h"

#include <memory>
#include <string>
#include <string_view>

namespace pellora {

struct TWineRegistryFile {
  std::shared_ptr<TMemoryHive> Hive = std::make_shared<TMemoryHive>();
  // The branch the keys lie in, from the ";; All keys relative to" line ("\User\S-1-5-...").
  std::string RelativeTo;
};

// Reads the file's text with Wine's escapes ("\\", "\"", "\x....", octal), string values
// (plain or "str(N):"), "dword:" and "hex:"/"hex(N):" data over continued lines. Lines it does not
// understand are skipped, so a damaged file gives what it still holds.
TWineRegistryFile ParseWineRegistry(std::string_view text);
// The same from a file; an absent or unreadable file gives an empty hive.
TWineRegistryFile LoadWineRegistry(const std::string& path);

} // namespace pellora
