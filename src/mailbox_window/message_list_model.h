#pragma once
// The mailbox window's list: a view over its mailbox's rows.
#include "mailbox_window/match_highlight.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <cstdint>
#include <functional>
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

// Threads on: the Subject cell's depth under its thread's first messages, among the rows the
// filter shows, and its mark (TThreadMark); no value with threads off.
constexpr int ThreadDepthRole = Qt::UserRole + 20;
constexpr int ThreadMarkRole = Qt::UserRole + 21;
// Whether a message's replies are shown, folded away, or it has none (among the rows shown).
enum TThreadMark : uint8_t { tmNone, tmOpen, tmClosed };

// The list's rows: a view over the mailbox's entries in the window's order, hidden rows left out.
// Nothing is kept per row but the order, the hidden flags and the check marks, and with threads
// on each row's depth and fold mark.
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
  // The row of an entry; -1 when it is not shown.
  int RowOfEntry(uint32_t entry) const { return entry < FRowOf.size() ? FRowOf[entry] : -1; }
  TThreadMark MarkOf(uint32_t entry) const { return FMark.empty() ? tmNone : TThreadMark(FMark[entry]); }

private:
  // Threads on: the rows in thread order, each shown under its nearest shown ancestor; the
  // replies of a folded message are left out.
  void AddThreadRows();

  Tmdi_pl_Viewer* FWindow;
  std::vector<uint32_t> FRows;
  std::vector<int32_t> FRowOf;   // by entry
  std::vector<uint32_t> FDepth;  // by entry, threads on
  std::vector<uint8_t> FMark;    // by entry, threads on
};

// Paints the cells with the filter's marks, and the Subject cell indented by its depth in the
// thread, after its fold mark; a click on the mark calls toggle with the row's index.
class TThreadDelegate : public TMatchHighlight {
public:
  TThreadDelegate(QObject* parent, std::function<void(const QModelIndex&)> toggle)
      : TMatchHighlight(parent), FToggle(std::move(toggle)) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
  std::function<void(const QModelIndex&)> FToggle;
};

} // namespace pellora
