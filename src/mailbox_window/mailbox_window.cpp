#include "mailbox_window/mailbox_window.h"

#include "mailbox_window/export_run.h"
#include "mailbox_window/reading_pane.h"
#include "export/list_csv.h"
#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "i18n/qt_language_controller.h"
#include "mailbox_window/address_collection.h"
#include "mailbox_window/match_highlight.h"
#include "message_window/message_window.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "platform/qt_locale.h"
#include "platform/qt_platform.h"
#include "platform/safe_files.h"
#include "settings/qt_form_storage.h"
#include "stores/kinds/store_kinds.h"
#include "window_kit/busy_cursor.h"
#include "window_kit/error_report.h"
#include "window_kit/message_boxes.h"
#include "window_kit/window_images.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace pellora {
namespace {

constexpr int ColumnCount = ListColumnCount;
const int columnWidths[ColumnCount] = {75, 25, 25, 25, 175, 200, 175, 125, 75};

QString Localized(const char* name) { return AnsiToQString(GetLocalizedText(name)); }

QString ElapsedText(uint64_t milliseconds) {
  return AnsiToQString(FormatText(GetLocalizedText("lc_ElapsedTime"), {milliseconds / 1000.0}));
}

QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

} // namespace

Tmdi_pl_Viewer::Tmdi_pl_Viewer(QWidget* parent) : TMdiChild(parent) {
  setWindowTitle("Mailbox");
  resize(744, 620);
  BuildFilterBar();
  BuildList();
  BuildInformationArea();
  BuildStatusBar();
  Pane = new TReadingPane(FMailbox);
  Pane->hide();
  connect(Pane, &TReadingPane::NotesAdded, this, [this] { ShowMemo(); });
  PaneSplitter = new QSplitter(Qt::Vertical);
  PaneSplitter->setObjectName("PaneSplitter");
  PaneSplitter->setChildrenCollapsible(false);
  PaneSplitter->addWidget(Tree);
  PaneSplitter->addWidget(Pane);
  PaneSplitter->setStretchFactor(1, 1);
  Splitter = new QSplitter(Qt::Vertical);
  Splitter->setObjectName("Splitter");
  Splitter->addWidget(PaneSplitter);
  Splitter->addWidget(HeaderPanel);
  Splitter->setStretchFactor(0, 1);
  Splitter->setSizes({450, 135});
  FolderTree = new QTreeWidget;
  FolderTree->setObjectName("FolderTree");
  FolderTree->setHeaderHidden(true);
  FolderTree->setColumnCount(2);
  FolderTree->setHeaderLabels({QString(), QString()}); // no header: the names and counts speak
  FolderTree->hide();
  connect(FolderTree, &QTreeWidget::currentItemChanged, this, Guarded([this](QTreeWidgetItem* item) {
            FFolder = item ? item->data(0, Qt::UserRole).toString().toStdString() : std::string();
            FModel->Refresh();
            UpdateStatusBar();
          }));
  FolderSplitter = new QSplitter(Qt::Horizontal);
  FolderSplitter->setObjectName("FolderSplitter");
  FolderSplitter->addWidget(FolderTree);
  FolderSplitter->addWidget(Splitter);
  FolderSplitter->setStretchFactor(1, 1);
  FolderSplitter->setSizes({220, 524});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Panel1);
  layout->addWidget(FolderSplitter, 1);
  layout->addWidget(sb);

  CreateActions();
  CreateViewMenu();
  FormCreate();
  FFormStorage = new TQtFormStorage(this, "mdi_pl_Viewer\\", {.KeepPlacement = true});
  FFormStorage->AddInteger(
      "ReadingPane.Position", [this] { return static_cast<int>(FPanePosition); },
      [this](int position) { SetPanePosition(position); });
  FFormStorage->AddInteger(
      "HeaderPanel.Height", [this] { return HeaderPanel->height(); },
      [this](int height) { SetHeaderPanelHeight(height); });
  FFormStorage->AddList(
      "Tree.Columns", [this] { return ColumnLayout(); },
      [this](const std::vector<std::string>& layout) { SetColumnLayout(layout); });
  FFormStorage->AddInteger(
      "Tree.SortColumn", [this] { return FMailbox.SortColumn(); },
      [this](int column) { SetSort(column, FMailbox.SortDescending()); });
  FFormStorage->AddBoolean(
      "Tree.SortDescending", [this] { return FMailbox.SortDescending(); },
      [this](bool descending) { SetSort(FMailbox.SortColumn(), descending); });
  FFormStorage->AddBoolean(
      "Tree.Threads", [this] { return ThreadsOn(); }, [this](bool on) { SetThreads(on); });
  auto* language = new TQtLanguageController(this, "mdi_pl_Viewer");
  connect(language, &TQtLanguageController::OnLanguageChanged, this,
          &Tmdi_pl_Viewer::SetColumnCaptions);
  language->Attach();
}

