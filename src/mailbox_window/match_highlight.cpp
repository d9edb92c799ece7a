#include "mailbox_window/match_highlight.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace pellora {

std::vector<std::pair<int, int>> MatchSpans(const QString& text, const QStringList& texts) {
  std::vector<std::pair<int, int>> spans;
  for (const QString& searched : texts) {
    if (searched.isEmpty()) continue;
    for (qsizetype at = text.indexOf(searched, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(searched, at + searched.size(), Qt::CaseInsensitive))
      spans.emplace_back(static_cast<int>(at), static_cast<int>(searched.size()));
  }
  std::sort(spans.begin(), spans.end());
  std::vector<std::pair<int, int>> merged;
  for (const auto& [start, length] : spans) {
    if (!merged.empty() && start <= merged.back().first + merged.back().second)
      merged.back().second = std::max(merged.back().second, start + length - merged.back().first);
    else
      merged.emplace_back(start, length);
  }
  return merged;
}

TMatchHighlight::TMatchHighlight(QObject* parent) : QStyledItemDelegate(parent) {
  setObjectName("ListHighlight");
}

void TMatchHighlight::SetTexts(int column, QStringList texts) {
  if (texts.isEmpty())
    FTexts.erase(column);
  else
    FTexts[column] = std::move(texts);
}

QStringList TMatchHighlight::Texts(int column) const {
  auto it = FTexts.find(column);
  return it == FTexts.end() ? QStringList() : it->second;
}

void TMatchHighlight::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  auto texts = FTexts.find(index.column());
  if (texts == FTexts.end()) return QStyledItemDelegate::paint(painter, option, index);
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
  // The text as the cell shows it, elided to its width; the marks are found in what shows.
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1;
  QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
  textRect.adjust(margin, 0, -margin, 0);
  const QString shown =
      item.fontMetrics.elidedText(item.text, item.textElideMode, textRect.width());
  const std::vector<std::pair<int, int>> spans = MatchSpans(shown, texts->second);
  if (spans.empty()) return QStyledItemDelegate::paint(painter, option, index);

  item.text.clear(); // the background, focus and selection as usual; the text below
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
  QList<QTextLayout::FormatRange> marks;
  for (const auto& [start, length] : spans) {
    QTextLayout::FormatRange mark;
    mark.start = start;
    mark.length = length;
    mark.format.setBackground(QColor(255, 224, 64));
    mark.format.setForeground(Qt::black);
    marks.append(mark);
  }
  QTextLayout layout(shown, item.font);
  layout.setFormats(marks);
  QTextOption textOption;
  textOption.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(textOption);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  line.setLineWidth(textRect.width());
  layout.endLayout();
  painter->save();
  const bool selected = item.state & QStyle::State_Selected;
  painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  const qreal top = textRect.top() + (textRect.height() - line.height()) / 2;
  layout.draw(painter, QPointF(textRect.left(), top));
  painter->restore();
}

} // namespace pellora
