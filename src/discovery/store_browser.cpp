#include "discovery/store_browser.h"

#include "i18n/language_manager.h"
#include "i18n/localized_text.h"
#include "i18n/qt_language_controller.h"
#include "platform/qt_locale.h"
#include "platform/qt_platform.h"
#include "window_kit/busy_cursor.h"
#include "window_kit/error_report.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace pellora {
namespace {

QString FromPath(const std::string& text) {
  return QFile::decodeName(QByteArray::fromStdString(text));
}

// Cells with a vertical grid line on their right.
class TGridDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Midlight));
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
  }
};

} // namespace

void TStoreTreeModel::SetTree(TStoreTree tree) {
  beginResetModel();
  FTree = std::move(tree);
  endResetModel();
}

void TStoreTreeModel::SetColumnTitles(const QStringList& titles) {
  FTitles = titles;
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

const TStoreNode& TStoreTreeModel::NodeOrRoot(const QModelIndex& index) const {
  return index.isValid() ? *static_cast<const TStoreNode*>(index.internalPointer()) : FTree.Root();
}

const TStoreNode* TStoreTreeModel::Node(const QModelIndex& index) const {
  return index.isValid() ? static_cast<const TStoreNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TStoreTreeModel::index(int row, int column, const QModelIndex& parent) const {
  const TStoreNode& node = NodeOrRoot(parent);
  if (row < 0 || row >= static_cast<int>(node.Children.size()) || column < 0 || column >= 3)
    return {};
  return createIndex(row, column, node.Children[static_cast<size_t>(row)].get());
}

QModelIndex TStoreTreeModel::parent(const QModelIndex& index) const {
  const TStoreNode* node = Node(index);
  if (!node || !node->Parent || node->Parent == &FTree.Root()) return {};
  return createIndex(node->Parent->Row, 0, node->Parent);
}

int TStoreTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  return static_cast<int>(NodeOrRoot(parent).Children.size());
}

int TStoreTreeModel::columnCount(const QModelIndex&) const { return 3; }

QVariant TStoreTreeModel::data(const QModelIndex& index, int role) const {
  const TStoreNode* node = Node(index);
  if (!node) return {};
  if (role == Qt::TextAlignmentRole && index.column() == 1)
    return int(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  const TStoreNodeData& data = node->Data;
  // A top-level row only groups: it shows its name.
  switch (index.column()) {
  case 0:
    return FromPath(data.Name);
  case 1:
    return node->Level > 0 ? QVariant(QString::number(data.Size)) : QVariant();
  case 2:
    return node->Level > 0 ? QVariant(FormatMessageDate(data.Timestamp)) : QVariant();
  default:
    return {};
  }
}

QVariant TStoreTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= FTitles.size()) return {};
  if (role == Qt::DisplayRole) return FTitles[section];
  if (role == Qt::TextAlignmentRole && section == 1)
    return int(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

// ---------------------------------------------------------------------------------------------

Tdlg_pl_Files::Tdlg_pl_Files(QWidget* owner) : QDialog(owner) {
  setObjectName("dlg_pl_Files");
  setWindowTitle("Current session message databases");
  FModel = new TStoreTreeModel(this);
  Tree = new QTreeView;
  Tree->setObjectName("Tree");
  Tree->setModel(FModel);
  Tree->setItemDelegate(new TGridDelegate(Tree));
  Tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  Tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Tree->setAllColumnsShowFocus(true);
  Tree->setSortingEnabled(false); // rows stay in the order they were found
  Tree->setExpandsOnDoubleClick(false);
  Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Tree->setUniformRowHeights(true);
  QHeaderView* header = Tree->header();
  header->setSectionsMovable(true);
  header->setSectionsClickable(false);
  header->setStretchLastSection(true);
  header->resizeSection(0, 200);
  header->resizeSection(1, 75);
  header->resizeSection(2, 120);

  bOK = new QPushButton("OK");
  bOK->setObjectName("bOK");
  bOK->setDefault(true);
  bOK->setEnabled(false);
  bLoad = new QPushButton("Cancel");
  bLoad->setObjectName("bLoad");
  bProfile = new QPushButton;
  bProfile->setObjectName("bProfile");
  auto* strip = new QHBoxLayout;
  strip->addWidget(bProfile);
  strip->addStretch(1);
  strip->addWidget(bOK);
  strip->addWidget(bLoad);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(Tree, 1);
  layout->addLayout(strip);
  resize(435, 285);

  connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(bLoad, &QPushButton::clicked, this, &QDialog::reject);
  connect(bProfile, &QPushButton::clicked, this, Guarded([this] { bProfileClick(); }));
  connect(Tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          Guarded([this] { TreeFocusChanged(); }));
  connect(FModel, &QAbstractItemModel::modelReset, this, Guarded([this] { TreeFocusChanged(); }));
  connect(Tree, &QTreeView::doubleClicked, this, Guarded([this] { TreeDblClick(); }));

  auto* language = new TQtLanguageController(this, "dlg_pl_Files");
  connect(language, &TQtLanguageController::OnLanguageChanged, this,
          Guarded([this] { UpdateColumnTitles(); }));
  UpdateColumnTitles();
  language->Attach();
}

void Tdlg_pl_Files::UpdateColumnTitles() {
  const TLanguageManager& manager = TLanguageManager::Instance();
  if (manager.CurrentLanguage() != manager.DefaultLanguage())
    FModel->SetColumnTitles({AnsiToQString(GetLocalizedText("lc_IDFolder")),
                             AnsiToQString(GetLocalizedText("lc_Size")),
                             AnsiToQString(GetLocalizedText("lc_Timestamp"))});
  else
    FModel->SetColumnTitles({"Identity / Folder", "Size [B]", "Timestamp"});
  bProfile->setText(AnsiToQString(GetLocalizedText("lc_WindowsProfile")));
}

void Tdlg_pl_Files::Fill(int storeKind) {
  TBusyCursor busy;
  FStoreKind = storeKind;
  std::vector<std::string> profiles = CommandLineProfiles();
  profiles.insert(profiles.end(), FProfiles.begin(), FProfiles.end());
  TStoreTree tree;
  FillStoreTree(tree, storeKind,
                DiscoverStores(CurrentUserPlaces(profiles), DiscoveredKindsOf(storeKind)));
  FModel->SetTree(std::move(tree));
  Tree->expandAll();
}

void Tdlg_pl_Files::bProfileClick() {
  QString folder = PickFolder(this, AnsiToQString(GetLocalizedText("lc_SelectFolder")));
  if (folder.isEmpty()) return;
  std::string profile = QFile::encodeName(folder).toStdString();
  if (std::find(FProfiles.begin(), FProfiles.end(), profile) != FProfiles.end()) return;
  // Kept only when it could be read, so that a later refill does not fail on it again.
  FProfiles.push_back(profile);
  try {
    Fill(FStoreKind);
  } catch (...) {
    FProfiles.pop_back();
    throw;
  }
}

bool Tdlg_pl_Files::FocusedSelectable() const {
  const TStoreNode* node = FModel->Node(Tree->currentIndex());
  return node && node->Level >= 1;
}

void Tdlg_pl_Files::TreeFocusChanged() { bOK->setEnabled(FocusedSelectable()); }

void Tdlg_pl_Files::TreeDblClick() {
  if (FocusedSelectable()) accept();
}

std::string Tdlg_pl_Files::FocusedPath() const {
  return FocusedSelectable() ? FModel->Node(Tree->currentIndex())->Data.Path : std::string();
}

std::string BrowseCurrentStore(int storeKind, QWidget* owner) {
  Tdlg_pl_Files dialog(owner);
  dialog.Fill(storeKind);
  return dialog.exec() == QDialog::Accepted ? dialog.FocusedPath() : std::string();
}

} // namespace pellora