void Tmdi_pl_Viewer::SetColumnCaptions() {
  // The header texts come from the constants each time they are drawn: redraw them.
  emit FModel->headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void Tmdi_pl_Viewer::BuildFilterBar() {
  Panel1 = new QWidget;
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(31);
  cbFilter = new QComboBox;
  cbFilter->setObjectName("cbFilter");
  cbFilter->addItems({"From+Subject+To+Body", "From+Subject+To", "From", "Subject", "To", "Body",
                      "Source"});
  cbFilter->setCurrentIndex(1);
  cbValue = new QComboBox;
  cbValue->setObjectName("cbValue");
  cbValue->setEditable(true);
  cbValue->setInsertPolicy(QComboBox::NoInsert); // the history is kept by ApplyFilter
  cbValue->setMinimumWidth(220);
  cbValue->installEventFilter(this); // it has the focus and passes keys on to its line edit
  // The header fields are searched in memory in a moment: they filter as the user types, once
  // typing pauses. Body and Source read every message and wait for Enter.
  FTypingTimer = new QTimer(this);
  FTypingTimer->setSingleShot(true);
  FTypingTimer->setInterval(300);
  connect(FTypingTimer, &QTimer::timeout, this, Guarded([this] {
            if (FiltersAsTyped()) RunFilter(true, false);
          }));
  connect(cbValue, &QComboBox::editTextChanged, this, [this] {
    if (FiltersAsTyped()) FTypingTimer->start();
  });
  connect(cbFilter, &QComboBox::currentIndexChanged, this, [this] {
    if (FilterOn() && HeaderFieldChosen()) FTypingTimer->start();
  });
  sbFilter = new QToolButton;
  sbFilter->setObjectName("sbFilter");
  sbFilter->setAutoRaise(true);
  auto* bar = new QHBoxLayout(Panel1);
  bar->setContentsMargins(4, 2, 4, 2);
  auto* label = new QLabel("Filter:");
  label->setObjectName("Label1");
  bar->addWidget(label);
  bar->addWidget(cbFilter);
  bar->addWidget(cbValue, 1);
  bar->addWidget(sbFilter);
}

void Tmdi_pl_Viewer::BuildList() {
  FModel = new TMessageListModel(this);
  Tree = new QTreeView;
  Tree->setObjectName("Tree");
  Tree->setModel(FModel);
  // One painter for every cell: the filter's marks, and in the Subject the thread's indent and
  // fold mark, whose click folds.
  FHighlight = new TThreadDelegate(Tree, [this](const QModelIndex& index) {
    RunGuarded([&] {
      const uint32_t entry = FModel->EntryOfRow(index.row());
      SetFolded(entry, FModel->MarkOf(entry) == tmOpen);
    });
  });
  Tree->setItemDelegate(FHighlight);
  Tree->setRootIsDecorated(false);
  Tree->setUniformRowHeights(true);
  Tree->setAllColumnsShowFocus(true);
  Tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  Tree->setSelectionMode(QAbstractItemView::SingleSelection);
  Tree->setSortingEnabled(false); // the window sorts its own order
  Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Tree->setIconSize(QSize(16, 16));
  QPalette palette = Tree->palette();
  palette.setColor(QPalette::Highlight, QColor(166, 202, 240));
  palette.setColor(QPalette::HighlightedText, Qt::black);
  Tree->setPalette(palette);
  QHeaderView* header = Tree->header();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(20);
  header->setSectionsMovable(true);
  for (int c = 0; c < ColumnCount; ++c)
    header->resizeSection(c, c == lcReceived ? ReceivedColumnWidth() : columnWidths[c]);
  connect(header, &QHeaderView::sectionClicked, this,
          Guarded([this](int column) { TreeHeaderClick(column); }));
  connect(Tree, &QTreeView::doubleClicked, this, Guarded([this] { cmMessageView(); }));
  connect(Tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          Guarded([this] { ShowFocusedInPane(); }));
  Tree->installEventFilter(this); // Enter opens the focused row, Space checks it
}

int Tmdi_pl_Viewer::ReceivedColumnWidth() const {
  // The widest of dates whose digits and month names take the most room in the locale's format.
  const QFontMetrics metrics(Tree->font());
  const int margins = 2 * Tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Tree) + 12;
  int widest = columnWidths[lcReceived];
  for (int month = 1; month <= 12; ++month)
    for (int hour : {10, 22}) {
      TDateTime date = 0, time = 0;
      TryEncodeDate(2028, month, 28, date);
      TryEncodeTime(hour, 58, 58, 0, time);
      const QString text = FormatMessageDate(ComposeDateTime(date, time));
      widest = std::max(widest, metrics.horizontalAdvance(text) + margins);
    }
  return widest;
}

std::vector<std::string> Tmdi_pl_Viewer::ColumnLayout() const {
  std::vector<std::string> layout;
  const QHeaderView* header = Tree->header();
  for (int visual = 0; visual < header->count(); ++visual) {
    const int column = header->logicalIndex(visual);
    layout.push_back(std::to_string(column) + "," + std::to_string(header->sectionSize(column)));
  }
  return layout;
}

void Tmdi_pl_Viewer::SetColumnLayout(const std::vector<std::string>& layout) {
  // Only a whole layout of this window's columns is taken: each once, with a usable width.
  std::vector<std::pair<int, int>> columns;
  std::vector<bool> seen(ColumnCount, false);
  for (const std::string& item : layout) {
    int column = -1, width = 0;
    char comma = 0;
    if (std::sscanf(item.c_str(), "%d%c%d", &column, &comma, &width) != 3 || comma != ',' ||
        column < 0 || column >= ColumnCount || seen[column] || width < 1 || width > 10000)
      return;
    seen[column] = true;
    columns.emplace_back(column, width);
  }
  if (columns.size() != ColumnCount) return;
  QHeaderView* header = Tree->header();
  for (int visual = 0; visual < ColumnCount; ++visual) {
    const auto [column, width] = columns[visual];
    header->moveSection(header->visualIndex(column), visual);
    header->resizeSection(column, width);
  }
}

void Tmdi_pl_Viewer::SetSort(int column, bool descending) {
  if (column < 0 || column >= ColumnCount) return;
  FMailbox.Sort(column, descending);
  ArrangeThreads();
  Tree->header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void Tmdi_pl_Viewer::BuildInformationArea() {
  HeaderPanel = new QWidget;
  HeaderPanel->setObjectName("HeaderPanel");
  DetailPanel = new QLabel("  Information");
  DetailPanel->setObjectName("DetailPanel");
  DetailPanel->setFixedHeight(21);
  DetailPanel->setStyleSheet("font-weight: bold; background: rgb(239, 234, 222);");
  Memo = new QPlainTextEdit;
  Memo->setObjectName("Memo");
  Memo->setReadOnly(true);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPointSize(8);
  Memo->setFont(mono);
  QPalette tip = Memo->palette();
  tip.setColor(QPalette::Base, QPalette().color(QPalette::ToolTipBase));
  Memo->setPalette(tip);
  // The area's own menu, and the collected addresses saved as a file beside its Copy.
  Memo->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Memo, &QWidget::customContextMenuRequested, this, Guarded([this](const QPoint& pos) {
            std::unique_ptr<QMenu> menu(Memo->createStandardContextMenu());
            // Right after Qt's "Copy" ("edit-copy").
            QList<QAction*> actions = menu->actions();
            QAction* after = nullptr;
            for (int i = 0; i + 1 < actions.size(); ++i)
              if (actions[i]->objectName() == "edit-copy") after = actions[i + 1];
            menu->insertAction(after, acSaveAddresses);
            menu->exec(Memo->mapToGlobal(pos));
          }));
  auto* info = new QVBoxLayout(HeaderPanel);
  info->setContentsMargins(0, 0, 0, 0);
  info->setSpacing(0);
  info->addWidget(DetailPanel);
  info->addWidget(Memo);
}

