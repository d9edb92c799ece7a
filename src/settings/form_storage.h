#pragma once
// A window's form storage (component FormStorage): where the window was and how large, and the
// stored properties of its components, written below the window's storage path and applied
// again when the window is next shown.
#include "settings/app_registry_storage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pellora {

// The platform's window placement; the normal rectangle's right and bottom lie just outside it.
struct TWindowPlacement {
  enum : uint32_t { SetMinPosition = 1, RestoreToMaximized = 2 };
  enum : uint32_t { ShowNormal = 1, ShowMinimized = 2, ShowMaximized = 3 };
  uint32_t Flags = 0;
  uint32_t ShowCmd = ShowNormal;
  int MinX = -1, MinY = -1, MaxX = -1, MaxY = -1;
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

enum class TWindowState { Normal, Minimized, Maximized };

// Integer, Boolean and list-of-texts properties.
using TPropertyValue = std::variant<int32_t, bool, std::vector<std::string>>;

// What the form storage needs of a window.
class TFormWindow {
public:
  virtual ~TFormWindow() = default;
  virtual std::string ComponentName() const = 0;
  virtual TWindowPlacement GetPlacement() const = 0;
  // Sets the placement with the platform's automatic positioning switched off.
  virtual void SetPlacement(const TWindowPlacement& placement) = 0;
  virtual int PixelsPerInch() const = 0;
  virtual bool IsMainWindow() const = 0;
  virtual bool ApplicationMinimized() const = 0;
  virtual bool IsMinimizedChild() const = 0;
  virtual void SetWindowState(TWindowState state) = 0;
  // A stored property's current value ("HeaderPanel.Height"); nullopt for a component the
  // window lacks. Its type decides how the value is written and read.
  virtual std::optional<TPropertyValue> GetProperty(const std::string& name) const = 0;
  virtual void SetProperty(const std::string& name, const TPropertyValue& value) = 0;
};

struct TFormOptions {
  bool KeepState = false;     // show command: only the frame keeps it
  bool KeepPlacement = false; // size and position
  TWindowState DefaultState = TWindowState::Maximized; // when no known show command is stored
};

class TFormStorage {
public:
  // storagePath ends with "\"; "%FORM_NAME%" in it stands for the window's component name.
  TFormStorage(TAppRegistryStorage& storage, std::string storagePath, TFormOptions options,
               std::vector<std::string> storedProps);

  // Applies the stored placement (when written at the screen's current pixels per inch), the
  // stored state and the stored properties; absent or unreadable values leave the form's own.
  void Restore(TFormWindow& window) const;
  // Writes every value again and makes the writes last.
  void Save(TFormWindow& window);

  std::string StoragePath(const TFormWindow& window) const;
  const std::vector<std::string>& StoredProps() const { return FStoredProps; }

private:
  TAppRegistryStorage& FStorage;
  std::string FStoragePath;
  TFormOptions FOptions;
  std::vector<std::string> FStoredProps;
};

// "HeaderPanel.Height" is kept as "HeaderPanel_Height".
std::string StoredPropValueName(std::string_view prop);
// "%d,%d,%d,%d" and back; false unless the text is four integers separated by commas.
std::string FormatPosition(int a, int b, int c, int d);
bool ParsePosition(std::string_view text, int (&values)[4]);
// Show commands 1, 5, 9 normal; 2, 6, 7 minimized; 3 maximized; any other the default.
TWindowState StateOfShowCmd(int32_t showCmd, TWindowState defaultState);

} // namespace pellora
