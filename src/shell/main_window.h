#pragma once
#include "discovery/store_discovery.h"
#include "window_kit/frame.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

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

// The multiple-document frame.
class Twnd_pl_Main : public QMainWindow, public TFrame {
  Q_OBJECT
public:
  // arguments: the command line without the program path.
  explicit Twnd_pl_Main(QStringList arguments = {}, QWidget* parent = nullptr);
  ~Twnd_pl_Main() override;

  void OpenPath(const std::string& path, TOpenKind kind) override;
  QList<TMdiChild*> Children() const;
  TMdiChild* ActiveChild() const;
  void CloseChild(TMdiChild* child) override;
  void ActivateChild(TMdiChild* child) override;
  void ChildClosed(TMdiChild& child) override;

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
  void AddChild(TMdiChild* window, const QString& caption, int imageIndex,
                const QString& hint) override;
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
  QList<QPointer<QAction>> FChildMenuActions; // go with the child's menus
  QList<QPointer<QAction>> FChildFileActions; // the active child's, in the File menu
  QAction* FChildFileSeparator = nullptr;
  QLabel* EmptyHint = nullptr;
  std::vector<TDiscoveredStore> FStoresFound; // listed in the empty frame
  QStringList FArguments;
  bool FShown = false;
  bool FNoUpdateCheck = false; // the command line holds "/NUC" or "-NUC"
};

} // namespace pellora
