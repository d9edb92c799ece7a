#include "settings/form_storage.h"

#include "platform/ascii.h"

#include <charconv>

namespace pellora {

std::string StoredPropValueName(std::string_view prop) {
  std::string name(prop);
  for (char& c : name)
    if (c == '.') c = '_';
  return name;
}

std::string FormatPosition(int a, int b, int c, int d) {
  return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
         std::to_string(d);
}

bool ParsePosition(std::string_view text, int (&values)[4]) {
  int parsed[4];
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (p == end || *p != ',') return false;
      ++p;
    }
    auto [next, error] = std::from_chars(p, end, parsed[i]);
    if (error != std::errc()) return false;
    p = next;
  }
  if (p != end) return false;
  std::copy(parsed, parsed + 4, values);
  return true;
}

TWindowState StateOfShowCmd(int32_t showCmd, TWindowState defaultState) {
  switch (showCmd) {
  case 1:
  case 5:
  case 9:
    return TWindowState::Normal;
  case 2:
  case 6:
  case 7:
    return TWindowState::Minimized;
  case 3:
    return TWindowState::Maximized;
  default:
    return defaultState;
  }
}

TFormStorage::TFormStorage(TAppRegistryStorage& storage, std::string storagePath,
                           TFormOptions options, std::vector<std::string> storedProps)
    : FStorage(storage), FStoragePath(std::move(storagePath)), FOptions(options),
      FStoredProps(std::move(storedProps)) {}

std::string TFormStorage::StoragePath(const TFormWindow& window) const {
  static constexpr std::string_view token = "%FORM_NAME%";
  std::string path = FStoragePath;
  for (size_t i = 0; i + token.size() <= path.size();) {
    if (SameTextAscii(std::string_view(path).substr(i, token.size()), token)) {
      std::string name = window.ComponentName();
      path.replace(i, token.size(), name);
      i += name.size();
    } else {
      ++i;
    }
  }
  return path;
}

void TFormStorage::Restore(TFormWindow& window) const {
  const std::string path = StoragePath(window);
  if (FOptions.KeepPlacement) {
    TWindowPlacement placement = window.GetPlacement();
    placement.Flags =
        static_cast<uint32_t>(FStorage.ReadInteger(path + "Flags", static_cast<int32_t>(placement.Flags)));
    // A position text that is not four numbers counts as absent.
    bool found = false;
    int values[4];
    if (auto text = FStorage.TryReadString(path + "MinMaxPos"); text && ParsePosition(*text, values)) {
      placement.MinX = values[0];
      placement.MinY = values[1];
      placement.MaxX = values[2];
      placement.MaxY = values[3];
      found = true;
    }
    if (auto text = FStorage.TryReadString(path + "NormPos"); text && ParsePosition(*text, values)) {
      placement.Left = values[0];
      placement.Top = values[1];
      placement.Right = values[2];
      placement.Bottom = values[3];
      found = true;
    }
    if (found) {
      const int current = window.PixelsPerInch();
      // Positions written for another screen density would put the window elsewhere.
      if (FStorage.ReadInteger(path + "PixelsPerInch", current) == current &&
          placement.Left < placement.Right)
        window.SetPlacement(placement);
    }
  }
  if (FOptions.KeepState)
    window.SetWindowState(StateOfShowCmd(FStorage.ReadInteger(path + "ShowCmd", 0),
                                         FOptions.DefaultState));
  for (const std::string& prop : FStoredProps) {
    std::optional<TPropertyValue> current = window.GetProperty(prop);
    if (!current) continue;
    const std::string valuePath = path + StoredPropValueName(prop);
    // What cannot be read as the property's type leaves the form's value.
    if (std::holds_alternative<int32_t>(*current)) {
      if (auto value = FStorage.TryReadInteger(valuePath)) window.SetProperty(prop, *value);
    } else if (std::holds_alternative<bool>(*current)) {
      if (auto value = FStorage.TryReadBoolean(valuePath)) window.SetProperty(prop, *value);
    } else if (auto value = FStorage.TryReadStrings(valuePath)) {
      window.SetProperty(prop, *value);
    }
  }
}

void TFormStorage::Save(TFormWindow& window) {
  const std::string path = StoragePath(window);
  TWindowPlacement placement = window.GetPlacement();
  if (window.IsMainWindow() && window.ApplicationMinimized())
    placement.ShowCmd = TWindowPlacement::ShowMinimized;
  if (window.IsMinimizedChild()) placement.Flags |= TWindowPlacement::SetMinPosition;

  FStorage.WriteInteger(path + "FormVersion", 0);
  if (FOptions.KeepState)
    FStorage.WriteInteger(path + "ShowCmd", static_cast<int32_t>(placement.ShowCmd));
  if (FOptions.KeepPlacement) {
    FStorage.WriteInteger(path + "Flags", static_cast<int32_t>(placement.Flags));
    FStorage.WriteInteger(path + "PixelsPerInch", window.PixelsPerInch());
    FStorage.WriteString(path + "MinMaxPos",
                         FormatPosition(placement.MinX, placement.MinY, placement.MaxX, placement.MaxY));
    FStorage.WriteString(path + "NormPos", FormatPosition(placement.Left, placement.Top,
                                                          placement.Right, placement.Bottom));
  }
  for (const std::string& prop : FStoredProps) {
    std::optional<TPropertyValue> value = window.GetProperty(prop);
    if (!value) continue;
    const std::string valuePath = path + StoredPropValueName(prop);
    if (auto* number = std::get_if<int32_t>(&*value))
      FStorage.WriteInteger(valuePath, *number);
    else if (auto* flag = std::get_if<bool>(&*value))
      FStorage.WriteBoolean(valuePath, *flag);
    else
      FStorage.WriteStrings(valuePath, std::get<std::vector<std::string>>(*value));
  }
  FStorage.Flush();
}

} // namespace pellora