void Tmdi_pl_Viewer::BuildStatusBar() {
  sb = new QStatusBar;
  sb->setObjectName("sb");
  sb->setSizeGripEnabled(false);
  sbPanel0 = new QLabel;
  sbPanel0->setObjectName("sbPanel0");
  sbPanel0->setFixedWidth(250);
  sbPanel1 = new QLabel;
  sbPanel1->setObjectName("sbPanel1");
  sb->addWidget(sbPanel0);
  sb->addWidget(sbPanel1, 1);
  sbCancel = new QToolButton;
  sbCancel->setObjectName("sbCancel");
  sbCancel->setText("Cancel");
  sbCancel->hide();
  sb->addPermanentWidget(sbCancel);
}

Tmdi_pl_Viewer::~Tmdi_pl_Viewer() {
  FFormStorage->SaveUnlessSaved();
  delete Pane; // its worker reads FMailbox: it stops before the mailbox goes
}

void Tmdi_pl_Viewer::SetHeaderPanelHeight(int height) {
  const int total = Splitter->sizes().value(0) + Splitter->sizes().value(1);
  Splitter->setSizes({std::max(total - height, 1), height});
}

void Tmdi_pl_Viewer::FormCreate() {
  Tree->header()->setSortIndicator(FMailbox.SortColumn(), FMailbox.SortDescending()
                                                              ? Qt::DescendingOrder
                                                              : Qt::AscendingOrder);
}

void Tmdi_pl_Viewer::CreateActions() {
  acFilter = new QAction("Filter", this);
  acFilter->setObjectName("acFilter");
  acFilter->setCheckable(true);
  acFilter->setToolTip("Switch filter on/off");
  acFilter->setStatusTip("Switch filter on/off");
  acFilter->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  acFilter->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  acFilter->setIcon(QIcon::fromTheme("view-filter", QIcon::fromTheme("edit-find")));
  // The toggle happens in acFilterExecute, not by the check mark's own flip.
  connect(acFilter, &QAction::triggered, this, Guarded([this] {
            acFilter->setChecked(!acFilter->isChecked());
            acFilterExecute();
          }));
  addAction(acFilter);
  sbFilter->setDefaultAction(acFilter);
  sbFilter->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

  acView = new QAction("Message view...", this);
  acView->setObjectName("acView");
  acView->setStatusTip("View message details");
  acView->setToolTip("View message details");
  connect(acView, &QAction::triggered, this, Guarded([this] { cmMessageView(); }));
  acCollect = new QAction("Collect e-mail addresses...", this);
  acCollect->setObjectName("acCollect");
  acCollect->setStatusTip("Collect e-mail addresses...");
  acCollect->setToolTip("Collect e-mail addresses...");
  connect(acCollect, &QAction::triggered, this, Guarded([this] { cmGatherEmail(); }));

  acSaveMessages = new QAction("Save checked messages...", this);
  acSaveMessages->setObjectName("acSaveMessages");
  acSaveMessages->setStatusTip("Save the checked messages as files");
  acSaveMessages->setToolTip("Save the checked messages as files");
  acSaveMessages->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  acSaveMessages->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(acSaveMessages);
  connect(acSaveMessages, &QAction::triggered, this, Guarded([this] { cmSaveMessages(); }));
  acSaveAttachments = new QAction("Save attachments of checked messages...", this);
  acSaveAttachments->setObjectName("acSaveAttachments");
  acSaveAttachments->setStatusTip("Save the attachments of the checked messages");
  acSaveAttachments->setToolTip("Save the attachments of the checked messages");
  connect(acSaveAttachments, &QAction::triggered, this, Guarded([this] { cmSaveAttachments(); }));
  acSaveList = new QAction("Save list as CSV...", this);
  acSaveList->setObjectName("acSaveList");
  acSaveList->setStatusTip("Save the visible rows of the list as a CSV file");
  acSaveList->setToolTip("Save the visible rows of the list as a CSV file");
  connect(acSaveList, &QAction::triggered, this, Guarded([this] { cmSaveList(); }));
  acReload = new QAction("Reload", this);
  acReload->setObjectName("acReload");
  acReload->setStatusTip("Load the store again as it is on disk now");
  acReload->setToolTip("Load the store again as it is on disk now");
  acReload->setShortcut(QKeySequence(Qt::Key_F5));
  acReload->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(acReload);
  connect(acReload, &QAction::triggered, this, Guarded([this] { acReloadExecute(); }));
  acShowRecovered = new QAction("Show Recovered Messages", this);
  acShowRecovered->setObjectName("acShowRecovered");
  acShowRecovered->setStatusTip("Reload with the messages found outside the index and the deleted ones");
  acShowRecovered->setToolTip("Reload with the messages found outside the index and the deleted ones");
  acShowRecovered->setCheckable(true);
  // The window's own choice, for as long as it lives: the store stays as it is on disk.
  connect(acShowRecovered, &QAction::triggered, this, Guarded([this] { acReloadExecute(); }));

  acThreads = new QAction("Threads", this);
  acThreads->setObjectName("acThreads");
  acThreads->setStatusTip("Group the list by conversation");
  acThreads->setToolTip("Group the list by conversation");
  acThreads->setCheckable(true);
  connect(acThreads, &QAction::triggered, this, Guarded([this](bool on) { SetThreads(on); }));

  acSaveAddresses = new QAction("Save as...", this);
  acSaveAddresses->setObjectName("acSaveAddresses");
  acSaveAddresses->setStatusTip("Save the collected addresses as a text or CSV file");
  acSaveAddresses->setToolTip("Save the collected addresses as a text or CSV file");
  acSaveAddresses->setEnabled(false);
  connect(acSaveAddresses, &QAction::triggered, this, Guarded([this] { cmSaveAddresses(); }));

  MessagesMenu = new QMenu("&Messages", this);
  MessagesMenu->setObjectName("Messages");
  MessagesMenu->setProperty("componentName", "File1");
  MessagesMenu->addAction(acFilter);
  MessagesMenu->addSeparator();
  MessagesMenu->addAction(acView);
  MessagesMenu->addAction(acSaveMessages);
  MessagesMenu->addAction(acSaveAttachments);
  MessagesMenu->addAction(acSaveList);
  MessagesMenu->addSeparator();
  MessagesMenu->addAction(acCollect);
  MessagesMenu->addSeparator();
  MessagesMenu->addAction(acReload);
  MessagesMenu->addAction(acShowRecovered);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addAction("Check All", this, Guarded([this] { CheckAll1Click(); }))
      ->setObjectName("CheckAll1");
  PopupMenu1->addAction("Uncheck All", this, Guarded([this] { UncheckAll1Click(); }))
      ->setObjectName("UncheckAll1");
  PopupMenu1->addAction("Invert Selection", this, Guarded([this] { InvertSelection1Click(); }))
      ->setObjectName("InvertSelection1");
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(acSaveMessages);
  PopupMenu1->addAction(acSaveAttachments);
  Tree->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Tree, &QWidget::customContextMenuRequested, this, Guarded([this](const QPoint& pos) {
            PopupMenu1->exec(Tree->viewport()->mapToGlobal(pos));
          }));
}

