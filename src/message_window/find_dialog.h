#pragma once
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace pellora {

// The non-modal find dialog: text, direction, match case, whole word.
class TFindDialog : public QDialog {
  Q_OBJECT
public:
  explicit TFindDialog(QWidget* parent = nullptr);
  QString FindText() const;
  void SetFindText(const QString& text);
  bool Down() const;
  void SetDown(bool down);
  bool MatchCase() const;
  void SetMatchCase(bool on);
  bool WholeWord() const;
  void SetWholeWord(bool on);

signals:
  void Find();

private:
  QLineEdit* FText;
  QRadioButton* FUp;
  QRadioButton* FDown;
  QCheckBox* FMatchCase;
  QCheckBox* FWholeWord;
};

} // namespace pellora
