#include "shell/main_window.h"

#include "discovery/open_wizard.h"
#include "discovery/store_browser.h"
#include "i18n/format_text.h"
#include "i18n/language_manager.h"
#include "i18n/localized_text.h"
#include "i18n/language_setup.h"
#include "i18n/qt_language_controller.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "platform/qt_locale.h"
#include "platform/qt_platform.h"
#include "platform/codepage.h"
#include "settings/qt_form_storage.h"
#include "shell/about_dialog.h"
#include "shell/app_instances.h"
#include "stores/kinds/store_kinds.h"
#include "stores/mailbox.h"
#include "update/qt_web_update.h"
#include "window_bar/mdi_button_group.h"
#include "window_kit/error_report.h"
#include "window_kit/message_box_texts.h"
#include "window_kit/message_boxes.h"
#include "window_kit/window_images.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace pellora {
namespace {

// QT_LOGGING_RULES="pellora.windows.debug=true" names each child window as it is shown: a check
// of an installed program sees it open what it was given.
Q_LOGGING_CATEGORY(lcWindows, "pellora.windows", QtWarningMsg)

} // namespace

Twnd_pl_Main::Twnd_pl_Main(QStringList arguments, QWidget* parent)
    : QMainWindow(parent), FArguments(std::move(arguments)) {
  setObjectName("wnd_pl_Main");
  setWindowTitle("Pellora");
  setWindowIcon(ProgramIcon());
  FMdi = new QMdiArea(this);
  FMdi->setObjectName("ClientArea");
  FMdi->setBackground(QColor(79, 82, 87));
  FMdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  FMdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // The window bar across the top, above the child windows.
  mdibg = new TMDIButtonGroup(this, FMdi);
  mdibg->SetImages(WindowImage, WindowImageCount);
  auto* client = new QWidget;
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(mdibg);
  layout->addWidget(FMdi, 1);
  setCentralWidget(client);
  for (const QString& argument : FArguments)
    if (IsNoUpdateSwitch(argument.toStdString())) FNoUpdateCheck = true;
  CreateActions();
  CreateMenus();
  connect(FMdi, &QMdiArea::subWindowActivated, this, Guarded([this] {
            UpdateActions();
            ShowChildMenu();
          }));
  setAcceptDrops(true);
  EmptyHint = new QLabel(FMdi->viewport());
  EmptyHint->setObjectName("EmptyHint");
  EmptyHint->setAlignment(Qt::AlignCenter);
  EmptyHint->setTextFormat(Qt::RichText);
  EmptyHint->setStyleSheet("color: rgb(225, 228, 232); font-size: 11pt;");
  EmptyHint->hide();
  connect(EmptyHint, &QLabel::linkActivated, this,
          Guarded([this](const QString& link) { EmptyHintLinkActivated(link); }));
  FMdi->viewport()->installEventFilter(this); // the hint stays in the middle
  FormCreate();
}

Twnd_pl_Main::~Twnd_pl_Main() {
  FormStorage->SaveUnlessSaved();
  // Closing children while the frame goes must not reach its half-destroyed menus.
  disconnect(FMdi, nullptr, this, nullptr);
}

void Twnd_pl_Main::CreateActions() {
  auto make = [this](const char* name, const QString& caption, const QString& hint) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    action->setToolTip(hint.section('|', 0, 0));
    action->setStatusTip(hint.contains('|') ? hint.section('|', 1) : hint);
    return action;
  };
  acOpen = make("acOpen", "&Open...", "Open|Opens an existing file");
  acOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  acOpen->setIcon(ActionImage(TActionImage::Open));
  connect(acOpen, &QAction::triggered, this, Guarded([this] { acOpenExecute(); }));

  acCloseChild = make("acCloseChild", "Close", "Close");
  acCloseChild->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)});
  connect(acCloseChild, &QAction::triggered, this, Guarded([this] { acCloseChildExecute(); }));

  acExit = make("acExit", "Exit", "Exit");
  acExit->setIcon(ActionImage(TActionImage::Exit));
  connect(acExit, &QAction::triggered, this, &QWidget::close);

  // On no menu: reached by its shortcut.
  acAbout = make("acAbout", "About", "About");
  acAbout->setShortcut(QKeySequence(Qt::Key_F1));
  acAbout->setShortcutContext(Qt::ApplicationShortcut);
  acAbout->setIcon(ActionImage(TActionImage::About));
  addAction(acAbout);
  connect(acAbout, &QAction::triggered, this, Guarded([this] { acAboutExecute(); }));

  acWinCascade = make("acWinCascade", "&Cascade", "Cascade");
  acWinCascade->setIcon(ActionImage(TActionImage::Cascade));
  connect(acWinCascade, &QAction::triggered, FMdi, &QMdiArea::cascadeSubWindows);
  acWinTileHorizontal = make("acWinTileHorizontal", "Tile &Horizontally", "Tile Horizontal");
  acWinTileHorizontal->setIcon(ActionImage(TActionImage::TileHorizontal));
  connect(acWinTileHorizontal, &QAction::triggered, this,
          Guarded([this] { TileChildren(Qt::Horizontal); }));
  acWinTileVertical = make("acWinTileVertical", "&Tile Vertically", "Tile Vertical");
  acWinTileVertical->setIcon(ActionImage(TActionImage::TileVertical));
  connect(acWinTileVertical, &QAction::triggered, this,
          Guarded([this] { TileChildren(Qt::Vertical); }));
}

