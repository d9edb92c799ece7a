#pragma once
#include <QPlainTextEdit>

namespace pellora {

// A read-only text editor with a gutter of line numbers counted from 1, with leading zeros.
class TSourceEditor : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit TSourceEditor(QWidget* parent = nullptr);
  int GutterWidth() const;
  // The number shown beside a line (0-based block number): its line number.
  QString GutterText(int blockNumber) const;
  void SetGutterVisible(bool visible);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  friend class TGutter;
  void PaintGutter(QPaintEvent* event);
  QWidget* FGutter;
  bool FGutterVisible = true;
};

} // namespace pellora
