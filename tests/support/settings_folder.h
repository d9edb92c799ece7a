#pragma once
// The program's settings in a fresh folder of their own for as long as this object lives, so
// that no test reads or writes the user's settings, nor what an earlier run left. Made first
// thing in a test's main, before anything reaches the settings store.
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <string>

namespace pellora::test {

class TSettingsFolder {
public:
  TSettingsFolder() : FEnv("PELLORA_CONFIG_DIR", FDir.Path().c_str()) {}
  const std::string& Path() const { return FDir.Path(); }
  // The INI file the settings are written to.
  std::string IniFile() const { return FDir.Path() + "/Vantrel/Pellora.ini"; }

private:
  TTempDir FDir;
  TScopedEnv FEnv;
};

} // namespace pellora::test
