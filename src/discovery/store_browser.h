#pragma once
// The store browser: for one kind of store, what the current user's mail programs keep, as a
// tree to pick a database, message folder or mailbox from.
#include "discovery/store_tree.h"

#include <QAbstractItemModel>
#include <QDialog>
#include <QString>

#include <string>
#include <vector>

class QPushButton;
class QTreeView;

namespace pellora {

// The tree's rows over a TStoreTree: "Identity / Folder", "Size [B]", "Timestamp".
class TStoreTreeModel : public QAbstractItemModel {
  Q_OBJECT
public:
  using QAbstractItemModel::QAbstractItemModel;
  void SetTree(TStoreTree tree);
  void SetColumnTitles(const QStringList& titles);
  const TStoreNode* Node(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& index) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
  const TStoreNode& NodeOrRoot(const QModelIndex& index) const;
  TStoreTree FTree;
  QStringList FTitles{"Identity / Folder", "Size [B]", "Timestamp"};
};

class Tdlg_pl_Files : public QDialog {
  Q_OBJECT
public:
  explicit Tdlg_pl_Files(QWidget* owner = nullptr);

  // Fills the tree for a store kind from the discovery of every place the current user's mail
  // lives; a failure of the discovery or of a database file reaches the caller.
  void Fill(int storeKind);
  // The path of the focused row; "" when no row at level 1 or deeper is focused.
  std::string FocusedPath() const;

private:
  void TreeFocusChanged();
  void TreeDblClick();
  void UpdateColumnTitles();
  // Beyond the user's own places: a Windows profile folder on a mounted disk.
  void bProfileClick();
  bool FocusedSelectable() const;

  QTreeView* Tree = nullptr;
  TStoreTreeModel* FModel = nullptr;
  QPushButton* bOK = nullptr;
  QPushButton* bLoad = nullptr;
  QPushButton* bProfile = nullptr;
  int FStoreKind = -1;
  std::vector<std::string> FProfiles; // picked with bProfile
};

// Shows the store browser for a kind and returns the chosen row's path; "" after Cancel. The
// browser is filled before it shows: a failure then reaches the caller and nothing is shown.
std::string BrowseCurrentStore(int storeKind, QWidget* owner);

} // namespace pellora
