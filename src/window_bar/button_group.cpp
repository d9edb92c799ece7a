#include "window_bar/button_group.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QToolTip>

#include <algorithm>

namespace pellora {

TButtonGroupEx::TButtonGroupEx(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(false);
}

void TButtonGroupEx::SetImages(std::function<QIcon(int)> images, int count) {
  FImages = std::move(images);
  FImageCount = count;
  viewport()->update();
}

void TButtonGroupEx::SetButtonSize(int width, int height) {
  FButtonWidth = std::max(1, width);
  FButtonHeight = std::max(1, height);
  UpdateLayout();
}

void TButtonGroupEx::SetTextIndent(int indent) {
  FTextIndent = indent;
  viewport()->update();
}

void TButtonGroupEx::SetWordWrap(bool wrap) {
  FWordWrap = wrap;
  viewport()->update();
}

int TButtonGroupEx::AddItem(TItem item) {
  FItems.push_back(std::move(item));
  UpdateLayout();
  return Count() - 1;
}

void TButtonGroupEx::RemoveItem(int index) {
  if (index < 0 || index >= Count()) return;
  FItems.erase(FItems.begin() + index);
  if (FItemIndex == index)
    FItemIndex = -1;
  else if (FItemIndex > index)
    --FItemIndex;
  FHotIndex = -1;
  FDownIndex = -1;
  UpdateLayout();
}

void TButtonGroupEx::SetItemIndex(int index) {
  if (index < -1 || index >= Count()) index = -1;
  if (index == FItemIndex) return;
  FItemIndex = index;
  viewport()->update();
}

int TButtonGroupEx::ClientWidth() const {
  return viewport()->width();
}

int TButtonGroupEx::ButtonsPerRow() const {
  return std::max(1, ClientWidth() / FButtonWidth);
}

int TButtonGroupEx::Rows() const {
  return (Count() + ButtonsPerRow() - 1) / ButtonsPerRow();
}

QRect TButtonGroupEx::ButtonRect(int index) const {
  int perRow = ButtonsPerRow();
  return QRect(index % perRow * FButtonWidth,
               index / perRow * FButtonHeight - verticalScrollBar()->value(), FButtonWidth,
               FButtonHeight);
}

int TButtonGroupEx::IndexOfButtonAt(const QPoint& pos) const {
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= ButtonsPerRow() * FButtonWidth) return -1;
  int row = (pos.y() + verticalScrollBar()->value()) / FButtonHeight;
  int index = row * ButtonsPerRow() + pos.x() / FButtonWidth;
  return index < Count() ? index : -1;
}

void TButtonGroupEx::ScrollIntoView(int index) {
  if (index < 0 || index >= Count()) return;
  QScrollBar* bar = verticalScrollBar();
  int top = index / ButtonsPerRow() * FButtonHeight;
  if (top < bar->value())
    bar->setValue(top);
  else if (top + FButtonHeight > bar->value() + viewport()->height())
    bar->setValue(top + FButtonHeight - viewport()->height());
}

void TButtonGroupEx::UpdateLayout() {
  QScrollBar* bar = verticalScrollBar();
  bar->setSingleStep(FButtonHeight);
  bar->setPageStep(std::max(FButtonHeight, viewport()->height()));
  bar->setRange(0, std::max(0, Rows() * FButtonHeight - viewport()->height()));
  viewport()->update();
}

void TButtonGroupEx::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateLayout();
}

void TButtonGroupEx::scrollContentsBy(int, int) {
  viewport()->update();
}

void TButtonGroupEx::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette().color(backgroundRole()));
  for (int i = 0; i < Count(); ++i)
    if (ButtonRect(i).intersects(viewport()->rect())) DrawButton(painter, i);
}

