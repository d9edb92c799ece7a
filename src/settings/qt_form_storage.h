#pragma once
// A window's form storage on the Qt side: the placement of a top-level window or of the frame's
// sub-window that holds it, and stored properties bound to the window's components.
#include "settings/form_storage.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QWidget;

namespace pellora {

class TQtFormStorage : public QObject, private TFormWindow {
  Q_OBJECT
public:
  // Lives as a child of its window; storagePath as TFormStorage takes it.
  TQtFormStorage(QWidget* window, std::string storagePath, TFormOptions options);

  // Stored properties, in the order they are written.
  void AddInteger(std::string prop, std::function<int()> get, std::function<void(int)> set);
  void AddBoolean(std::string prop, std::function<bool()> get, std::function<void(bool)> set);
  void AddList(std::string prop, std::function<std::vector<std::string>()> get,
               std::function<void(const std::vector<std::string>&)> set);
  // A combo box's items as a list of texts.
  void AddItems(std::string prop, QComboBox* combo);

  // Once, when the window is first shown: a top-level window before it shows, a child of the
  // frame once it sits in its sub-window and before that is maximized.
  void Restore();
  // When the window closes; again at destruction when it has not saved since it was shown. A
  // window never shown saves nothing. Failures are reported and go no further.
  void Save();
  void SaveUnlessSaved();

  bool Restored() const { return FRestored; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct TProp {
    std::string Name;
    std::function<TPropertyValue()> Get;
    std::function<void(const TPropertyValue&)> Set;
  };
  TFormStorage Storage() const;
  // The window that is moved and sized: the sub-window of a child of the frame, else the window.
  QWidget* PlacementWidget() const;
  bool IsChild() const { return FSubWindow != nullptr; }

  std::string ComponentName() const override;
  TWindowPlacement GetPlacement() const override;
  void SetPlacement(const TWindowPlacement& placement) override;
  int PixelsPerInch() const override;
  bool IsMainWindow() const override;
  bool ApplicationMinimized() const override;
  bool IsMinimizedChild() const override;
  void SetWindowState(TWindowState state) override;
  std::optional<TPropertyValue> GetProperty(const std::string& name) const override;
  void SetProperty(const std::string& name, const TPropertyValue& value) override;

  QWidget* FWindow;
  std::string FStoragePath;
  TFormOptions FOptions;
  std::vector<TProp> FProps;
  QWidget* FSubWindow = nullptr; // outlives nothing of ours: it owns the window
  QRect FNormal;                 // a sub-window's rectangle when last neither maximized nor minimized
  bool FRestored = false;
  bool FSaved = false;
};

} // namespace pellora