void Tmdi_pl_Viewer::CreateViewMenu() {
  FViewMenu = new QMenu("&View", this);
  FViewMenu->setObjectName("View");
  FViewMenu->addAction(acThreads);
  QMenu* pane = FViewMenu->addMenu("&Reading Pane");
  pane->setObjectName("ReadingPaneMenu");
  FPaneChoices = new QActionGroup(this);
  const std::pair<const char*, const char*> choices[] = {
      {"acPaneOff", "&Off"}, {"acPaneBelow", "&Below the List"}, {"acPaneRight", "&Right of the List"}};
  for (int position = ppOff; position <= ppRight; ++position) {
    QAction* action = pane->addAction(choices[position].second);
    action->setObjectName(choices[position].first);
    action->setCheckable(true);
    action->setChecked(position == FPanePosition);
    FPaneChoices->addAction(action);
    connect(action, &QAction::triggered, this, Guarded([this, position] { SetPanePosition(position); }));
  }
  pane->addSeparator();
  acPaneNext = pane->addAction("&Next Position");
  acPaneNext->setObjectName("acPaneNext");
  acPaneNext->setShortcut(QKeySequence(Qt::Key_F8));
  acPaneNext->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(acPaneNext);
  connect(acPaneNext, &QAction::triggered, this, Guarded([this] { acPaneNextExecute(); }));
}

void Tmdi_pl_Viewer::acPaneNextExecute() { SetPanePosition((FPanePosition + 1) % (ppRight + 1)); }

void Tmdi_pl_Viewer::SetPanePosition(int position) {
  if (position < ppOff || position > ppRight) return;
  FPanePosition = static_cast<TPanePosition>(position);
  FPaneChoices->actions().at(position)->setChecked(true);
  if (FPanePosition == ppOff) {
    Pane->hide();
    Pane->Clear();
    return;
  }
  PaneSplitter->setOrientation(FPanePosition == ppBelow ? Qt::Vertical : Qt::Horizontal);
  Pane->show();
  // The list keeps a third of the room above the pane, two fifths beside it.
  const bool below = FPanePosition == ppBelow;
  const QSize room = PaneSplitter->size();
  const int total = std::max(below ? room.height() : room.width(), 300);
  const int list = below ? total / 3 : total * 2 / 5;
  PaneSplitter->setSizes({list, total - list});
  ShowFocusedInPane();
}

void Tmdi_pl_Viewer::ShowFocusedInPane() {
  if (FPanePosition == ppOff) return;
  const QModelIndex current = Tree->currentIndex();
  Pane->ShowEntry(current.isValid() ? static_cast<int64_t>(FModel->EntryOfRow(current.row())) : -1);
}

bool Tmdi_pl_Viewer::FilterOn() const { return acFilter->isChecked(); }

QString Tmdi_pl_Viewer::StatusText(int panel) const {
  return panel == 0 ? sbPanel0->text() : sbPanel1->text();
}

void Tmdi_pl_Viewer::SetStatus(int panel, const QString& text, bool paintNow) {
  QLabel* label = panel == 0 ? sbPanel0 : sbPanel1;
  label->setText(text);
  if (paintNow) label->repaint(); // paints now; user input waits
}

void Tmdi_pl_Viewer::ShowProgress(const QString& operation, uint64_t done, uint64_t total) {
  uint64_t now = TickCount();
  if (now - FLastProgress < 100 && done < total) return;
  FLastProgress = now;
  int percent = total ? static_cast<int>(done * 100 / total) : 0;
  SetStatus(1, QString("%1 %2%").arg(operation).arg(percent), true);
}

std::string Tmdi_pl_Viewer::StoreTitle() const {
  for (const TStoreNote& note : FMailbox.Notes())
    if (note.Kind == nkFormat) return "   " + GetLocalizedText("lc_FileProps");
  return {};
}

void Tmdi_pl_Viewer::ShowStoreState(const TLoadResult& result) {
  // A load that says nothing of the store leaves the title as the window shows it, in its
  // language.
  if (const std::string title = StoreTitle(); !title.empty())
    DetailPanel->setText(AnsiToQString(title));
  ShowMemo();
  SetStatus(1, result.Loaded ? ElapsedText(result.Milliseconds) : Localized("lc_LoadFailed"), true);
}

void Tmdi_pl_Viewer::ShowSkipped() {
  const std::string title = StoreTitle();
  DetailPanel->setText(AnsiToQString(title.empty() ? "  " + GetLocalizedText("lc_Information") : title));
  ShowMemo();
}

void Tmdi_pl_Viewer::ShowMemo() {
  FAddresses.clear();
  acSaveAddresses->setEnabled(false);
  std::string memo;
  for (const TStoreNote& note : FMailbox.Notes()) memo += NoteText(note) + "\n";
  if (!memo.empty()) memo.pop_back();
  Memo->setPlainText(AnsiToQString(memo));
}

void Tmdi_pl_Viewer::ResetRows() {
  const size_t n = FMailbox.Entries().size();
  FHidden.assign(n, 0);
  FChecked.assign(n, 0);
  FCollapsed.assign(n, 0);
  FThreads = TThreads(); // the rows are new
  ArrangeThreads();
  FHighlight->Clear();
  FillFolderTree();
  FModel->Refresh();
}

void Tmdi_pl_Viewer::FillFolderTree() {
  const QSignalBlocker quiet(FolderTree);
  FolderTree->clear();
  FFolder.clear();
  const std::vector<TStoreFolder> folders = FMailbox.Folders();
  FolderTree->setVisible(!folders.empty());
  if (folders.empty()) return;
  auto* all = new QTreeWidgetItem(FolderTree, {PathText(NameWithoutExtension(FMailbox.Path())),
                                               QString::number(FMailbox.Entries().size())});
  all->setIcon(0, QIcon::fromTheme("folder"));
  std::vector<QTreeWidgetItem*> parents{all};
  for (const TStoreFolder& folder : folders) {
    parents.resize(std::min<size_t>(parents.size(), static_cast<size_t>(folder.Depth) + 1));
    auto* item = new QTreeWidgetItem(parents.back(), {QString::fromStdString(folder.Name),
                                                      folder.Items ? QString::number(folder.Items) : QString()});
    item->setData(0, Qt::UserRole, QString::fromStdString(folder.Path));
    item->setIcon(0, QIcon::fromTheme("folder"));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    parents.push_back(item);
  }
  all->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  FolderTree->expandAll();
  FolderTree->resizeColumnToContents(1);
  FolderTree->header()->setStretchLastSection(false);
  FolderTree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  FolderTree->setCurrentItem(all);
}

