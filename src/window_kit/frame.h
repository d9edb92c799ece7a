#pragma once
// The frame as the windows inside it see it: the base class of its child windows, what they ask
// of the frame, and the openers that make a window for each kind of path. The frame window
// itself (shell/) implements TFrame; nothing here knows it.
#include "stores/open_kind.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>

class QMenu;

namespace pellora {

class TFrame;
class TQtFormStorage;

// A child window of the frame: a message window or a mailbox window.
class TMdiChild : public QWidget {
  Q_OBJECT
public:
  explicit TMdiChild(QWidget* parent = nullptr) : QWidget(parent) {}
  // The class name as the program's windows are named ("Tmdi_pl_Msg").
  virtual const char* ClassName() const = 0;
  const QString& Hint() const { return FHint; }
  int ImageIndex() const { return FImageIndex; }
  // The frame that holds the window; none until the frame has added it.
  TFrame* Frame() const { return FFrame; }
  // The window's own menu, shown in the frame's menu bar before "&Windows" while it is active.
  virtual QMenu* ChildMenu() const { return nullptr; }
  // Its "&View" menu, shown after its own menu.
  virtual QMenu* ViewMenu() const { return nullptr; }
  // Its commands that the frame's File menu also offers while it is active, above Close.
  virtual QList<QAction*> FileActions() const { return {}; }
  // The window's settings: restored when the frame first shows it, saved when it closes.
  virtual TQtFormStorage* FormStorage() const { return nullptr; }
  // The window this one was opened from (a message's mailbox window): it comes to the front
  // again when this one closes.
  void SetOrigin(TMdiChild* origin) { FOrigin = origin; }
  TMdiChild* Origin() const { return FOrigin; }

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  friend class TFrame;
  QString FHint;
  int FImageIndex = -1;
  TFrame* FFrame = nullptr;
  QPointer<TMdiChild> FOrigin;
};

// What the windows need of the frame: the one way to add a window to the program, and the
// frame's part when one closes.
class TFrame {
public:
  // Creates a child window of class T inside the frame, maximized, with its caption, icon and
  // hint; the caller loads it.
  template <class T, class... Args>
  T* CreateChild(const QString& caption, int imageIndex, const QString& hint, Args&&... args) {
    T* window = new T(std::forward<Args>(args)...);
    AddChild(window, caption, imageIndex, hint);
    return window;
  }
  // Opens a path of a kind in a new child window, through the opener of the kind.
  virtual void OpenPath(const std::string& path, TOpenKind kind) = 0;
  virtual void CloseChild(TMdiChild* child) = 0;
  // Brings a child window to the front, restored when it was minimized.
  virtual void ActivateChild(TMdiChild* child) = 0;
  // A child window has accepted its close: its settings are saved and the window it was opened
  // from comes back.
  virtual void ChildClosed(TMdiChild& child) = 0;

protected:
  ~TFrame() = default;
  // Shows a new child window in the frame, with its caption, the image of that index and hint.
  virtual void AddChild(TMdiChild* window, const QString& caption, int imageIndex,
                        const QString& hint) = 0;
  // Tells a child window, as it is added, its frame, hint and image.
  void Adopt(TMdiChild& child, const QString& hint, int imageIndex) {
    child.FFrame = this;
    child.FHint = hint;
    child.FImageIndex = imageIndex;
  }
};

// Opens a path of one kind in a new child window of the frame. The windows register theirs when
// the program starts; the frame's OpenPath calls them.
using TOpener = std::function<void(TFrame& frame, const std::string& path)>;
void RegisterOpener(TOpenKind kind, TOpener opener);
// The opener of a kind; nullptr when none is registered.
const TOpener* OpenerOf(TOpenKind kind);

} // namespace pellora
