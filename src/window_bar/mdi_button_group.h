#pragma once
#include "window_bar/button_group.h"

class QAction;
class QMainWindow;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace pellora {

// The frame's window bar: one button per child window in opening order, the active window's
// selected, and a context menu acting on the window whose button was pressed.
class TMDIButtonGroup : public TButtonGroupEx {
  Q_OBJECT
public:
  // Goes on a frame with a multiple-document area, once; raises EPelloraError otherwise.
  TMDIButtonGroup(QMainWindow* frame, QMdiArea* area);

  void SetImages(std::function<QIcon(int)> images, int count);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool autoSize);

  // Gives a child window its button (nothing for none, or for a window that has one).
  void AddWindow(QWidget* window, int imageIndex, const QString& hint);
  QWidget* WindowOfButton(int index) const;
  int ButtonOfWindow(const QWidget* window) const;
  // Closes every child window, last to first; minimizes them the same way.
  void CloseAll();
  void MinimizeAll();
  // A minimized window leaves the area (its button stands for it) and comes back as it was
  // before: maximized, or at its place and size, inside the area.
  void RestoreWindow(QMdiSubWindow* sub);

  // The button under the mouse at the last press on the bar; -1 when that hit no button.
  int PressedIndex() const { return FPressedIndex; }
  // The per-window actions are enabled exactly when the pressed index names a button.
  void UpdateActions();
  // Prepares the menu as it opens: its title item names the pressed button's window.
  void WinBarMenuPopup();

  QMenu* WinBarMenu = nullptr;
  QAction* wacTitle = nullptr;
  QAction* wacRestore = nullptr;
  QAction* wacMinimize = nullptr;
  QAction* wacMaximize = nullptr;
  QAction* wacMinAll = nullptr;
  QAction* wacCloseAll = nullptr;
  QAction* wacClose = nullptr;
  QAction* wacAutoSize = nullptr;

protected:
  void UpdateLayout() override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void CreateMenu();
  QMdiSubWindow* SubWindowOf(const QWidget* window) const;
  void ButtonClick(int index);
  void WindowActivated(QMdiSubWindow* sub);
  void WindowDestroyed(QObject* window);
  void wacTitleExecute();
  void wacStateExecute(QAction* action);

  QMdiArea* FArea;
  bool FAutoSize = true;
  int FPressedIndex = -1;
  QString FNoneCaption; // the title item's own text, while the menu shows a window's caption
};

} // namespace pellora