void TButtonGroupEx::DrawButton(QPainter& painter, int index) {
  const TItem& item = FItems[static_cast<size_t>(index)];
  QRect r = ButtonRect(index).adjusted(1, 1, -1, -1);
  bool hot = index == FHotIndex;
  bool selected = index == FItemIndex;
  int pressed = index == FDownIndex && hot ? 1 : 0;

  QStyleOptionButton option;
  option.initFrom(this);
  option.rect = r;
  option.state = QStyle::State_Enabled | (pressed ? QStyle::State_Sunken : QStyle::State_Raised);
  if (hot) option.state |= QStyle::State_MouseOver;
  if (selected) option.state |= QStyle::State_On;
  style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
  // The active window's button is marked in the theme's highlight colour, light or dark.
  if (selected)
    painter.fillRect(QRect(r.left() + 3, r.bottom() - 2, r.width() - 6, 2), palette().highlight());

  int x0 = r.left() + 4 + pressed;
  int textLeft = x0 + FTextIndent;
  if (FImages && item.imageIndex >= 0 && item.imageIndex < FImageCount) {
    int top = std::max(r.top(), r.top() + (r.height() - 16) / 2) + pressed;
    painter.drawPixmap(x0 - 1, top, FImages(item.imageIndex).pixmap(16, 16));
    textLeft += 16 + 1;
  }
  QRect textRect(textLeft, r.top(), r.right() - 2 - textLeft, r.height());
  if (textRect.width() <= 0) return;

  QStringList lines = item.caption.split('\t').mid(0, 3);
  QFont first = font();
  QFont regular = font();
  regular.setBold(false);
  regular.setItalic(false);
  int total = 0;
  for (int i = 0; i < lines.size(); ++i)
    total += QFontMetrics(i == 0 ? first : regular).height();
  int y = std::max(r.top(), r.top() + (r.height() - total) / 2) + pressed;
  painter.setPen(palette().color(QPalette::ButtonText));
  for (int i = 0; i < lines.size(); ++i) {
    painter.setFont(i == 0 ? first : regular);
    QFontMetrics metrics(painter.font());
    QRect lineRect(textRect.left(), y, textRect.width(), metrics.height());
    if (FWordWrap)
      painter.drawText(lineRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, lines[i]);
    else
      painter.drawText(lineRect, Qt::AlignLeft | Qt::AlignTop,
                       metrics.elidedText(lines[i], Qt::ElideRight, lineRect.width()));
    y += metrics.height();
  }
}

void TButtonGroupEx::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    FDownIndex = IndexOfButtonAt(event->position().toPoint());
    viewport()->update();
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void TButtonGroupEx::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    int index = IndexOfButtonAt(event->position().toPoint());
    bool click = index >= 0 && index == FDownIndex;
    FDownIndex = -1;
    viewport()->update();
    if (click) {
      SetItemIndex(index);
      emit ButtonClicked(index);
    }
  }
  QAbstractScrollArea::mouseReleaseEvent(event);
}

void TButtonGroupEx::mouseMoveEvent(QMouseEvent* event) {
  int hot = IndexOfButtonAt(event->position().toPoint());
  if (hot != FHotIndex) {
    FHotIndex = hot;
    viewport()->update();
  }
  QAbstractScrollArea::mouseMoveEvent(event);
}

void TButtonGroupEx::leaveEvent(QEvent* event) {
  FHotIndex = -1;
  viewport()->update();
  QAbstractScrollArea::leaveEvent(event);
}

bool TButtonGroupEx::viewportEvent(QEvent* event) {
  switch (event->type()) {
  case QEvent::ToolTip: {
    auto* help = static_cast<QHelpEvent*>(event);
    int index = IndexOfButtonAt(help->pos());
    if (index >= 0 && !Item(index).hint.isEmpty())
      QToolTip::showText(help->globalPos(), Item(index).hint, viewport());
    else
      QToolTip::hideText();
    return true;
  }
  case QEvent::Wheel:
    // The bar does not scroll by wheel.
    event->accept();
    return true;
  case QEvent::Leave:
    leaveEvent(event);
    return true;
  default:
    return QAbstractScrollArea::viewportEvent(event);
  }
}

} // namespace pellora
