#pragma once
// The open wizard behind the frame's Open action: one of four kinds of source, its path typed,
// browsed or taken from the user's mail programs, with a history per path field.
#include "stores/open_kind.h"

#include <QDialog>

#include <string>

class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace pellora {

class TQtFormStorage;

struct TOpenChoice {
  bool Confirmed = false;
  std::string Path;
  TOpenKind Kind = okUnknown;
};

class Twiz_pl_Open : public QDialog {
  Q_OBJECT
public:
  explicit Twiz_pl_Open(QWidget* owner = nullptr);
  ~Twiz_pl_Open() override;

  // What the wizard closed with: the selected choice's path and kind when confirmed.
  const TOpenChoice& Choice() const { return FChoice; }

  void setVisible(bool visible) override;
  void done(int result) override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct TRow {
    QRadioButton* Radio;
    QComboBox* Field;
    QToolButton* Browse;
    QPushButton* Store; // none for a single file
    TOpenKind Kind;
    void (Twiz_pl_Open::*DblClick)(); // the field's browse handler
  };
  void BuildRows();
  void FitToTexts();
  void rbClick();
  void feOEDblClick();
  void feTBDblClick();
  void feEMLDblClick();
  void deEMLDblClick();
  void BrowseFile(QObject* dialog, QComboBox* field);
  void cmStore(QPushButton* button);
  void FormClose(int result);
  const TRow& SelectedRow() const;

  QGroupBox* GroupBox1 = nullptr;
  QRadioButton *rb1 = nullptr, *rb2 = nullptr, *rb3 = nullptr, *rb4 = nullptr;
  QComboBox *feOE = nullptr, *deEML = nullptr, *feTB = nullptr, *feEML = nullptr;
  QToolButton *sbOE = nullptr, *sbEMLF = nullptr, *sbTB = nullptr, *sbEML = nullptr;
  QPushButton *bOE = nullptr, *bEML = nullptr, *bTB = nullptr;
  QPushButton* Button2 = nullptr; // OK
  QPushButton* Button1 = nullptr; // Cancel
  // The file dialogs' settings, made into a dialog when one runs: their Filter is translated.
  QObject *odOE = nullptr, *odEML = nullptr, *odTB = nullptr;
  TQtFormStorage* FormStorage = nullptr;
  TRow FRows[4]{};
  TOpenChoice FChoice;
};

// Shows the wizard modally; the result is confirmed when it closed with OK.
TOpenChoice RunOpenWizard(QWidget* owner);

} // namespace pellora
