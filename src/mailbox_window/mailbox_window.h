#pragma once
#include "export/message_export.h"
#include "mailbox_window/address_collection.h"
#include "mailbox_window/message_list_model.h"
#include "search/mailbox_filter.h"
#include "search/query.h"
#include "stores/mailbox.h"
#include "stores/threads.h"
#include "window_kit/frame.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolButton;
class QTreeView;
class QTreeWidget;

namespace pellora {

class TMatchHighlight;
class TReadingPane;

// Where the reading pane stands: View > Reading Pane.
enum TPanePosition { ppOff, ppBelow, ppRight };

// The mailbox window: one store as a list of its messages. Its components carry the object
// names of the window's layout (Panel1, cbFilter, cbValue, sbFilter, Tree, Splitter, HeaderPanel,
// DetailPanel, Memo, sb, sbPanel0, sbPanel1, sbCancel, Messages, PopupMenu1, acFilter, acView,
// acCollect, acSaveMessages, acSaveAttachments, acSaveList, acSaveAddresses, acReload,
// acShowRecovered, the reading pane ReadingPane beside the list in PaneSplitter, and the menu View
// with acPaneOff, acPaneBelow, acPaneRight and acPaneNext).
class Tmdi_pl_Viewer : public TMdiChild, private TLoadObserver {
  Q_OBJECT
public:
  explicit Tmdi_pl_Viewer(QWidget* parent = nullptr);
  ~Tmdi_pl_Viewer() override;
  const char* ClassName() const override { return "Tmdi_pl_Viewer"; }
  QMenu* ChildMenu() const override { return MessagesMenu; }
  QList<QMenu*> ChildMenus() const override { return {MessagesMenu, FViewMenu}; }
  TQtFormStorage* FormStorage() const override { return FFormStorage; }

  // Loads a store; on failure shows the error box and returns false.
  bool LoadMailbox(const std::string& path, TOpenKind kind);

  void TreeHeaderClick(int column);
  void CheckAll1Click();
  void UncheckAll1Click();
  void InvertSelection1Click();
  // The filter button, Ctrl+F and the menu item: switches the filter on (with the value box's
  // text) or off. An empty value never hides rows: the filter stays off. The text is a query
  // (search/query.h); plain words search the field chosen as one text, as the filter always did.
  // A query with an error hides no rows: the filter stays off, the box turns red and says what is
  // wrong in its tooltip, as panel 1 of the status bar does.
  void acFilterExecute();
  // Enter in the value box: the filter on with the box's text, or off when the box is empty.
  void ApplyValue();
  void cmMessageView();
  void cmGatherEmail();
  // Writes the collected addresses to a text or CSV file the user names.
  void cmSaveAddresses();
  // Saves the checked rows (or the focused one) as .eml files into a folder, as one mailbox
  // file, as PDF files into a folder or as one PDF file, as the save dialog's file type says.
  void cmSaveMessages();
  // Saves the rows on view, in the list's order, as a CSV file.
  void cmSaveList();
  // Saves every attachment of the checked rows (or the focused one).
  void cmSaveAttachments();
  // Loads the store again in this window, as it is on disk now; the filter goes off.
  void acReloadExecute();

  // View > Threads: the list grouped by conversation, replies under the message they answer.
  void SetThreads(bool on);
  bool ThreadsOn() const;
  // Folds or unfolds a message's replies; ExpandAll unfolds every thread.
  void SetFolded(uint32_t entry, bool folded);
  void ExpandAll();

  // The reading pane off, below the list or right of it; F8 goes to the next position.
  void SetPanePosition(int position);
  TPanePosition PanePosition() const { return FPanePosition; }
  void acPaneNextExecute();
  TReadingPane* ReadingPane() const { return Pane; }