bool Tmdi_pl_Viewer::InChosenFolder(uint32_t entry) const {
  return FFolder.empty() || FolderWithin(FMailbox.FolderOf(FMailbox.Entries()[entry]), FFolder);
}

void Tmdi_pl_Viewer::Progress(uint64_t done, uint64_t total) {
  FLoadDone = done;
  FLoadTotal = total;
}

void Tmdi_pl_Viewer::FirstRows(const TMailbox& box, const std::vector<TMessageEntry>& rows) {
  std::vector<TFirstRow> found;
  found.reserve(rows.size());
  for (const TMessageEntry& entry : rows)
    found.push_back({entry, std::string(box.FromText(entry)), box.HasAttachment(entry)});
  {
    const std::lock_guard lock(FFoundMutex);
    FFound = std::move(found);
  }
  QMetaObject::invokeMethod(this, [this] { RunGuarded([this] { ShowFirstRows(); }); },
                            Qt::QueuedConnection);
}

void Tmdi_pl_Viewer::ShowFirstRows() {
  if (!FLoading) return;
  {
    const std::lock_guard lock(FFoundMutex);
    FFirstRows = std::move(FFound);
  }
  FModel->Refresh();
}

void Tmdi_pl_Viewer::acReloadExecute() {
  acFilter->setChecked(false); // the hidden flags belonged to the rows before
  LoadMailbox(FMailbox.Path(), FMailbox.Kind());
  UpdateStatusBar(); // also after a failure, which leaves no rows
}

bool Tmdi_pl_Viewer::LoadMailbox(const std::string& path, TOpenKind kind) {
  TBusyCursor busy;
  Pane->Clear(); // its row belongs to the load before
  FOperation = Localized("lc_Loading");
  FLastProgress = TickCount();
  Memo->clear();
  SetStatus(1, FOperation, true);
  // The load runs on a thread of its own while this one paints the first rows found and the
  // progress; user input waits, as for every long operation of the window.
  FLoading = true;
  FFirstRows.clear();
  FLoadDone = FLoadTotal = 0;
  FModel->Refresh(); // the rows of the last load are gone
  const TLoadOptions options{acShowRecovered->isChecked()};
  TLoadResult result;
  QEventLoop waiting;
  std::thread loader([&] {
    result = FMailbox.Load(path, kind, this, options);
    QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
  });
  QTimer progress;
  connect(&progress, &QTimer::timeout, this, [this] { ShowProgress(FOperation, FLoadDone, FLoadTotal); });
  progress.start(100);
  waiting.exec(QEventLoop::ExcludeUserInputEvents);
  loader.join();
  progress.stop();
  FLoading = false;
  FFirstRows.clear();
  ResetRows(); // the mailbox sorted its entries by the list's sort already
  ShowStoreState(result);
  if (result.Loaded) UpdateStatusBar();
  if (!result.Loaded) ErrorBox(result.ErrorText);
  return result.Loaded;
}

void Tmdi_pl_Viewer::RefreshRows(bool sorted) {
  const QModelIndex current = Tree->currentIndex();
  const int64_t focused = current.isValid() ? FModel->EntryOfRow(current.row()) : -1;
  // The row that keeps its height in the view: the focused one when it is in sight; else after
  // a filter change the top row, while a sort, which scatters the rows, shows the list's top.
  QModelIndex anchor = current;
  if (!anchor.isValid() || !Tree->viewport()->rect().intersects(Tree->visualRect(anchor)))
    anchor = sorted ? QModelIndex() : Tree->indexAt(QPoint(0, 0));
  const int64_t anchorEntry = anchor.isValid() ? FModel->EntryOfRow(anchor.row()) : -1;
  const int anchorY = anchor.isValid() ? Tree->visualRect(anchor).top() : 0;

  FModel->Refresh();
  Tree->doItemsLayout(); // the scroll range of the new rows, now
  if (focused >= 0) {
    const int row = FModel->NearestRow(static_cast<uint32_t>(focused));
    if (row >= 0) Tree->setCurrentIndex(FModel->index(row, 0));
  }
  const int row = anchorEntry >= 0 ? FModel->NearestRow(static_cast<uint32_t>(anchorEntry)) : -1;
  const int height = row >= 0 ? Tree->visualRect(FModel->index(row, 0)).height() : 0;
  if (height > 0) {
    const bool perPixel = Tree->verticalScrollMode() == QAbstractItemView::ScrollPerPixel;
    Tree->verticalScrollBar()->setValue(perPixel ? row * height - anchorY : row - anchorY / height);
  } else if (sorted) {
    Tree->scrollToTop();
  }
}

