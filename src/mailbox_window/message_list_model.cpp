#include "mailbox_window/message_list_model.h"

#include "i18n/localized_text.h"
#include "mailbox_window/mailbox_window.h"
#include "platform/codepage.h"
#include "platform/qt_locale.h"
#include "platform/qt_platform.h"
#include "window_kit/window_images.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeView>

#include <algorithm>

namespace pellora {
namespace {

QString Localized(const char* name) { return AnsiToQString(GetLocalizedText(name)); }

// Deep threads stop indenting here: the subject stays in sight.
constexpr int MaxIndentLevels = 16;
constexpr int IndentStep = 14;
constexpr int MarkWidth = 14;

// Where a Subject cell's fold mark stands.
QRect MarkRect(const QRect& cell, int depth) {
  const int left = cell.left() + std::min(depth, MaxIndentLevels) * IndentStep;
  return QRect(left, cell.top(), MarkWidth, cell.height());
}

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
  FDepth.clear();
  FMark.clear();
  if (FWindow->FLoading) {
    FRowOf.clear();
    for (uint32_t row = 0; row < FWindow->FFirstRows.size(); ++row) FRows.push_back(row);
    endResetModel();
    return;
  }
  const std::vector<uint32_t>& order = FWindow->ListOrder();
  FRows.reserve(order.size());
  FRowOf.assign(FWindow->FMailbox.Entries().size(), -1);
  if (FWindow->ThreadsOn()) {
    AddThreadRows();
  } else {
    for (uint32_t entry : order)
      if (!FWindow->FHidden[entry] && FWindow->InChosenFolder(entry)) {
        FRowOf[entry] = static_cast<int32_t>(FRows.size());
        FRows.push_back(entry);
      }
  }
  endResetModel();
}

void TMessageListModel::AddThreadRows() {
  const TThreads& threads = FWindow->FThreads;
  const std::vector<uint8_t>& folded = FWindow->FCollapsed;
  FDepth.assign(FRowOf.size(), 0);
  FMark.assign(FRowOf.size(), tmNone);
  // By level of the thread walked: the nearest message shown at or above it, and whether a
  // folded message shown at or above it hides what lies below.
  std::vector<uint32_t> shownAt;
  std::vector<uint8_t> foldedAt;
  for (uint32_t entry : threads.Order()) {
    const uint32_t level = threads.DepthOf(entry);
    shownAt.resize(level + 1);
    foldedAt.resize(level + 1);
    const uint32_t above = level > 0 ? shownAt[level - 1] : NoEntry;
    const bool hiddenBelow = level > 0 && foldedAt[level - 1];
    if (FWindow->FHidden[entry] || !FWindow->InChosenFolder(entry)) {
      shownAt[level] = above;
      foldedAt[level] = hiddenBelow;
      continue;
    }
    if (above != NoEntry) FMark[above] = folded[above] ? tmClosed : tmOpen;
    FDepth[entry] = above != NoEntry ? FDepth[above] + 1 : 0;
    shownAt[level] = entry;
    foldedAt[level] = hiddenBelow || folded[entry];
    if (!hiddenBelow) {
      FRowOf[entry] = static_cast<int32_t>(FRows.size());
      FRows.push_back(entry);
    }
  }
}

int TMessageListModel::NearestRow(uint32_t entry) const {
  const std::vector<uint32_t>& order = FWindow->ListOrder();
  const auto at = std::find(order.begin(), order.end(), entry);
  if (at == order.end()) return -1;
  auto isShown = [&](uint32_t e) { return FRowOf[e] >= 0; };
  auto shown = std::find_if(at, order.end(), isShown);
  if (shown == order.end()) {
    auto before = std::find_if(std::make_reverse_iterator(at), order.rend(), isShown);
    if (before == order.rend()) return -1;
    shown = std::prev(before.base());
  }
  return FRowOf[*shown];
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
  case ThreadDepthRole:
    if (column == lcSubject && !FDepth.empty()) return FDepth[entryIndex];
    return {};
  case ThreadMarkRole:
    if (column == lcSubject && !FMark.empty()) return int(FMark[entryIndex]);
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

void TThreadDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const QVariant depth = index.data(ThreadDepthRole);
  if (!depth.isValid()) return TMatchHighlight::paint(painter, option, index);
  QStyleOptionViewItem opt(option);
  initStyleOption(&opt, index);
  const QWidget* widget = opt.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  // The cell's background (and selection) whole, then the mark and the text after the indent.
  QStyleOptionViewItem background(opt);
  background.text.clear();
  background.icon = QIcon();
  style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
  const QRect mark = MarkRect(opt.rect, depth.toInt());
  const int state = index.data(ThreadMarkRole).toInt();
  if (state != tmNone) {
    QStyleOption branch;
    branch.rect = mark;
    branch.palette = opt.palette;
    branch.state = QStyle::State_Enabled | QStyle::State_Children;
    if (state == tmOpen) branch.state |= QStyle::State_Open;
    style->drawPrimitive(QStyle::PE_IndicatorBranch, &branch, painter, widget);
  }
  QStyleOptionViewItem text(option);
  text.rect.setLeft(mark.right() + 1);
  TMatchHighlight::paint(painter, text, index);
}

QSize TThreadDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize size = TMatchHighlight::sizeHint(option, index);
  const QVariant depth = index.data(ThreadDepthRole);
  if (depth.isValid()) size.rwidth() += MarkRect(QRect(), depth.toInt()).right() + 1;
  return size;
}

bool TThreadDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() == QEvent::MouseButtonPress && index.data(ThreadMarkRole).toInt() != tmNone) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        MarkRect(option.rect, index.data(ThreadDepthRole).toInt()).contains(mouse->position().toPoint())) {
      FToggle(index);
      return true;
    }
  }
  return TMatchHighlight::editorEvent(event, model, option, index);
}

} // namespace pellora