void Twnd_pl_Main::CreateMenus() {
  File1 = menuBar()->addMenu("&File");
  File1->setObjectName("File1");
  File1->addAction(acOpen);
  FChildFileSeparator = File1->addSeparator(); // the active window's commands go above it
  FChildFileSeparator->setVisible(false);
  File1->addAction(acCloseChild);
  File1->addSeparator();
  File1->addAction(acExit);

  Windows1 = menuBar()->addMenu("&Windows");
  Windows1->setObjectName("Windows1");
  Windows1->addAction(acWinCascade);
  Windows1->addAction(acWinTileHorizontal);
  Windows1->addAction(acWinTileVertical);
  connect(Windows1, &QMenu::aboutToShow, this, Guarded([this] { FillWindowList(); }));
}

QMenuBar* Twnd_pl_Main::MainMenu() const { return menuBar(); }

QAction* Twnd_pl_Main::WindowsMenuAction() const { return Windows1->menuAction(); }

void Twnd_pl_Main::FormCreate() {
  resize(800, 600);
  setWindowState(Qt::WindowNoState);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    // On a large screen at least two thirds of its height: a message and a list need the room.
    const int height = area.height() * 2 / 3;
    if (height > 600) resize(std::min(area.width(), height * 4 / 3), height);
    move(area.center() - rect().center());
  }
  // The update check is set up here and runs once the frame is on screen.
  WebUpdate = new TWebUpdate(this);
  QString version = QCoreApplication::applicationVersion();
  WebUpdate->SetProductVersion(version.isEmpty() ? "0.0.0.0" : version.toStdString());
  WebUpdate->OnUpdateAvailable = [this](const std::string& current, bool& mayUpdate,
                                        const std::string& newVersion) {
    WebUpdateUpdateAvailable(current, mayUpdate, newVersion);
  };
  WebUpdate->OnBeforeShowInfo = [this](bool& showInfo) { WebUpdateBeforeShowInfo(showInfo); };
  StartLanguages();
  UpdateMessageBoxCaptions();
  FormStorage = new TQtFormStorage(this, "%FORM_NAME%\\",
                                   {.KeepState = true, .KeepPlacement = true,
                                    .DefaultState = TWindowState::Maximized});
  UpdateActions();
}

void Twnd_pl_Main::setVisible(bool visible) {
  if (visible && !FormStorage->Restored()) FormStorage->Restore();
  QMainWindow::setVisible(visible);
}

void Twnd_pl_Main::StartLanguages() {
  LanguageController = new TQtLanguageController(this, "wnd_pl_Main");
  LanguageController->Attach();
  try {
    std::string programFolder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    pellora::StartLanguages(TLanguageManager::Instance(), LanguageFolders(programFolder),
                            UserLanguageId());
    // Qt's own buttons and dialogs speak the same language.
    InstallQtTranslations(TLanguageManager::Instance().CurrentLanguage());
  } catch (const std::exception& e) {
    // A broken language file leaves the built-in texts; say so once the frame is there.
    QTimer::singleShot(0, this,
                       [message = std::string(e.what())] { ReportUncaughtError(message); });
  }
}

void Twnd_pl_Main::WebUpdateUpdateAvailable(const std::string&, bool& mayUpdate,
                                            const std::string& newVersion) {
  mayUpdate = false; // nothing is downloaded by the program itself
  std::string title = QStringToAnsi(QApplication::applicationDisplayName());
  if (!ConfirmBox(UpdateQuestion(newVersion), title)) return;
  if (!WebUpdate->ProductAddress().isEmpty())
    QDesktopServices::openUrl(QUrl(WebUpdate->ProductAddress()));
}

