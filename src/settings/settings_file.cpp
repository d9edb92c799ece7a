#include "settings/settings_file.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace pellora {

std::string SettingsFilePath() {
  std::string folder;
  const char* own = std::getenv("PELLORA_CONFIG_DIR");
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (own && *own) {
    folder = own;
  } else if (xdg && *xdg == '/') { // a relative XDG_CONFIG_HOME is to be ignored
    folder = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!(home && *home))
      if (const passwd* user = getpwuid(getuid())) home = user->pw_dir;
    folder = std::string(home ? home : "") + "/.config";
  }
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder + "/Vantrel/Pellora.ini";
}

} // namespace pellora