void Tmdi_pl_Viewer::TreeHeaderClick(int column) {
  const bool descending = column == FMailbox.SortColumn() && !FMailbox.SortDescending();
  FMailbox.Sort(column, descending);
  ArrangeThreads();
  RefreshRows(true);
  Tree->header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void Tmdi_pl_Viewer::ToggleFocusedCheck() {
  const QModelIndex current = Tree->currentIndex();
  if (!current.isValid()) return;
  const QModelIndex box = current.siblingAtColumn(lcIndex);
  FModel->setData(box, box.data(Qt::CheckStateRole).toInt() == Qt::Checked ? Qt::Unchecked : Qt::Checked,
                  Qt::CheckStateRole);
}

void Tmdi_pl_Viewer::CheckAll1Click() {
  for (uint32_t e : FMailbox.Order())
    if (!FHidden[e]) FChecked[e] = 1;
  emit FModel->dataChanged(FModel->index(0, 0), FModel->index(FModel->rowCount() - 1, 0));
  UpdateStatusBar();
}

void Tmdi_pl_Viewer::UncheckAll1Click() {
  for (uint32_t e : FMailbox.Order())
    if (!FHidden[e]) FChecked[e] = 0;
  emit FModel->dataChanged(FModel->index(0, 0), FModel->index(FModel->rowCount() - 1, 0));
  UpdateStatusBar();
}

void Tmdi_pl_Viewer::InvertSelection1Click() {
  for (uint32_t e : FMailbox.Order())
    if (!FHidden[e]) FChecked[e] = !FChecked[e];
  emit FModel->dataChanged(FModel->index(0, 0), FModel->index(FModel->rowCount() - 1, 0));
  UpdateStatusBar();
}

void Tmdi_pl_Viewer::UpdateStatusBar() {
  // With a folder chosen, the counts are the folder's: the rows the list can show.
  size_t total = 0, visible = 0;
  for (uint32_t e : FMailbox.Order())
    if (InChosenFolder(e)) {
      ++total;
      visible += !FHidden[e];
    }
  std::string text = FormatText("%s: %d", {GetLocalizedText("lc_Total"), static_cast<long long>(total)});
  if (FilterOn())
    text += FormatText("   %s: %d", {GetLocalizedText("lc_Visible"), static_cast<long long>(visible)});
  size_t checked = std::count(FChecked.begin(), FChecked.end(), 1);
  if (checked > 0)
    text += FormatText("   %s: %d", {GetLocalizedText("lc_Selected"), static_cast<long long>(checked)});
  SetStatus(0, AnsiToQString(text), false);
}

bool Tmdi_pl_Viewer::eventFilter(QObject* watched, QEvent* event) {
  const bool press = event->type() == QEvent::KeyPress;
  if ((watched == cbValue || watched == Tree) && (press || event->type() == QEvent::KeyRelease)) {
    auto* key = static_cast<QKeyEvent*>(event);
    // A held key repeats: one toggle or one window per press, not a run of them.
    const bool enter =
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    // Enter in the value box applies its text.
    if (enter && watched == cbValue && !press && !key->isAutoRepeat())
      RunGuarded([this] { ApplyValue(); });
    // Space checks or unchecks the focused row, as a click on its box does.
    if (watched == Tree && key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
      if (press) RunGuarded([this] { ToggleFocusedCheck(); });
      return true;
    }
    if (watched == Tree && press && ThreadsOn() &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      bool handled = false;
      RunGuarded([&] { handled = ThreadKey(key->key()); });
      if (handled) return true;
    }
    // Enter on the list opens the focused row, as a double-click does.
    if (enter && watched == Tree && press) {
      if (!key->isAutoRepeat()) RunGuarded([this] { cmMessageView(); });
      return true;
    }
  }
  return TMdiChild::eventFilter(watched, event);
}

bool Tmdi_pl_Viewer::ThreadsOn() const { return acThreads->isChecked(); }

const std::vector<uint32_t>& Tmdi_pl_Viewer::ListOrder() const {
  return ThreadsOn() ? FThreads.Order() : FMailbox.Order();
}

void Tmdi_pl_Viewer::ArrangeThreads() {
  if (!ThreadsOn()) return;
  if (FThreads.Empty())
    FThreads.BuildFor(FMailbox);
  else
    FThreads.ArrangeFor(FMailbox);
}

void Tmdi_pl_Viewer::SetThreads(bool on) {
  TBusyCursor busy;
  acThreads->setChecked(on);
  ArrangeThreads();
  RefreshRows();
}

void Tmdi_pl_Viewer::SetFolded(uint32_t entry, bool folded) {
  const QModelIndex current = Tree->currentIndex();
  const int64_t focused = current.isValid() ? FModel->EntryOfRow(current.row()) : -1;
  FCollapsed[entry] = folded;
  RefreshRows();
  // The focus in the replies folded away moves to the message that holds them.
  if (focused >= 0 && FModel->RowOfEntry(static_cast<uint32_t>(focused)) < 0)
    Tree->setCurrentIndex(FModel->index(FModel->RowOfEntry(entry), 0));
}

void Tmdi_pl_Viewer::ExpandAll() {
  std::fill(FCollapsed.begin(), FCollapsed.end(), 0);
  RefreshRows();
}

bool Tmdi_pl_Viewer::ThreadKey(int key) {
  if (key == Qt::Key_Asterisk) {
    ExpandAll();
    return true;
  }
  if (key != Qt::Key_Left && key != Qt::Key_Right) return false;
  const QModelIndex current = Tree->currentIndex();
  if (!current.isValid()) return true;
  const uint32_t entry = FModel->EntryOfRow(current.row());
  const TThreadMark mark = FModel->MarkOf(entry);
  if (key == Qt::Key_Left) {
    if (mark == tmOpen) {
      SetFolded(entry, true);
      return true;
    }
    // To the message it answers, the nearest one shown.
    uint32_t parent = FThreads.Parent(entry);
    while (parent != NoEntry && FModel->RowOfEntry(parent) < 0)
      parent = FThreads.Parent(parent);
    if (parent != NoEntry) Tree->setCurrentIndex(current.siblingAtRow(FModel->RowOfEntry(parent)));
    return true;
  }
  if (mark == tmClosed)
    SetFolded(entry, false);
  else if (mark == tmOpen)
    Tree->setCurrentIndex(current.siblingAtRow(current.row() + 1)); // its first reply
  return true;
}

void Tmdi_pl_Viewer::acFilterExecute() { RunFilter(!FilterOn(), true); }

void Tmdi_pl_Viewer::ApplyValue() { RunFilter(true, true); }

bool Tmdi_pl_Viewer::HeaderFieldChosen() const {
  const int field = cbFilter->currentIndex();
  return field >= ffFromSubjectTo && field <= ffTo;
}

TQueryParse Tmdi_pl_Viewer::BoxQuery(const std::string& value) const {
  if (TrimBlanks(value).empty()) return {};
  return ParseQuery(value, ShortDatePattern());
}

bool Tmdi_pl_Viewer::FiltersAsTyped() const {
  const TQueryParse query = BoxQuery(QStringToAnsi(cbValue->currentText()));
  if (!query.Ok) return true;
  return query.PlainWords ? HeaderFieldChosen() : !QueryNeedsMessages(query.Root);
}

void Tmdi_pl_Viewer::ShowQueryError(const QString& error) {
  QLineEdit* edit = cbValue->lineEdit();
  edit->setToolTip(error);
  edit->setStyleSheet(error.isEmpty() ? QString() : "QLineEdit { background: rgb(255, 214, 214); }");
}

void Tmdi_pl_Viewer::RunFilter(bool on, bool remember) {
  FTypingTimer->stop();
  const QString operation = Localized("lc_Filtering");
  SetStatus(1, operation, true);
  TBusyCursor busy;
  const uint64_t start = TickCount();
  const size_t notes = FMailbox.Notes().size();
  const std::string value = QStringToAnsi(cbValue->currentText());
  const TQueryParse query = BoxQuery(value);
  QString error;
  if (!query.Ok && !query.Error.empty())
    error = QString("Query: %1 (character %2)")
                .arg(AnsiToQString(query.Error))
                .arg(AnsiToQString(std::string_view(value).substr(0, query.ErrorOffset)).size());
  ShowQueryError(error);
  auto finish = [&] {
    SetStatus(1, error.isEmpty() ? ElapsedText(TickCount() - start) : error, false);
    UpdateStatusBar();
    // Rows that could not be read, a store changed on disk; collected addresses stay otherwise.
    if (FMailbox.Notes().size() != notes) ShowMemo();
  };
  // An empty value is in every text and hides nothing, nor does a query with an error: the filter
  // is off.
  acFilter->setChecked(on && query.Ok);
  try {
    if (acFilter->isChecked())
      ApplyFilter(value, query, remember);
    else
      ShowAllRows();
  } catch (...) {
    finish();
    throw;
  }
  finish();
  // The pane marks what the filter looked for: the plain text, or the query's words and the
  // texts of its terms that a message's page shows.
  std::vector<std::string> words;
  if (FilterOn() && query.PlainWords) {
    words.push_back(value);
  } else if (FilterOn()) {
    for (TQueryTerm term : {qtWords, qtFrom, qtTo, qtCc, qtSubject, qtBody, qtSource}) {
      std::vector<std::string> texts = QueryTexts(query.Root, term);
      words.insert(words.end(), texts.begin(), texts.end());
    }
  }
  Pane->SetHighlightWords(words);
}

size_t Tmdi_pl_Viewer::ApplyFilter(const std::string& value, const TQueryParse& query,
                                   bool remember) {
  if (remember && AddToHistory(FHistory, value)) {
    const QString text = cbValue->currentText();
    const QSignalBlocker quiet(cbValue); // the text stays: no typing to react to
    cbValue->addItem(text);
    cbValue->setCurrentText(text);
  }
  const QString operation = Localized("lc_Filtering");
  FLastProgress = TickCount();
  const auto field = static_cast<TFilterField>(cbFilter->currentIndex());
  // What the list marks: the plain text in the columns of its field, or the query's terms.
  auto texts = [](const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items) list << AnsiToQString(item);
    return list;
  };
  FHighlight->Clear();
  if (query.PlainWords) {
    const QStringList plain{cbValue->currentText()};
    const bool all = field == ffFromSubjectToBody || field == ffFromSubjectTo;
    FHighlight->SetTexts(lcFrom, all || field == ffFrom ? plain : QStringList());
    FHighlight->SetTexts(lcSubject, all || field == ffSubject ? plain : QStringList());
    FHighlight->SetTexts(lcTo, all || field == ffTo ? plain : QStringList());
  } else {
    const QStringList words = texts(QueryWords(query.Root));
    FHighlight->SetTexts(lcFrom, words + texts(QueryTexts(query.Root, qtFrom)));
    FHighlight->SetTexts(lcSubject, words + texts(QueryTexts(query.Root, qtSubject)));
    FHighlight->SetTexts(lcTo, words + texts(QueryTexts(query.Root, qtTo)));
  }
  size_t count = 0;
  const TFilterProgress progress = [&](size_t done, size_t total) {
    ShowProgress(operation, done, total);
  };
  try {
    count = query.PlainWords ? FFilter.ApplyFilter(FMailbox.Order(), field, value, FHidden, progress)
                             : FFilter.ApplyQuery(FMailbox.Order(), query.Root, FHidden, progress);
  } catch (...) {
    RefreshRows();
    throw;
  }
  RefreshRows();
  return count;
}

