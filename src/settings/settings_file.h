#pragma once
#include <string>

namespace pellora {

// The file that holds the settings here: "Vantrel/Pellora.ini" in $PELLORA_CONFIG_DIR, else in
// $XDG_CONFIG_HOME, else in ~/.config.
std::string SettingsFilePath();

} // namespace pellora
