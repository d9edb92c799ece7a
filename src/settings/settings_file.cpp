#include "settings/settings_file.h"

#include "platform/files.h"

#include <cstdlib>

namespace pellora {

std::string SettingsFilePath() {
  const char* own = std::getenv("PELLORA_CONFIG_DIR");
  std::string folder = own && *own ? own : UserBaseFolder("XDG_CONFIG_HOME", ".config");
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder + "/Vantrel/Pellora.ini";
}

} // namespace pellora
