#include "message_window/find_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pellora {

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("fd");
  setWindowTitle("Find");
  setModal(false);
  FText = new QLineEdit;
  FMatchCase = new QCheckBox("Match &case");
  FMatchCase->setObjectName("fdMatchCase");
  FWholeWord = new QCheckBox("Match &whole word only");
  FWholeWord->setObjectName("fdWholeWord");
  FUp = new QRadioButton("&Up");
  FUp->setObjectName("fdUp");
  FDown = new QRadioButton("&Down");
  FDown->setObjectName("fdDown");
  FDown->setChecked(true);
  auto* direction = new QGroupBox("Direction");
  direction->setObjectName("fdDirection");
  auto* dirLayout = new QHBoxLayout(direction);
  dirLayout->addWidget(FUp);
  dirLayout->addWidget(FDown);
  auto* findNext = new QPushButton("&Find Next");
  findNext->setObjectName("fdFindNext");
  findNext->setDefault(true);
  auto* cancel = new QPushButton("Cancel");
  cancel->setObjectName("fdCancel");
  connect(findNext, &QPushButton::clicked, this, &TFindDialog::Find);
  connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
  connect(FText, &QLineEdit::textChanged, findNext,
          [findNext](const QString& t) { findNext->setEnabled(!t.isEmpty()); });
  findNext->setEnabled(false);

  auto* left = new QVBoxLayout;
  auto* row = new QHBoxLayout;
  // With its buddy the label shows "Find what:" with N as the mnemonic, not the "&".
  auto* what = new QLabel("Fi&nd what:");
  what->setObjectName("fdLabel");
  what->setBuddy(FText);
  row->addWidget(what);
  row->addWidget(FText);
  left->addLayout(row);
  auto* options = new QHBoxLayout;
  auto* checks = new QVBoxLayout;
  checks->addWidget(FWholeWord);
  checks->addWidget(FMatchCase);
  options->addLayout(checks);
  options->addWidget(direction);
  left->addLayout(options);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(findNext);
  buttons->addWidget(cancel);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addLayout(buttons);
}

QString TFindDialog::FindText() const { return FText->text(); }
void TFindDialog::SetFindText(const QString& text) {
  // Selected and in focus: typing replaces the word taken from the text.
  FText->setText(text);
  FText->selectAll();
  FText->setFocus();
}
bool TFindDialog::Down() const { return FDown->isChecked(); }
void TFindDialog::SetDown(bool down) { (down ? FDown : FUp)->setChecked(true); }
bool TFindDialog::MatchCase() const { return FMatchCase->isChecked(); }
void TFindDialog::SetMatchCase(bool on) { FMatchCase->setChecked(on); }
bool TFindDialog::WholeWord() const { return FWholeWord->isChecked(); }
void TFindDialog::SetWholeWord(bool on) { FWholeWord->setChecked(on); }

} // namespace pellora