void Tmdi_pl_Viewer::ShowAllRows() {
  FHighlight->Clear();
  std::fill(FHidden.begin(), FHidden.end(), 0);
  RefreshRows();
}

void Tmdi_pl_Viewer::cmMessageView() {
  const QModelIndex current = Tree->currentIndex();
  if (!current.isValid()) return;
  const TMessageEntry& entry = FMailbox.Entries()[FModel->EntryOfRow(current.row())];
  TBusyCursor busy;
  SetStatus(1, Localized("lc_Reading"), true);
  const uint64_t start = TickCount();
  std::string text, stored;
  // A store changed on disk says so in the information lines, whether the row reads or not.
  const size_t notes = FMailbox.Notes().size();
  auto showNotes = [&] {
    if (FMailbox.Notes().size() != notes) ShowMemo();
  };
  try {
    text = FMailbox.GetEntryText(entry);
    // What the view reads may differ from the bytes as stored (a file's own line ends): saving
    // the message keeps the stored bytes.
    stored = FMailbox.StoredText(entry);
  } catch (...) {
    showNotes();
    throw;
  }
  showNotes();
  const TStore& store = *FMailbox.Store();
  std::string caption = FormatText("%s: %d", {store.Name(entry), entry.Index + 1LL}); // the row's "#"
  if (entry.State != rsListed) caption += " (" + RowStateText(entry.State) + ")";
  const std::string hint(TrimControls(entry.Header.From.str() + "\r\n" + entry.Header.Subject.str()));
  SetStatus(1, ElapsedText(TickCount() - start), false);
  TFrame* frame = Frame();
  if (!frame) return;
  auto* window = frame->CreateChild<Tmdi_pl_Msg>(AnsiToQString(caption), 5, AnsiToQString(hint));
  window->SetOrigin(this); // closing the message comes back here
  window->LoadMessageText(store.Origin(entry), text, static_cast<uint32_t>(entry.Header.Size));
  window->SetRawText(std::move(stored));
}

void Tmdi_pl_Viewer::cmGatherEmail() {
  TBusyCursor busy;
  std::vector<TCollectedAddress> addresses = CollectAddresses(FMailbox.Entries(), FMailbox.Order(), *FMailbox.Store());
  std::string memo;
  for (const auto& address : addresses) memo += AddressLine(address) + "\n";
  if (!memo.empty()) memo.pop_back();
  Memo->setPlainText(AnsiToQString(memo));
  DetailPanel->setText(AnsiToQString(AddressCollectionTitle(addresses.size())));
  FAddresses = std::move(addresses);
  acSaveAddresses->setEnabled(true);
}

