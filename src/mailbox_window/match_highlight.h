#pragma once
// The list's marks of what a filter or query matched: the texts found in the From, Subject and
// To cells drawn on a highlight.
#include <QStyledItemDelegate>

#include <map>
#include <utility>
#include <vector>

namespace pellora {

// Where texts occur in text, letters compared without regard to case: (start, length) spans in
// order, overlapping ones merged.
std::vector<std::pair<int, int>> MatchSpans(const QString& text, const QStringList& texts);

class TMatchHighlight : public QStyledItemDelegate {
  Q_OBJECT
public:
  explicit TMatchHighlight(QObject* parent = nullptr);
  // The texts to mark in a column's cells; an empty list marks none.
  void SetTexts(int column, QStringList texts);
  void Clear() { FTexts.clear(); }
  QStringList Texts(int column) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

private:
  std::map<int, QStringList> FTexts;
};

} // namespace pellora
