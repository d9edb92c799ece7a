#include "window_bar/mdi_button_group.h"

#include "platform/pellora_error.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTimer>

#include <algorithm>

namespace pellora {
namespace {

constexpr int BorderAllowance = 6; // 2 pixels, and 2 for each of the top and bottom bevel edges

QMainWindow* CheckedFrame(QMainWindow* frame, QMdiArea* area) {
  if (!frame) throw EPelloraError("MDIButtonGroup can be put only on Form.");
  if (!area) throw EPelloraError("MDIButtonGroup can be put only on MDIForm.");
  if (frame->findChild<TMDIButtonGroup*>())
    throw EPelloraError("Only one MDIButtonGroup can be put on MDIForm.");
  return frame;
}

} // namespace

TMDIButtonGroup::TMDIButtonGroup(QMainWindow* frame, QMdiArea* area)
    : TButtonGroupEx(CheckedFrame(frame, area)), FArea(area) {
  setObjectName("mdibg");
  setViewportMargins(2, BorderAllowance / 2, 2, BorderAllowance / 2);
  setBackgroundRole(QPalette::Button);
  viewport()->setCursor(Qt::PointingHandCursor);
  SetButtonSize(100, 22);
  CreateMenu();
  connect(this, &TButtonGroupEx::ButtonClicked, this, &TMDIButtonGroup::ButtonClick);
  connect(FArea, &QMdiArea::subWindowActivated, this, &TMDIButtonGroup::WindowActivated);
  UpdateLayout();
}

void TMDIButtonGroup::CreateMenu() {
  WinBarMenu = new QMenu(this);
  WinBarMenu->setObjectName("WinBarMenu");
  auto add = [this](const char* name, const QString& caption, const char* item) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    action->setProperty("menuItem", QString(item));
    WinBarMenu->addAction(action);
    return action;
  };
  wacTitle = add("wacTitle", "<none>", "pmTitle");
  connect(wacTitle, &QAction::triggered, this, &TMDIButtonGroup::wacTitleExecute);
  WinBarMenu->addSeparator();
  wacRestore = add("wacRestore", "Restore", "pmRestore");
  wacMinimize = add("wacMinimize", "Minimize", "pmMinimize");
  wacMaximize = add("wacMaximize", "Maximize", "pmMaximize");
  int tag = 0;
  for (QAction* action : {wacRestore, wacMinimize, wacMaximize}) {
    action->setProperty("Tag", tag++);
    connect(action, &QAction::triggered, this, [this, action] { wacStateExecute(action); });
  }
  WinBarMenu->addSeparator();
  wacMinAll = add("wacMinAll", "Minimize All", "pmMinimizeAll");
  connect(wacMinAll, &QAction::triggered, this, &TMDIButtonGroup::MinimizeAll);
  wacCloseAll = add("wacCloseAll", "Close All", "pmCloseAll");
  connect(wacCloseAll, &QAction::triggered, this, &TMDIButtonGroup::CloseAll);
  WinBarMenu->addSeparator();
  wacClose = add("wacClose", "Close", "pmClose");
  connect(wacClose, &QAction::triggered, this, [this] {
    if (QMdiSubWindow* sub = SubWindowOf(WindowOfButton(FPressedIndex))) sub->close();
  });
  WinBarMenu->setDefaultAction(wacClose);
  WinBarMenu->addSeparator();
  wacAutoSize = add("wacAutoSize", "Auto Size", "AutoSize1");
  wacAutoSize->setCheckable(true);
  wacAutoSize->setChecked(FAutoSize);
  connect(wacAutoSize, &QAction::triggered, this, [this](bool checked) { SetAutoSize(checked); });
  connect(WinBarMenu, &QMenu::aboutToHide, this, [this] {
    if (!FNoneCaption.isNull()) wacTitle->setText(FNoneCaption);
    FNoneCaption = QString();
  });
}

void TMDIButtonGroup::SetImages(std::function<QIcon(int)> images, int count) {
  TButtonGroupEx::SetImages(images, count);
  QAction* imaged[] = {wacTitle, wacRestore, wacMinimize, wacMaximize, wacClose};
  for (int i = 0; i < 5; ++i)
    if (i < count) imaged[i]->setIcon(images(i));
}

void TMDIButtonGroup::SetAutoSize(bool autoSize) {
  FAutoSize = autoSize;
  wacAutoSize->setChecked(autoSize);
  UpdateLayout();
}

void TMDIButtonGroup::UpdateLayout() {
  setVerticalScrollBarPolicy(FAutoSize ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  int rows = FAutoSize ? Rows() : 1;
  setFixedHeight(BorderAllowance + rows * ButtonHeight());
  TButtonGroupEx::UpdateLayout();
}

QMdiSubWindow* TMDIButtonGroup::SubWindowOf(const QWidget* window) const {
  for (QWidget* w = window ? window->parentWidget() : nullptr; w; w = w->parentWidget())
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) return sub;
  return nullptr;
}

