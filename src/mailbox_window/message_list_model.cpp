#include "mailbox_window/message_list_model.h"

#include "i18n/localized_text.h"
#include "mailbox_window/mailbox_window.h"
#include "platform/codepage.h"
#include "platform/qt_locale.h"
#include "platform/qt_platform.h"
#include "window_kit/window_images.h"

#include <QTreeView>

#include <algorithm>

namespace pellora {
namespace {

QString Localized(const char* name) { return AnsiToQString(GetLocalizedText(name)); }

} // namespace

QIcon ListImageOf(TListImage image) { return ListImage(image); }

TMessageListModel::TMessageListModel(Tmdi_pl_Viewer* window) : QAbstractTableModel(window), FWindow(window) {}

int TMessageListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TMessageListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ListColumnCount;
}

void TMessageListModel::Refresh() {
  beginResetModel();
  FRows.clear();
  if (FWindow->FLoading) {
    for (uint32_t row = 0; row < FWindow->FFirstRows.size(); ++row) FRows.push_back(row);
    endResetModel();
    return;
  }
  const std::vector<uint32_t>& order = FWindow->FMailbox.Order();
  FRows.reserve(order.size());
  for (uint32_t entry : order)
    if (!FWindow->FHidden[entry] && FWindow->InChosenFolder(entry)) FRows.push_back(entry);
  endResetModel();
}

int TMessageListModel::NearestRow(uint32_t entry) const {
  const std::vector<uint32_t>& order = FWindow->FMailbox.Order();
  const std::vector<uint8_t>& hidden = FWindow->FHidden;
  const auto at = std::find(order.begin(), order.end(), entry);
  if (at == order.end()) return -1;
  auto shown = std::find_if(at, order.end(), [&](uint32_t e) { return !hidden[e]; });
  if (shown == order.end()) {
    auto before = std::find_if(std::make_reverse_iterator(at), order.rend(),
                               [&](uint32_t e) { return !hidden[e]; });
    if (before == order.rend()) return -1;
    shown = std::prev(before.base());
  }
  return static_cast<int>(std::find(FRows.begin(), FRows.end(), *shown) - FRows.begin());
}

QVariant TMessageListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(FRows.size())) return {};
  const uint32_t entryIndex = FRows[static_cast<size_t>(index.row())];
  const TMailbox& box = FWindow->FMailbox;
  // While a load runs the rows are the first it found; their store is still the loader's.
  const Tmdi_pl_Viewer::TFirstRow* first =
      FWindow->FLoading ? &FWindow->FFirstRows[entryIndex] : nullptr;
  const TMessageEntry& e = first ? first->Entry : box.Entries()[entryIndex];
  const uint32_t flags = box.Flags(e);
  const int column = index.column();
  switch (role) {
  case Qt::DisplayRole:
  case Qt::ToolTipRole:
    switch (column) {
    case lcIndex: return QString::number(static_cast<int64_t>(e.Index) + 1);
    case lcFrom: return AnsiToQString(first ? first->From : box.FromText(e));
    case lcSubject: return AnsiToQString(e.Header.Subject);
    case lcTo: return AnsiToQString(e.Header.To);
    case lcReceived:
      return e.Header.Date != 0 ? FormatMessageDate(e.Header.Date) : AnsiToQString(e.Header.DateText);
    case lcSize: return FormatNumber0(static_cast<double>(e.Header.Size));
    default: return {};
    }
  case Qt::DecorationRole: {
    switch (column) {
    case lcPriority:
      if (e.Header.Priority == prHigh) return ListImageOf(liHighPriority);
      if (e.Header.Priority == prLow) return ListImageOf(liLowPriority);
      return {};
    case lcAttachment:
      return (first ? first->Attachment : box.HasAttachment(e)) ? ListImageOf(liAttachment) : QVariant();
    case lcFlag:
      return flags & mfFlagged ? ListImageOf(liFlag) : QVariant();
    case lcFrom:
      return ListImageOf(flags & mfRead ? liRead : liUnread);
    default: return {};
    }
  }
  case Qt::FontRole:
    if (EntryHasFlags(e) && !(flags & mfRead)) {
      QFont bold = FWindow->Tree->font();
      bold.setBold(true);
      return bold;
    }
    return {};
  case Qt::ForegroundRole: return e.State == rsListed ? QColor(Qt::black) : QColor(Qt::gray);
  case Qt::TextAlignmentRole:
    if (column == lcIndex || column == lcSize) return int(Qt::AlignRight | Qt::AlignVCenter);
    return int(Qt::AlignLeft | Qt::AlignVCenter);
  case Qt::CheckStateRole:
    if (column == lcIndex)
      return !first && FWindow->FChecked[entryIndex] ? Qt::Checked : Qt::Unchecked;
    return {};
  default: return {};
  }
}

bool TMessageListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || index.column() != lcIndex) return false;
  FWindow->FChecked[FRows[static_cast<size_t>(index.row())]] =
      value.toInt() == Qt::Checked ? 1 : 0;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  FWindow->UpdateStatusBar();
  return true;
}

Qt::ItemFlags TMessageListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == lcIndex) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant TMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) {
    switch (section) {
    case lcIndex: return QString("#");
    case lcFrom: return Localized("lc_From");
    case lcSubject: return Localized("lc_Subject");
    case lcTo: return Localized("lc_To");
    case lcReceived: return Localized("lc_Received");
    case lcSize: return Localized("lc_Size");
    default: return QString();
    }
  }
  if (role == Qt::DecorationRole) {
    if (section == lcPriority) return ListImageOf(liHighPriority);
    if (section == lcAttachment) return ListImageOf(liAttachment);
    if (section == lcFlag) return ListImageOf(liFlag);
  }
  if (role == Qt::TextAlignmentRole && (section == lcIndex || section == lcSize))
    return int(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

} // namespace pellora
