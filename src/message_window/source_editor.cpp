#include "message_window/source_editor.h"

#include <QPainter>
#include <QTextBlock>

namespace pellora {

class TGutter : public QWidget {
public:
  explicit TGutter(TSourceEditor* editor) : QWidget(editor), FEditor(editor) {}
  QSize sizeHint() const override { return {FEditor->GutterWidth(), 0}; }

protected:
  void paintEvent(QPaintEvent* event) override { FEditor->PaintGutter(event); }

private:
  TSourceEditor* FEditor;
};

TSourceEditor::TSourceEditor(QWidget* parent) : QPlainTextEdit(parent), FGutter(new TGutter(this)) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  connect(this, &QPlainTextEdit::blockCountChanged, this, [this] {
    setViewportMargins(GutterWidth(), 0, 0, 0);
  });
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
    if (dy)
      FGutter->scroll(0, dy);
    else
      FGutter->update(0, rect.y(), FGutter->width(), rect.height());
  });
  setViewportMargins(GutterWidth(), 0, 0, 0);
}

QString TSourceEditor::GutterText(int blockNumber) const {
  int digits = static_cast<int>(QString::number(std::max(1, blockCount())).size());
  return QString("%1").arg(blockNumber + 1, digits, 10, QChar('0'));
}

int TSourceEditor::GutterWidth() const {
  if (!FGutterVisible) return 0;
  return fontMetrics().horizontalAdvance(GutterText(0)) + 12;
}

void TSourceEditor::SetGutterVisible(bool visible) {
  FGutterVisible = visible;
  FGutter->setVisible(visible);
  setViewportMargins(GutterWidth(), 0, 0, 0);
}

void TSourceEditor::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  QRect area = contentsRect();
  FGutter->setGeometry(QRect(area.left(), area.top(), GutterWidth(), area.height()));
}

void TSourceEditor::PaintGutter(QPaintEvent* event) {
  QPainter painter(FGutter);
  painter.fillRect(event->rect(), palette().color(QPalette::Window));
  painter.setPen(palette().color(QPalette::PlaceholderText));
  painter.setFont(font());
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  int bottom = top + qRound(blockBoundingRect(block).height());
  while (block.isValid() && top <= event->rect().bottom()) {
    if (block.isVisible() && bottom >= event->rect().top())
      painter.drawText(0, top, FGutter->width() - 6, fontMetrics().height(), Qt::AlignRight,
                       GutterText(block.blockNumber()));
    block = block.next();
    top = bottom;
    bottom = top + qRound(blockBoundingRect(block).height());
  }
}

} // namespace pellora
