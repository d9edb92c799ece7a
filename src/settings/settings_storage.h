#pragma once
// The store the program's own settings live in: keys named by paths of names separated by "\",
// each holding named values of two types (the registry's REG_DWORD and REG_SZ). The logic above
// it (app_registry_storage.h, form_storage.h) runs against any such store.
#include <optional>
#include <string>
#include <vector>

namespace pellora {

enum class TSettingType { Integer, Text };

class TSettingsStorage {
public:
  virtual ~TSettingsStorage() = default;
  // The value as text (an integer in decimal); nullopt when it does not exist.
  virtual std::optional<std::string> ReadValue(const std::string& key,
                                               const std::string& name) const = 0;
  // Creates the key when needed.
  virtual void WriteValue(const std::string& key, const std::string& name, TSettingType type,
                          const std::string& data) = 0;
  virtual void DeleteValue(const std::string& key, const std::string& name) = 0;
  // The names of the values directly in a key.
  virtual std::vector<std::string> ValueNames(const std::string& key) const = 0;
  // Puts what was written where it lasts; raises EPelloraError when it cannot.
  virtual void Flush() = 0;
};

} // namespace pellora
