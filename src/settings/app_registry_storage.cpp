#include "settings/app_registry_storage.h"

#include "platform/ascii.h"
#include "platform/pellora_error.h"

#include <charconv>

namespace pellora {
namespace {

// A DWORD's decimal text; written values are signed, values of other writers may be unsigned.
std::optional<int32_t> ParseInteger(std::string_view text) {
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < INT32_MIN || value > static_cast<int64_t>(UINT32_MAX)) return std::nullopt;
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string ItemName(size_t index) { return "Item" + std::to_string(index); }

// The index of an "Item<n>" value name, or -1.
int64_t ItemIndex(std::string_view name) {
  if (!name.starts_with("Item") || name.size() == 4) return -1;
  int64_t index = 0;
  auto [end, error] = std::from_chars(name.data() + 4, name.data() + name.size(), index);
  return error == std::errc() && end == name.data() + name.size() ? index : -1;
}

} // namespace

TAppRegistryStorage::TAppRegistryStorage(TSettingsStorage& storage, std::string root)
    : FStorage(storage), FRoot(std::move(root)) {}

std::pair<std::string, std::string> TAppRegistryStorage::Split(std::string_view path) const {
  size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos) return {FRoot, std::string(path)};
  return {FRoot + "\\" + std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
}

std::string TAppRegistryStorage::ListKey(std::string_view path) const {
  return FRoot + "\\" + std::string(path);
}

std::optional<std::string> TAppRegistryStorage::TryReadString(std::string_view path) const {
  auto [key, name] = Split(path);
  return FStorage.ReadValue(key, name);
}

std::optional<int32_t> TAppRegistryStorage::TryReadInteger(std::string_view path) const {
  std::optional<std::string> text = TryReadString(path);
  return text ? ParseInteger(*text) : std::nullopt;
}

std::optional<bool> TAppRegistryStorage::TryReadBoolean(std::string_view path) const {
  std::optional<std::string> text = TryReadString(path);
  if (!text) return std::nullopt;
  std::string upper = UpperCaseAscii(*text);
  if (upper == "TRUE" || upper == "YES" || upper == "Y") return true;
  if (upper == "FALSE" || upper == "NO" || upper == "N") return false;
  return std::nullopt;
}

std::optional<std::vector<std::string>>
TAppRegistryStorage::TryReadStrings(std::string_view path) const {
  const std::string key = ListKey(path);
  std::optional<std::string> countText = FStorage.ReadValue(key, "Count");
  std::optional<int32_t> count = countText ? ParseInteger(*countText) : std::nullopt;
  if (!count || *count < 0) return std::nullopt;
  std::vector<std::string> items;
  for (int32_t i = 0; i < *count; ++i)
    items.push_back(FStorage.ReadValue(key, ItemName(static_cast<size_t>(i))).value_or(""));
  return items;
}

int32_t TAppRegistryStorage::ReadInteger(std::string_view path, int32_t defaultValue) const {
  return TryReadInteger(path).value_or(defaultValue);
}

std::string TAppRegistryStorage::ReadString(std::string_view path,
                                            const std::string& defaultValue) const {
  return TryReadString(path).value_or(defaultValue);
}

bool TAppRegistryStorage::ReadBoolean(std::string_view path, bool defaultValue) const {
  return TryReadBoolean(path).value_or(defaultValue);
}

void TAppRegistryStorage::WriteInteger(std::string_view path, int32_t value) {
  auto [key, name] = Split(path);
  FStorage.WriteValue(key, name, TSettingType::Integer, std::to_string(value));
}

void TAppRegistryStorage::WriteString(std::string_view path, const std::string& value) {
  auto [key, name] = Split(path);
  FStorage.WriteValue(key, name, TSettingType::Text, value);
}

void TAppRegistryStorage::WriteBoolean(std::string_view path, bool value) {
  WriteString(path, value ? "TRUE" : "FALSE");
}

void TAppRegistryStorage::WriteStrings(std::string_view path,
                                       const std::vector<std::string>& items) {
  const std::string key = ListKey(path);
  for (const std::string& name : FStorage.ValueNames(key))
    if (int64_t index = ItemIndex(name); index >= 0 && static_cast<size_t>(index) >= items.size())
      FStorage.DeleteValue(key, name);
  FStorage.WriteValue(key, "Count", TSettingType::Integer, std::to_string(items.size()));
  for (size_t i = 0; i < items.size(); ++i)
    FStorage.WriteValue(key, ItemName(i), TSettingType::Text, items[i]);
}

bool TAppRegistryStorage::ValueExists(std::string_view path) const {
  return TryReadString(path).has_value();
}

bool TAppRegistryStorage::ListExists(std::string_view path) const {
  return FStorage.ReadValue(ListKey(path), "Count").has_value();
}

void TAppRegistryStorage::DeleteValue(std::string_view path) {
  auto [key, name] = Split(path);
  FStorage.DeleteValue(key, name);
}

void TAppRegistryStorage::Flush() {
  try {
    FStorage.Flush();
    FFailing = false;
  } catch (const EPelloraError&) {
    if (FFailing) return;
    FFailing = true;
    throw;
  }
}

} // namespace pellora