void Tmdi_pl_Viewer::cmSaveAddresses() {
  if (!acSaveAddresses->isEnabled()) return;
  const TSaveTarget target = PickSaveTarget(
      this, acSaveAddresses->text().remove('&'), PathText(FSaveFolder),
      {Localized("lc_SaveTextFile"), Localized("lc_SaveCsvFile")},
      {Localized("lc_EA") + ".txt", Localized("lc_EA") + ".csv"});
  if (target.Path.isEmpty()) return;
  const std::string path = QFile::encodeName(target.Path).toStdString();
  WriteWholeFile(path, target.Type == 1 ? AddressesAsCsv(FAddresses) : AddressesAsText(FAddresses));
  FSaveFolder = ExcludeTrailingPathDelimiter(ExtractFilePath(path));
}

// ---------------------------------------------------------------------------------------------

namespace {

void OpenStore(TFrame& frame, const std::string& path, TOpenKind kind) {
  try {
    CheckStorePath(path, kind);
  } catch (const std::exception& e) {
    ErrorBox(e.what()); // no window for a path that cannot be opened
    return;
  }
  const std::unique_ptr<TStore> store = MakeStore(path, kind);
  // The window images of a database, a message folder and a mailbox file.
  const int images[] = {7, 8, 9};
  auto* window = frame.CreateChild<Tmdi_pl_Viewer>(PathText(store->Caption(path)),
                                                   images[store->Icon()], PathText(path));
  if (!window->LoadMailbox(path, kind)) frame.CloseChild(window);
}

} // namespace

void OpenOEDatabase(TFrame& frame, const std::string& path) { OpenStore(frame, path, okOEDatabase); }
void OpenMessageFolder(TFrame& frame, const std::string& path) {
  OpenStore(frame, path, okMessageFolder);
}
void OpenMailboxFile(TFrame& frame, const std::string& path) { OpenStore(frame, path, okMailboxFile); }

void RegisterMailboxWindow() {
  RegisterOpener(okOEDatabase, OpenOEDatabase);
  RegisterOpener(okMessageFolder, OpenMessageFolder);
  RegisterOpener(okMailboxFile, OpenMailboxFile);
}

std::vector<uint32_t> Tmdi_pl_Viewer::RowsToSave() const {
  std::vector<uint32_t> rows;
  for (uint32_t e : ListOrder())
    if (FChecked[e]) rows.push_back(e);
  if (rows.empty()) {
    const QModelIndex current = Tree->currentIndex();
    if (current.isValid()) rows.push_back(FModel->EntryOfRow(current.row()));
  }
  return rows;
}

void Tmdi_pl_Viewer::cmSaveMessages() {
  const std::vector<uint32_t> rows = RowsToSave();
  if (rows.empty()) return;
  // The store's name: of the folder the .eml files go to, or of the mailbox file.
  const std::string name = FMailbox.Store()->ExportName(FMailbox.Entries()[rows.front()]);
  const QString store = PathText(SafeFileName(name));
  // The dialog's types, in the order of their formats.
  const TExportFormat formats[] = {efEml, efMbox, efPdf, efPdfOne};
  const TSaveTarget target = PickSaveTarget(
      this, acSaveMessages->text().remove('&'), PathText(FSaveFolder),
      {Localized("lc_SaveEmlFiles"), Localized("lc_SaveMboxFile"), Localized("lc_SavePdfFiles"),
       Localized("lc_SavePdfFile")},
      {store, store + ".mbox", store, store + ".pdf"}, {0, 2});
  if (target.Path.isEmpty() || target.Type < 0 || target.Type >= std::ssize(formats)) return;
  const std::string path = QFile::encodeName(target.Path).toStdString();
  const TExportFormat format = formats[target.Type];
  if (format == efEml || format == efPdf) {
    // A new folder is made; its messages are named by their dates and subjects.
    std::error_code error;
    std::filesystem::create_directories(path, error);
    FSaveFolder = path;
  } else {
    FSaveFolder = ExcludeTrailingPathDelimiter(ExtractFilePath(path));
  }
  RunExport(rows, format, path);
}

std::vector<uint32_t> Tmdi_pl_Viewer::VisibleRows() const {
  std::vector<uint32_t> rows;
  for (uint32_t e : ListOrder())
    if (!FHidden[e] && InChosenFolder(e)) rows.push_back(e);
  return rows;
}

void Tmdi_pl_Viewer::cmSaveList() {
  const QString store = PathText(SafeFileName(FMailbox.Store()->Caption(FMailbox.Path())));
  const TSaveTarget target = PickSaveTarget(this, acSaveList->text().remove('&'), PathText(FSaveFolder),
                                            {Localized("lc_SaveCsvFile")}, {store + ".csv"});
  if (target.Path.isEmpty()) return;
  const std::string path = QFile::encodeName(target.Path).toStdString();
  if (EntryExists(path) &&
      !ConfirmBox(FormatText(GetLocalizedText("lc_Overwrite"), {Utf8ToAnsi(path)})))
    return;
  SaveListCsv(FMailbox, VisibleRows(), path);
  FSaveFolder = ExcludeTrailingPathDelimiter(ExtractFilePath(path));
}

void Tmdi_pl_Viewer::cmSaveAttachments() {
  const std::vector<uint32_t> rows = RowsToSave();
  if (rows.empty()) return;
  const QString folder = PickFolder(this, Localized("lc_SelectFolder"), QString::fromStdString(FSaveFolder));
  if (folder.isEmpty()) return;
  FSaveFolder = QFile::encodeName(folder).toStdString();
  RunExport(rows, efAttachments, FSaveFolder);
}

void Tmdi_pl_Viewer::RunExport(const std::vector<uint32_t>& rows, TExportFormat format,
                               const std::string& target) {
  const QString operation = Localized("lc_Saving");
  FLastProgress = 0; // the first step shows at once
  const uint64_t start = TickCount();
  const TExportResult result =
      RunWindowExport(this, sbCancel, FMailbox, rows, format, target,
                      [this, &operation](uint64_t done, uint64_t total) { ShowProgress(operation, done, total); });
  SetStatus(1, ElapsedText(TickCount() - start), false);
  // The messages skipped are named in the information area; else it stays as it was.
  if (!result.Skipped.empty()) {
    for (const TStoreNote& note : result.Skipped) FMailbox.AddNote(note);
    ShowSkipped();
  }
  const std::string where = Utf8ToAnsi(target);
  if (format == efAttachments)
    InfoBox(FormatText(GetLocalizedText("lc_AttSaved"),
                       {static_cast<long long>(result.Attachments), static_cast<long long>(result.Messages), where}));
  else
    InfoBox(FormatText(GetLocalizedText("lc_MsgSaved"), {static_cast<long long>(result.Messages), where}));
}

} // namespace pellora
