#pragma once
#include "export/message_export.h"
#include "mailbox_window/address_collection.h"
#include "mailbox_window/message_list_model.h"
#include "search/mailbox_filter.h"
#include "search/query.h"
#include "stores/mailbox.h"
#include "window_kit/frame.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QAction;
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

// The mailbox window: one store as a list of its messages. Its components carry the object
// names of the window's layout (Panel1, cbFilter, cbValue, sbFilter, Tree, Splitter, HeaderPanel,
// DetailPanel, Memo, sb, sbPanel0, sbPanel1, sbCancel, Messages, PopupMenu1, acFilter, acView,
// acCollect, acSaveMessages, acSaveAttachments, acSaveList, acSaveAddresses, acReload,
// acShowRecovered).
class Tmdi_pl_Viewer : public TMdiChild, private TLoadObserver {
  Q_OBJECT
public:
  explicit Tmdi_pl_Viewer(QWidget* parent = nullptr);
  ~Tmdi_pl_Viewer() override;
  const char* ClassName() const override { return "Tmdi_pl_Viewer"; }
  QMenu* ChildMenu() const override { return MessagesMenu; }
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

  TMailbox& Mailbox() { return FMailbox; }
  bool FilterOn() const;
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
  void Progress(uint64_t done, uint64_t total) override;

  QWidget* Panel1 = nullptr;
  QComboBox* cbFilter = nullptr;
  QComboBox* cbValue = nullptr;
  QToolButton* sbFilter = nullptr;
  QTreeView* Tree = nullptr;
  TMessageListModel* FModel = nullptr;
  TMatchHighlight* FHighlight = nullptr; // marks what the filter matched in the list
  QSplitter* Splitter = nullptr;
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
  TQtFormStorage* FFormStorage = nullptr;

  TMailbox FMailbox;
  TMailboxFilter FFilter{FMailbox};
  // View state by entry position; the order of the rows is the mailbox's.
  std::vector<uint8_t> FHidden;
  std::vector<uint8_t> FChecked;
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
