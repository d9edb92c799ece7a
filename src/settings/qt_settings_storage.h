#pragma once
// The settings store on Linux: an INI file through QSettings, the registry's key paths kept as
// its group paths.
#include "settings/app_registry_storage.h"

#include <QSettings>
#include <QString>

namespace pellora {

class TQtSettingsStorage : public TSettingsStorage {
public:
  explicit TQtSettingsStorage(const QString& fileName);
  std::optional<std::string> ReadValue(const std::string& key,
                                       const std::string& name) const override;
  void WriteValue(const std::string& key, const std::string& name, TSettingType type,
                  const std::string& data) override;
  void DeleteValue(const std::string& key, const std::string& name) override;
  std::vector<std::string> ValueNames(const std::string& key) const override;
  // Raises "Settings could not be saved to %s." when the file cannot be written.
  void Flush() override;

private:
  QString FFileName;
  mutable QSettings FSettings;
};

// The program's settings store, over the file of SettingsFilePath() as it is at first use.
TAppRegistryStorage& AppRegistryStorage();

} // namespace pellora
