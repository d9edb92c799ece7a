#pragma once
#include "discovery/store_discovery.h"
#include "stores/open_kind.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QLabel;
class QMenu;

namespace pellora {

class TAppInstances;
class TMDIButtonGroup;
class TQtFormStorage;
class TQtLanguageController;
class TWebUpdate;

// A child window of the frame: a message window or a mailbox window.
class TMdiChild : public QWidget {
  Q_OBJECT
public:
  explicit TMdiChild(QWidget* parent = nullptr) : QWidget(parent) {}
  // The class name as the program's windows are named ("Tmdi_pl_Msg").
  virtual const char* ClassName() const = 0;
  const QString& Hint() const { return FHint; }
  int ImageIndex() const { return FImageIndex; }
  // The window's own menu, shown in the frame's menu bar before "&Windows" while it is active.
  virtual QMenu* ChildMenu() const { return nullptr; }
  // The window's settings: restored when the frame first shows it, saved when it closes.
  virtual TQtFormStorage* FormStorage() const { return nullptr; }
  // The window this one was opened from (a message's mailbox window): it comes to the front
  // again when this one closes.
  void SetOrigin(TMdiChild* origin) { FOrigin = origin; }
  TMdiChild* Origin() const { return FOrigin; }

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  friend class Twnd_pl_Main;
  QString FHint;
  int FImageIndex = -1;
  QPointer<TMdiChild> FOrigin;
};

class Twnd_pl_Main;
// Opens a path of one kind in a new child window of the frame.
using TOpener = std::function<void(Twnd_pl_Main& frame, const std::string& path)>;
void RegisterOpener(TOpenKind kind, TOpener opener);

// The multiple-document frame.
class Twnd_pl_Main : public QMainWindow {
  Q_OBJECT
public:
  // arguments: the command line without the program path.
  explicit Twnd_pl_Main(QStringList arguments = {}, QWidget* parent = nullptr);
  ~Twnd_pl_Main() override;

  static Twnd_pl_Main* Instance();

  void OpenPath(const std::string& path, TOpenKind kind);

  // Creates a child window of class T inside the frame, maximized, with its caption, icon and
  // hint; the caller loads it.
  template <class T, class... Args>
  T* CreateChild(const QString& caption, int imageIndex, const QString& hint, Args&&... args) {
    T* window = new T(std::forward<Args>(args)...);
    AddChild(window, caption, imageIndex, hint);
    return window;
  }
  QList<TMdiChild*> Children() const;
  TMdiChild* ActiveChild() const;
  void CloseChild(TMdiChild* child);
  // Brings a child window to the front, restored when it was minimized.
  void ActivateChild(TMdiChild* child);

  QMdiArea* MdiArea() const { return FMdi; }
  QMenuBar* MainMenu() const;
  // Child windows insert their own menus before this one ("&Windows").
  QAction* WindowsMenuAction() const;

  // Handles the arguments of a later start, as at first show.
  void AppInstancesCmdLineReceived(const QStringList& lines);
  // Takes the arguments that later starts hand over to this instance: the frame comes to the
  // front and opens them.
  void TakeHandOvers(TAppInstances& instances);
  void UpdateActions();

  QAction* acOpen = nullptr;
  QAction* acCloseChild = nullptr;
  QAction* acExit = nullptr;
  QAction* acAbout = nullptr;
  QAction* acWinCascade = nullptr;
  QAction* acWinTileHorizontal = nullptr;
  QAction* acWinTileVertical = nullptr;
  TMDIButtonGroup* mdibg = nullptr;
  TWebUpdate* WebUpdate = nullptr;
  TQtLanguageController* LanguageController = nullptr;
  TQtFormStorage* FormStorage = nullptr;

  // The stored placement and state are applied before the frame first shows.
  void setVisible(bool visible) override;

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void FormCreate();
  void FormShow();
  void FormClose();
  void CreateActions();
  void CreateMenus();
  void AddChild(TMdiChild* window, const QString& caption, int imageIndex, const QString& hint);
  void OpenArguments(const QStringList& arguments);
  // While no window is open, the frame tells how to open one and lists the stores found.
  void UpdateEmptyHint();
  void EmptyHintLinkActivated(const QString& link);
  void acOpenExecute();
  void acCloseChildExecute();
  void acAboutExecute();
  void TileChildren(Qt::Orientation orientation);
  void FillWindowList();
  void ShowChildMenu();
  void StartLanguages();
  void WebUpdateUpdateAvailable(const std::string& current, bool& mayUpdate,
                                const std::string& newVersion);
  void WebUpdateBeforeShowInfo(bool& showInfo);

  QMdiArea* FMdi = nullptr;
  QMenu* File1 = nullptr;
  QMenu* Windows1 = nullptr;
  QList<QAction*> FWindowListActions;
  QPointer<QAction> FChildMenuAction; // goes with the child's menu
  QLabel* EmptyHint = nullptr;
  std::vector<TDiscoveredStore> FStoresFound; // listed in the empty frame
  QStringList FArguments;
  bool FShown = false;
  bool FNoUpdateCheck = false; // the command line holds "/NUC" or "-NUC"
};

} // namespace pellora
