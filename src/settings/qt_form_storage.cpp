#include "settings/qt_form_storage.h"

#include "settings/qt_settings_storage.h"
#include "window_kit/error_report.h"

#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace pellora {

TQtFormStorage::TQtFormStorage(QWidget* window, std::string storagePath, TFormOptions options)
    : QObject(window), FWindow(window), FStoragePath(std::move(storagePath)), FOptions(options) {
  setObjectName("FormStorage");
}

void TQtFormStorage::AddInteger(std::string prop, std::function<int()> get,
                                std::function<void(int)> set) {
  FProps.push_back({std::move(prop), [get] { return TPropertyValue(int32_t(get())); },
                    [set](const TPropertyValue& value) { set(std::get<int32_t>(value)); }});
}

void TQtFormStorage::AddBoolean(std::string prop, std::function<bool()> get,
                                std::function<void(bool)> set) {
  FProps.push_back({std::move(prop), [get] { return TPropertyValue(get()); },
                    [set](const TPropertyValue& value) { set(std::get<bool>(value)); }});
}

void TQtFormStorage::AddList(std::string prop, std::function<std::vector<std::string>()> get,
                             std::function<void(const std::vector<std::string>&)> set) {
  FProps.push_back({std::move(prop), [get] { return TPropertyValue(get()); },
                    [set](const TPropertyValue& value) {
                      set(std::get<std::vector<std::string>>(value));
                    }});
}

void TQtFormStorage::AddItems(std::string prop, QComboBox* combo) {
  auto get = [combo] {
    std::vector<std::string> items;
    for (int i = 0; i < combo->count(); ++i)
      items.push_back(combo->itemText(i).toStdString());
    return items;
  };
  auto set = [combo](const std::vector<std::string>& items) {
    // The field's text is not an item: it stays as it is.
    const QString text = combo->currentText();
    combo->clear();
    for (const std::string& item : items)
      combo->addItem(QString::fromStdString(item));
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
  };
  AddList(std::move(prop), get, set);
}

TFormStorage TQtFormStorage::Storage() const {
  std::vector<std::string> names;
  for (const TProp& prop : FProps)
    names.push_back(prop.Name);
  return TFormStorage(AppRegistryStorage(), FStoragePath, FOptions, std::move(names));
}

QWidget* TQtFormStorage::PlacementWidget() const { return FSubWindow ? FSubWindow : FWindow; }

void TQtFormStorage::Restore() {
  if (FRestored) return;
  FRestored = true;
  FSaved = false;
  if (auto* sub = qobject_cast<QMdiSubWindow*>(FWindow->parentWidget())) {
    FSubWindow = sub;
    FNormal = sub->geometry();
    sub->installEventFilter(this);
  }
  RunGuarded([this] { Storage().Restore(*this); });
}

void TQtFormStorage::Save() {
  if (!FRestored) return;
  // Marked first: a save that failed has been reported and is not tried again at destruction.
  FSaved = true;
  RunGuarded([this] {
    TFormStorage storage = Storage();
    storage.Save(*this);
  });
}

void TQtFormStorage::SaveUnlessSaved() {
  if (!FSaved) Save();
}

bool TQtFormStorage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FSubWindow && (event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
      !(FSubWindow->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
    FNormal = FSubWindow->geometry();
  return QObject::eventFilter(watched, event);
}

std::string TQtFormStorage::ComponentName() const { return FWindow->objectName().toStdString(); }

TWindowPlacement TQtFormStorage::GetPlacement() const {
  QWidget* widget = PlacementWidget();
  TWindowPlacement placement;
  const Qt::WindowStates state = widget->windowState();
  if (state & Qt::WindowMinimized) {
    placement.ShowCmd = TWindowPlacement::ShowMinimized;
    if (state & Qt::WindowMaximized) placement.Flags |= TWindowPlacement::RestoreToMaximized;
    if (IsChild()) {
      placement.MinX = widget->x();
      placement.MinY = widget->y();
    }
  } else if (state & Qt::WindowMaximized) {
    placement.ShowCmd = TWindowPlacement::ShowMaximized;
  }
  QRect normal = IsChild() ? FNormal : widget->normalGeometry();
  if (!normal.isValid()) normal = widget->geometry();
  placement.Left = normal.left();
  placement.Top = normal.top();
  placement.Right = normal.left() + normal.width();
  placement.Bottom = normal.top() + normal.height();
  return placement;
}

void TQtFormStorage::SetPlacement(const TWindowPlacement& placement) {
  QRect rect(placement.Left, placement.Top, placement.Right - placement.Left,
             placement.Bottom - placement.Top);
  QWidget* widget = PlacementWidget();
  if (IsChild()) {
    FNormal = rect;
  } else {
    // As the platform's placement does: a window whose screen has gone comes back on one.
    QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (!screen) {
      screen = QGuiApplication::primaryScreen();
      QRect area = screen ? screen->availableGeometry() : QRect();
      if (area.isValid()) {
        rect.setSize(rect.size().boundedTo(area.size()));
        rect.moveCenter(area.center());
      }
    }
  }
  widget->setGeometry(rect);
}

int TQtFormStorage::PixelsPerInch() const {
  QScreen* screen = PlacementWidget()->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInch())) : 96;
}

bool TQtFormStorage::IsMainWindow() const { return !IsChild() && !FWindow->parentWidget(); }

bool TQtFormStorage::ApplicationMinimized() const { return FWindow->isMinimized(); }

bool TQtFormStorage::IsMinimizedChild() const { return IsChild() && FSubWindow->isMinimized(); }

void TQtFormStorage::SetWindowState(TWindowState state) {
  switch (state) {
  case TWindowState::Normal:
    PlacementWidget()->setWindowState(Qt::WindowNoState);
    break;
  case TWindowState::Minimized:
    PlacementWidget()->setWindowState(Qt::WindowMinimized);
    break;
  case TWindowState::Maximized:
    PlacementWidget()->setWindowState(Qt::WindowMaximized);
    break;
  }
}

std::optional<TPropertyValue> TQtFormStorage::GetProperty(const std::string& name) const {
  for (const TProp& prop : FProps)
    if (prop.Name == name) return prop.Get();
  return std::nullopt;
}

void TQtFormStorage::SetProperty(const std::string& name, const TPropertyValue& value) {
  for (const TProp& prop : FProps)
    if (prop.Name == name) prop.Set(value);
}

} // namespace pellora
