#pragma once
// The program's settings store (component AppRegistryStorage): typed values addressed by paths
// relative to the root key, as the windows' form storages write them.
#include "settings/settings_storage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

inline constexpr std::string_view SettingsRootKey = "SOFTWARE\\Vantrel\\Pellora\\1.x";

// A path is key names and a value name separated by "\" ("mdi_pl_Viewer\HeaderPanel_Height");
// keys are created when a value is first written.
class TAppRegistryStorage {
public:
  explicit TAppRegistryStorage(TSettingsStorage& storage,
                               std::string root = std::string(SettingsRootKey));

  // nullopt when the value is absent or its text is not of the type asked for.
  std::optional<int32_t> TryReadInteger(std::string_view path) const;
  std::optional<std::string> TryReadString(std::string_view path) const;
  // "TRUE", "YES", "Y" and "FALSE", "NO", "N", ASCII case ignored.
  std::optional<bool> TryReadBoolean(std::string_view path) const;
  // A list is a key of its own: "Count" and "Item0", "Item1", ...; nullopt without "Count".
  std::optional<std::vector<std::string>> TryReadStrings(std::string_view path) const;

  int32_t ReadInteger(std::string_view path, int32_t defaultValue) const;
  std::string ReadString(std::string_view path, const std::string& defaultValue) const;
  bool ReadBoolean(std::string_view path, bool defaultValue) const;

  void WriteInteger(std::string_view path, int32_t value);
  void WriteString(std::string_view path, const std::string& value);
  void WriteBoolean(std::string_view path, bool value);
  // Writes "Count" and the items, and deletes "Item" values left from a longer list.
  void WriteStrings(std::string_view path, const std::vector<std::string>& items);

  bool ValueExists(std::string_view path) const;
  bool ListExists(std::string_view path) const;
  void DeleteValue(std::string_view path);

  // Makes the writes last. A failure is raised once; while writing keeps failing, later failures
  // stay quiet (a program that quits with five windows open reports a read-only folder once).
  void Flush();

private:
  // The full key path and the value name of a path.
  std::pair<std::string, std::string> Split(std::string_view path) const;
  std::string ListKey(std::string_view path) const;

  TSettingsStorage& FStorage;
  std::string FRoot;
  bool FFailing = false;
};

} // namespace pellora