void Twnd_pl_Main::WebUpdateBeforeShowInfo(bool& showInfo) { showInfo = false; }

void Twnd_pl_Main::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (FShown) return;
  FShown = true;
  // After the frame is on screen, from the event loop: a failure ends only this handler.
  QTimer::singleShot(0, this, Guarded([this] { FormShow(); }));
  // In the background: the start never waits on a network.
  if (!FNoUpdateCheck) QTimer::singleShot(0, WebUpdate, Guarded([this] { WebUpdate->RunUpdateCheck(); }));
}

void Twnd_pl_Main::FormShow() {
  OpenArguments(FArguments);
  if (Children().isEmpty()) {
    // What the store browser would list: shown as places to start from.
    try {
      FStoresFound = DiscoverStores(CurrentUserPlaces(CommandLineProfiles()));
    } catch (const std::exception&) {
      // Nothing found is nothing to list; the open dialog's browser says why.
    }
  }
  UpdateEmptyHint();
}

void Twnd_pl_Main::UpdateEmptyHint() {
  const bool empty = FShown && FMdi->subWindowList().isEmpty();
  if (empty) {
    QString html = QString("<p><a href='open:' style='color: white;'>%1</a></p>")
                       .arg(AnsiToQString(GetLocalizedText("lc_OpenHint")).toHtmlEscaped());
    if (!FStoresFound.empty()) {
      html += QString("<p>%1</p>").arg(AnsiToQString(GetLocalizedText("lc_StoresFound")).toHtmlEscaped());
      static const char* const kinds[] = {"Outlook Express", "Windows Mail", "Windows Live Mail",
                                          "Thunderbird", "Outlook"};
      for (size_t i = 0; i < FStoresFound.size(); ++i) {
        const TDiscoveredStore& store = FStoresFound[i];
        const QString label = QString("%1: %2").arg(kinds[store.Kind], QString::fromStdString(store.DisplayLabel));
        html += QString("<a href='store:%1' style='color: white;'>%2</a><br>").arg(i).arg(label.toHtmlEscaped());
      }
    }
    EmptyHint->setText(html);
    EmptyHint->adjustSize();
    EmptyHint->move(FMdi->viewport()->rect().center() - EmptyHint->rect().center());
  }
  EmptyHint->setVisible(empty);
}

void Twnd_pl_Main::EmptyHintLinkActivated(const QString& link) {
  if (link == "open:") {
    acOpenExecute();
    return;
  }
  if (!link.startsWith("store:")) return;
  const size_t index = link.mid(6).toULongLong();
  if (index >= FStoresFound.size()) return;
  // A data file is a store in itself; the others open the store browser of their kind, as the
  // open dialog's store buttons show it.
  if (FStoresFound[index].Kind == dkOutlookDataFile) {
    const std::string& path = FStoresFound[index].Path;
    if (TOpenKind kind = KindOfPath(path); kind != okUnknown) OpenPath(path, kind);
    return;
  }
  static const int storeKinds[] = {skOutlookExpress, skWindowsMail, skWindowsMail, skThunderbird};
  static const TOpenKind openKinds[] = {okOEDatabase, okMessageFolder, okMailboxFile};
  const int storeKind = storeKinds[FStoresFound[index].Kind];
  const std::string path = BrowseCurrentStore(storeKind, this);
  if (!path.empty()) OpenPath(path, openKinds[storeKind]);
}

bool Twnd_pl_Main::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FMdi->viewport() && event->type() == QEvent::Resize && EmptyHint->isVisible())
    EmptyHint->move(FMdi->viewport()->rect().center() - EmptyHint->rect().center());
  return QMainWindow::eventFilter(watched, event);
}

void Twnd_pl_Main::AppInstancesCmdLineReceived(const QStringList& lines) { OpenArguments(lines); }

void Twnd_pl_Main::TakeHandOvers(TAppInstances& instances) {
  connect(&instances, &TAppInstances::CmdLineReceived, this,
          Guarded([this](const QStringList& lines) {
            if (isMinimized()) showNormal();
            raise();
            activateWindow();
            AppInstancesCmdLineReceived(lines);
          }));
}