  TMailbox& Mailbox() { return FMailbox; }
  bool FilterOn() const;
  // Whether a load is still finding rows.
  bool Loading() const { return FLoading; }
  QString StatusText(int panel) const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  friend class TMessageListModel;
  void BuildFilterBar();
  void BuildList();
  void BuildInformationArea();
  void BuildStatusBar();
  void CreateActions();
  void CreateViewMenu();
  // The focused row to the reading pane, when it is on.
  void ShowFocusedInPane();
  void FormCreate();
  // Columns 4 to 8 take their titles from the constants of the language applied.
  void SetColumnCaptions();
  // The information area's height, the list taking what is left.
  void SetHeaderPanelHeight(int height);
  // Switches the filter with its progress and timing in the status bar; remember puts the value
  // into the box's history.
  void RunFilter(bool on, bool remember);
  size_t ApplyFilter(const std::string& value, const TQueryParse& query, bool remember);
  void ShowAllRows();
  // The fields searched in the list's own texts, which filter as the user types.
  bool HeaderFieldChosen() const;
  // Whether the box's text filters as the user types: plain words in a header field, a query of
  // column terms only, and a query with an error (which shows it and hides nothing).
  bool FiltersAsTyped() const;
  // The value box's text as a query in the user's date format; empty and blank texts are none.
  TQueryParse BoxQuery(const std::string& value) const;
  // The error of a query on the value box (its tooltip, a red background); empty: none.
  void ShowQueryError(const QString& error);
  // "Tree.Columns": per column shown from left to right, "column,width".
  std::vector<std::string> ColumnLayout() const;
  void SetColumnLayout(const std::vector<std::string>& layout);
  // The sort the next load starts with.
  void SetSort(int column, bool descending);
  // Threads on: arranges them as the list is sorted, building them first after a load.
  void ArrangeThreads();
  // The order rows are shown in: the threads' with threads on, else the mailbox's.
  const std::vector<uint32_t>& ListOrder() const;
  // Left, Right and "*" on the list with threads on: fold, unfold and walk the threads.
  bool ThreadKey(int key);
  // The first width of "Received": the locale's longest date fits.
  int ReceivedColumnWidth() const;
  void ToggleFocusedCheck();
  void UpdateStatusBar();
  // The information area's title after a load that named the store's format; empty after others,
  // which leave the title as it is.
  std::string StoreTitle() const;
  // After a load: the title, the information lines and the elapsed time (or the failure).
  void ShowStoreState(const TLoadResult& result);
  void ShowMemo();
  // The information lines after an export that skipped messages, under the store's title.
  void ShowSkipped();
  // Positions of the checked entries in the list's order; the focused row's when none is checked.
  std::vector<uint32_t> RowsToSave() const;
  // Positions of the rows the filter shows, in the list's order.
  std::vector<uint32_t> VisibleRows() const;
  // Runs an export with its progress in panel 1, the user able to cancel only, then shows the
  // skipped messages in the information lines and the result, naming the target, in a box.
  void RunExport(const std::vector<uint32_t>& rows, TExportFormat format, const std::string& target);
  void ResetRows();
  // A store of folders: its tree beside the list, with each folder's count; the list shows the
  // rows of the folder chosen (and of the folders under it).
  void FillFolderTree();
  bool InChosenFolder(uint32_t entry) const;
  // Rebuilds the rows after a sort or a filter change: the focused row (or the nearest one still
  // shown) stays focused, and the focused row keeps its height in the view when it was in view.
  // Otherwise a filter change keeps the top row where it was, and a sort shows the list's top.
  void RefreshRows(bool sorted = false);
  // Shows an operation's progress in panel 1, at most ten times a second, without letting
  // user input in.
  void ShowProgress(const QString& operation, uint64_t done, uint64_t total);
  void SetStatus(int panel, const QString& text, bool paintNow);
  // Both on the loading thread: what they are given waits for this one's event loop.
  void Progress(uint64_t done, uint64_t total) override;
  void FirstRows(const TMailbox& box, const std::vector<TMessageEntry>& rows) override;
  // Shows the first rows the load found, until it has found them all.
  void ShowFirstRows();

  QWidget* Panel1 = nullptr;
  QComboBox* cbFilter = nullptr;
  QComboBox* cbValue = nullptr;
  QToolButton* sbFilter = nullptr;
  QTreeView* Tree = nullptr;
  TMessageListModel* FModel = nullptr;
  TMatchHighlight* FHighlight = nullptr; // marks what the filter matched in the list
  QSplitter* Splitter = nullptr;
  QSplitter* PaneSplitter = nullptr; // the list and the reading pane
  TReadingPane* Pane = nullptr;
  QSplitter* FolderSplitter = nullptr;
  QTreeWidget* FolderTree = nullptr;
  std::string FFolder; // the folder chosen; empty: all rows
  QWidget* HeaderPanel = nullptr;
  QLabel* DetailPanel = nullptr;
  QPlainTextEdit* Memo = nullptr;
  QStatusBar* sb = nullptr;
  QLabel* sbPanel0 = nullptr;
  QLabel* sbPanel1 = nullptr;
  QToolButton* sbCancel = nullptr; // shown while messages are saved
  QMenu* MessagesMenu = nullptr;
  QAction* acThreads = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* acFilter = nullptr;
  QAction* acView = nullptr;
  QAction* acCollect = nullptr;
  QAction* acSaveMessages = nullptr;
  QAction* acSaveAttachments = nullptr;
  QAction* acSaveAddresses = nullptr;
  QAction* acSaveList = nullptr;
  QTimer* FTypingTimer = nullptr; // the pause after typing in the value box
  QAction* acReload = nullptr;
  QAction* acShowRecovered = nullptr; // checked: loads with recovery
  QMenu* FViewMenu = nullptr;
  QActionGroup* FPaneChoices = nullptr; // acPaneOff, acPaneBelow, acPaneRight
  QAction* acPaneNext = nullptr;
  TPanePosition FPanePosition = ppOff;
  TQtFormStorage* FFormStorage = nullptr;

  // While a load runs on its thread the list shows the first rows it found, with what the list
  // would ask the store of them.
  struct TFirstRow {
    TMessageEntry Entry;
    std::string From;
    bool Attachment = false;
  };
  bool FLoading = false;
  std::vector<TFirstRow> FFirstRows;
  std::mutex FFoundMutex;
  std::vector<TFirstRow> FFound; // handed over by the loading thread
  std::atomic<uint64_t> FLoadDone{0}, FLoadTotal{0};
  TMailbox FMailbox;
  TMailboxFilter FFilter{FMailbox};
  // View state by entry position; the order of the rows is the mailbox's, or the threads'.
  std::vector<uint8_t> FHidden;
  std::vector<uint8_t> FChecked;
  TThreads FThreads;                // built when threads are first shown after a load
  std::vector<uint8_t> FCollapsed;  // by entry: its replies folded away
  std::vector<std::string> FHistory;
  QString FOperation; // what the progress of a long operation is shown as
  uint64_t FLastProgress = 0;
  std::string FSaveFolder; // where messages were saved last (UTF-8)
  std::vector<TCollectedAddress> FAddresses; // what the information area shows, after a collection
};

// The openers of databases, message folders and mailbox files.
void OpenOEDatabase(TFrame& frame, const std::string& path);
void OpenMessageFolder(TFrame& frame, const std::string& path);
void OpenMailboxFile(TFrame& frame, const std::string& path);
// Plugs the mailbox window into the frame's open dispatch.
void RegisterMailboxWindow();

} // namespace pellora
