#include "discovery/fuzz_bodies.h"

#include "discovery/hive_file.h"
#include "discovery/mail_discovery.h"
#include "discovery/prefs_js.h"
#include "discovery/windows_session.h"
#include "discovery/wine_registry.h"
#include "support/fuzz_scratch.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace pellora::fuzz {
namespace {

// Every key below path, breadth limited: a damaged hive may link a key list back to an ancestor.
void Walk(const THive& hive, const std::string& path, int depth, int& budget) {
  auto key = hive.OpenKey(path);
  if (!key || depth > 8) return;
  std::string text;
  int32_t number = 0;
  for (const char* name : {"", "Username", "Identity Ordinal", "Store Root", "ProfileImagePath"}) {
    TryReadString(*key, name, text);
    TryReadInteger(*key, name, number);
  }
  for (const auto& name : key->SubKeyNames()) {
    if (--budget < 0) return;
    Walk(hive, path.empty() ? name : path + "\\" + name, depth + 1, budget);
  }
}

// The routines over a session whose drive C: lies nowhere: registry reads only.
void Discover(std::shared_ptr<const THive> user, std::shared_ptr<const THive> machine,
              const char* machineKey) {
  TWindowsSessionSetup setup;
  setup.UserHive = std::move(user);
  setup.MachineHive = std::move(machine);
  setup.MachineHiveKey = machineKey;
  setup.Sid = "S-1-5-21-0-0-0-1000";
  setup.UserName = "u";
  setup.ProfilePath = "C:\\users\\u";
  setup.Mounts = {{"C:", ScratchFolder() + "/none"}};
  TWindowsSession session(setup);
  std::vector<TOEIdentity> identities;
  ListOEIdentityStores(session, identities);
  try {
    GetWindowsMailStore(session);
  } catch (const EPelloraError&) {
  }
  try {
    GetWindowsLiveMailStore(session);
  } catch (const EPelloraError&) {
  }
}

} // namespace

void RunPrefsJS(const uint8_t* data, size_t size) {
  TPrefsJS prefs;
  prefs.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
  prefs.FindPref("mail.root.none");
  prefs.FindPref("mail.server.server1.directory");
}

void RunWineRegistry(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TWineRegistryFile file = ParseWineRegistry(text);
  int budget = 2000;
  Walk(*file.Hive, "", 0, budget);
  Discover(file.Hive, file.Hive, "");
}

void RunHive(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // The base block's checksum made to agree, so that changed header fields reach the reader
  // instead of failing the check.
  if (bytes.size() >= 0x200) {
    uint32_t sum = 0;
    for (size_t i = 0; i < 0x1FC; i += 4)
      sum ^= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                   static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                   static_cast<unsigned char>(bytes[i + 2]) << 16 |
                                   static_cast<unsigned char>(bytes[i + 3]) << 24);
    for (int i = 0; i < 4; ++i)
      bytes[0x1FC + i] = static_cast<char>(sum >> (8 * i) & 0xFF);
  }
  auto hive = THiveFile::Open(WriteScratch("NTUSER.DAT", bytes));
  if (!hive) return;
  int budget = 2000;
  Walk(*hive, "", 0, budget);
  Discover(hive, hive, "SOFTWARE");
}

} // namespace pellora::fuzz