void Twnd_pl_Main::OpenArguments(const QStringList& arguments) {
  std::string withoutMessages; // folders named that hold no messages, one a line
  for (const QString& argument : arguments) {
    if (IsNoUpdateSwitch(argument.toStdString())) continue; // a switch, never a path
    QFileInfo info(argument);
    if (!info.exists()) continue;
    std::string path = QFile::encodeName(argument).toStdString();
    // A folder opens as File > Open opens a folder of messages, when it holds some.
    if (info.isDir()) {
      if (path.size() > 1 && path.back() == '/') path.pop_back();
      if (FolderHoldsMessages(path))
        OpenPath(path, okMessageFolder);
      else
        withoutMessages += (withoutMessages.empty() ? "" : "\r\n") + Utf8ToAnsi(path);
      continue;
    }
    path = DatabaseOfIndex(path);
    TOpenKind kind = KindOfPath(path);
    if (kind != okUnknown) OpenPath(path, kind);
  }
  if (!withoutMessages.empty())
    InfoBox(FormatText(GetLocalizedText("lc_NoMessagesInFolder"), {withoutMessages}));
}

void Twnd_pl_Main::OpenPath(const std::string& path, TOpenKind kind) {
  if (const TOpener* opener = OpenerOf(kind)) (*opener)(*this, path);
}

void Twnd_pl_Main::AddChild(TMdiChild* window, const QString& caption, int imageIndex,
                            const QString& hint) {
  // The tick count tells apart several windows of one class.
  window->setObjectName(QString::fromLatin1(window->ClassName() + 1) + QString::number(TickCount()));
  window->setWindowTitle(caption);
  window->setWindowIcon(WindowImage(imageIndex));
  Adopt(*window, hint, imageIndex);
  window->setStatusTip(hint);
  QMdiSubWindow* sub = FMdi->addSubWindow(window);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  // Ctrl+W and Ctrl+F4 are the frame's "Close": each window's own menu taking them as well made
  // the keys ambiguous, and so dead, once two windows were open.
  if (QMenu* menu = sub->systemMenu())
    for (QAction* action : menu->actions()) action->setShortcuts({});
  // Its size and position for when it is restored, and its stored properties.
  if (TQtFormStorage* storage = window->FormStorage()) storage->Restore();
  connect(sub, &QObject::destroyed, this,
          [this] { QTimer::singleShot(0, this, Guarded([this] { UpdateActions(); })); });
  sub->showMaximized();
  qCDebug(lcWindows) << "shown" << window->ClassName() << caption;
  mdibg->AddWindow(window, imageIndex, hint);
  UpdateActions();
}

QList<TMdiChild*> Twnd_pl_Main::Children() const {
  QList<TMdiChild*> children;
  for (QMdiSubWindow* sub : FMdi->subWindowList(QMdiArea::CreationOrder))
    if (auto* child = qobject_cast<TMdiChild*>(sub->widget())) children << child;
  return children;
}

TMdiChild* Twnd_pl_Main::ActiveChild() const {
  QMdiSubWindow* sub = FMdi->activeSubWindow();
  return sub ? qobject_cast<TMdiChild*>(sub->widget()) : nullptr;
}

void Twnd_pl_Main::ActivateChild(TMdiChild* child) {
  for (QMdiSubWindow* sub : FMdi->subWindowList())
    if (sub->widget() == child) {
      if (sub->isMinimized() || sub->isHidden()) mdibg->RestoreWindow(sub);
      FMdi->setActiveSubWindow(sub);
      child->setFocus();
    }
}

void Twnd_pl_Main::ChildClosed(TMdiChild& child) {
  if (TQtFormStorage* storage = child.FormStorage()) storage->Save();
  // After the frame has activated the next window of its own choice.
  if (TMdiChild* origin = child.Origin())
    QTimer::singleShot(0, origin, [this, origin = QPointer<TMdiChild>(origin)] {
      if (origin) ActivateChild(origin);
    });
}

void Twnd_pl_Main::CloseChild(TMdiChild* child) {
  for (QMdiSubWindow* sub : FMdi->subWindowList())
    if (sub->widget() == child) sub->close();
  UpdateActions();
}

void Twnd_pl_Main::UpdateActions() {
  bool any = !FMdi->subWindowList().isEmpty();
  acCloseChild->setEnabled(any);
  acWinCascade->setEnabled(any);
  acWinTileHorizontal->setEnabled(any);
  acWinTileVertical->setEnabled(any);
  mdibg->UpdateActions();
  UpdateEmptyHint();
}

