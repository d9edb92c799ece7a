#pragma once
// The mailbox window's list: a view over its mailbox's rows.
#include <QAbstractTableModel>
#include <QIcon>

#include <cstdint>
#include <vector>

namespace pellora {

class Tmdi_pl_Viewer;

// The list's images, by their place in the image list.
enum TListImage : int {
  liAttachment = 0,
  liHighPriority = 1,
  liLowPriority = 2,
  liFlag = 3,
  liRead = 4,   // an opened envelope
  liUnread = 5, // a closed envelope
};
QIcon ListImageOf(TListImage image);

constexpr int ListColumnCount = 9;

// The list's rows: a view over the mailbox's entries in the window's order, hidden rows left out.
// Nothing is kept per row but the order, the hidden flags and the check marks.
class TMessageListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit TMessageListModel(Tmdi_pl_Viewer* window);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // The entry shown in a row of the view.
  uint32_t EntryOfRow(int row) const { return FRows[static_cast<size_t>(row)]; }
  // Rebuilds the visible rows from the window's order and hidden flags.
  void Refresh();
  // The row of an entry or, when it is hidden, of the nearest entry shown: the first after it in
  // the window's order, else the last before it; -1 when no row is shown.
  int NearestRow(uint32_t entry) const;

private:
  Tmdi_pl_Viewer* FWindow;
  std::vector<uint32_t> FRows;
};

} // namespace pellora