void TMDIButtonGroup::AddWindow(QWidget* window, int imageIndex, const QString& hint) {
  if (!window || ButtonOfWindow(window) >= 0) return;
  // The caption as it is now: later changes are not followed.
  int index = AddItem({window->windowTitle(), hint, imageIndex, window});
  window->setStatusTip(hint);
  if (QMdiSubWindow* sub = SubWindowOf(window))
    connect(sub, &QMdiSubWindow::windowStateChanged, this,
            [sub](Qt::WindowStates before, Qt::WindowStates now) {
              if (!(now & Qt::WindowMinimized) || (before & Qt::WindowMinimized)) return;
              // The bar's button is the minimized window: no second title bar in the area.
              sub->setProperty("restoreMaximized", bool(before & Qt::WindowMaximized));
              QTimer::singleShot(0, sub, [sub] {
                if (sub->isMinimized()) sub->hide();
              });
            });
  connect(window, &QObject::destroyed, this, &TMDIButtonGroup::WindowDestroyed);
  SetItemIndex(index);
  ScrollIntoView(index);
}

QWidget* TMDIButtonGroup::WindowOfButton(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return qobject_cast<QWidget*>(Item(index).data.data());
}

int TMDIButtonGroup::ButtonOfWindow(const QWidget* window) const {
  for (int i = 0; i < Count(); ++i)
    if (window && Item(i).data == window) return i;
  return -1;
}

void TMDIButtonGroup::WindowActivated(QMdiSubWindow* sub) {
  if (!sub) return;
  int index = ButtonOfWindow(sub->widget());
  if (index < 0) return;
  SetItemIndex(index);
  ScrollIntoView(index);
}

void TMDIButtonGroup::WindowDestroyed(QObject* window) {
  // A widget reports its end before its pointers are cleared.
  for (int i = Count() - 1; i >= 0; --i)
    if (!Item(i).data || Item(i).data == window) RemoveItem(i);
  if (FPressedIndex >= Count()) FPressedIndex = -1;
  QMdiSubWindow* active = FArea->activeSubWindow();
  SetItemIndex(active ? ButtonOfWindow(active->widget()) : -1);
}

void TMDIButtonGroup::ButtonClick(int index) {
  QWidget* window = WindowOfButton(index);
  QMdiSubWindow* sub = SubWindowOf(window);
  if (!sub) return;
  if (sub->isMinimized() || sub->isHidden()) RestoreWindow(sub);
  FArea->setActiveSubWindow(sub);
  sub->raise();
  window->setFocus();
}

void TMDIButtonGroup::RestoreWindow(QMdiSubWindow* sub) {
  sub->show();
  if (sub->property("restoreMaximized").toBool()) {
    sub->showMaximized();
    return;
  }
  sub->showNormal();
  // Inside the area, however it was left or the area has shrunk since.
  const QRect area = FArea->viewport()->rect();
  QRect place = sub->geometry();
  place.setSize(place.size().boundedTo(area.size()));
  place.moveLeft(std::clamp(place.left(), area.left(), area.right() + 1 - place.width()));
  place.moveTop(std::clamp(place.top(), area.top(), area.bottom() + 1 - place.height()));
  sub->setGeometry(place);
}

void TMDIButtonGroup::CloseAll() {
  QList<QMdiSubWindow*> windows = FArea->subWindowList(QMdiArea::CreationOrder);
  for (auto it = windows.rbegin(); it != windows.rend(); ++it)
    (*it)->close();
}

void TMDIButtonGroup::MinimizeAll() {
  // While the active window is maximized, every window shows maximized when it comes forward:
  // so each comes back.
  QMdiSubWindow* active = FArea->activeSubWindow();
  const bool maximizedView = active && active->isMaximized();
  QList<QMdiSubWindow*> windows = FArea->subWindowList(QMdiArea::CreationOrder);
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if ((*it)->isMinimized()) continue;
    const bool maximized = maximizedView || (*it)->isMaximized();
    (*it)->showMinimized();
    (*it)->setProperty("restoreMaximized", maximized);
  }
}

void TMDIButtonGroup::mousePressEvent(QMouseEvent* event) {
  FPressedIndex = IndexOfButtonAt(event->position().toPoint());
  UpdateActions();
  TButtonGroupEx::mousePressEvent(event);
}

void TMDIButtonGroup::contextMenuEvent(QContextMenuEvent* event) {
  WinBarMenuPopup();
  WinBarMenu->exec(event->globalPos());
}

void TMDIButtonGroup::UpdateActions() {
  bool any = WindowOfButton(FPressedIndex) != nullptr;
  for (QAction* action : {wacTitle, wacRestore, wacMinimize, wacMaximize, wacClose})
    action->setEnabled(any);
}

void TMDIButtonGroup::WinBarMenuPopup() {
  UpdateActions();
  if (FNoneCaption.isNull()) FNoneCaption = wacTitle->text();
  QWidget* window = WindowOfButton(FPressedIndex);
  wacTitle->setText(window ? window->windowTitle() : FNoneCaption);
}

void TMDIButtonGroup::wacTitleExecute() {
  QWidget* window = WindowOfButton(FPressedIndex);
  QMdiSubWindow* sub = SubWindowOf(window);
  if (!sub) return;
  FArea->setActiveSubWindow(sub);
  sub->raise();
  window->setFocus();
}

void TMDIButtonGroup::wacStateExecute(QAction* action) {
  QMdiSubWindow* sub = SubWindowOf(WindowOfButton(FPressedIndex));
  if (!sub) return;
  switch (action->property("Tag").toInt()) {
  case 0:
    sub->setProperty("restoreMaximized", false);
    RestoreWindow(sub);
    break;
  case 1:
    // A window in the background would come forward maximized while another is maximized.
    FArea->setActiveSubWindow(sub);
    sub->showMinimized();
    break;
  case 2:
    sub->show();
    sub->showMaximized();
    break;
  default:
    break;
  }
}

} // namespace pellora