void Twnd_pl_Main::acOpenExecute() {
  TOpenChoice choice = RunOpenWizard(this);
  if (choice.Confirmed) OpenPath(choice.Path, choice.Kind);
}

void Twnd_pl_Main::acCloseChildExecute() {
  if (QMdiSubWindow* sub = FMdi->activeSubWindow()) sub->close();
  UpdateActions();
}

void Twnd_pl_Main::acAboutExecute() { ShowAboutDialog(this); }

void Twnd_pl_Main::TileChildren(Qt::Orientation orientation) {
  QList<QMdiSubWindow*> windows;
  for (QMdiSubWindow* sub : FMdi->subWindowList(QMdiArea::CreationOrder))
    if (!sub->isMinimized() && sub->isVisible()) windows << sub;
  if (windows.isEmpty()) return;
  QRect area = FMdi->viewport()->rect();
  int n = static_cast<int>(windows.size());
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* sub = windows[i];
    sub->showNormal();
    // Horizontal tiling stacks the windows one above the other, each full width.
    if (orientation == Qt::Horizontal) {
      int top = area.height() * i / n, bottom = area.height() * (i + 1) / n;
      sub->setGeometry(0, top, area.width(), bottom - top);
    } else {
      int left = area.width() * i / n, right = area.width() * (i + 1) / n;
      sub->setGeometry(left, 0, right - left, area.height());
    }
  }
}

void Twnd_pl_Main::FillWindowList() {
  for (QAction* action : FWindowListActions) {
    Windows1->removeAction(action);
    action->deleteLater();
  }
  FWindowListActions.clear();
  QList<QMdiSubWindow*> windows = FMdi->subWindowList(QMdiArea::CreationOrder);
  if (windows.isEmpty()) return;
  FWindowListActions << Windows1->addSeparator();
  int number = 0;
  for (QMdiSubWindow* sub : windows) {
    ++number;
    QString text = number < 10 ? QString("&%1 %2").arg(number).arg(sub->windowTitle())
                               : QString("%1 %2").arg(number).arg(sub->windowTitle());
    QAction* action = Windows1->addAction(text);
    action->setCheckable(true);
    action->setChecked(sub == FMdi->activeSubWindow());
    connect(action, &QAction::triggered, this, [this, sub] {
      if (sub->isMinimized() || sub->isHidden()) mdibg->RestoreWindow(sub);
      FMdi->setActiveSubWindow(sub);
    });
    FWindowListActions << action;
  }
}

void Twnd_pl_Main::ShowChildMenu() {
  for (const QPointer<QAction>& action : FChildMenuActions)
    if (action) menuBar()->removeAction(action);
  FChildMenuActions.clear();
  for (const QPointer<QAction>& action : FChildFileActions)
    if (action) File1->removeAction(action);
  FChildFileActions.clear();
  TMdiChild* child = ActiveChild();
  if (child)
    for (QMenu* menu : {child->ChildMenu(), child->ViewMenu()})
      if (menu) FChildMenuActions << menuBar()->insertMenu(WindowsMenuAction(), menu);
  const QList<QAction*> fileActions = child ? child->FileActions() : QList<QAction*>();
  for (QAction* action : fileActions) {
    File1->insertAction(FChildFileSeparator, action);
    FChildFileActions << action;
  }
  FChildFileSeparator->setVisible(!fileActions.isEmpty());
}

void Twnd_pl_Main::dragEnterEvent(QDragEnterEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) {
      event->acceptProposedAction();
      return;
    }
}

// Dropped files and folders open by their kind, like the command line's files.
void Twnd_pl_Main::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  const QList<QUrl> urls = event->mimeData()->urls();
  RunGuarded([&] {
    for (const QUrl& url : urls) {
      if (!url.isLocalFile()) continue;
      std::string path = QFile::encodeName(url.toLocalFile()).toStdString();
      if (path.size() > 1 && path.back() == '/') path.pop_back();
      path = DatabaseOfIndex(path);
      TOpenKind kind = KindOfPath(path);
      if (kind != okUnknown && PathExists(path)) OpenPath(path, kind);
    }
  });
}

void Twnd_pl_Main::closeEvent(QCloseEvent* event) {
  RunGuarded([this] { FormClose(); });
  FormStorage->Save();
  QMainWindow::closeEvent(event);
}

void Twnd_pl_Main::FormClose() { mdibg->CloseAll(); }

} // namespace pellora
