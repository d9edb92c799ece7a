#include "discovery/open_wizard.h"

#include "discovery/open_history.h"
#include "discovery/store_browser.h"
#include "i18n/qt_language_controller.h"
#include "platform/files.h"
#include "platform/qt_platform.h"
#include "settings/qt_form_storage.h"
#include "stores/kinds/store_kinds.h"
#include "window_kit/error_report.h"
#include "window_kit/window_images.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace pellora {
namespace {

QString FromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string ToPath(const QString& text) { return QFile::encodeName(text).toStdString(); }

QObject* FileDialogSettings(QObject* owner, const char* name, const char* filter) {
  auto* settings = new QObject(owner);
  settings->setObjectName(name);
  settings->setProperty("Filter", QString(filter));
  return settings;
}

} // namespace

Twiz_pl_Open::Twiz_pl_Open(QWidget* owner) : QDialog(owner) {
  setObjectName("wiz_pl_Open");
  setWindowTitle("Open Wizard");
  odOE = FileDialogSettings(this, "odOE",
                            "Outlook Express message databases|*.dbx;*.mbx|All files|*.*");
  odEML = FileDialogSettings(this, "odEML", "Email files|*.eml|All files|*.*");
  odTB = FileDialogSettings(this, "odTB",
                            "Mozilla Thunderbird message databases|*.*|All files|*.*");
  BuildRows();

  Button2 = new QPushButton("OK");
  Button2->setObjectName("Button2");
  Button2->setDefault(true);
  Button1 = new QPushButton("Cancel");
  Button1->setObjectName("Button1");
  connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button1, &QPushButton::clicked, this, &QDialog::reject);

  auto* picture = new QLabel;
  picture->setObjectName("Image1");
  picture->setPixmap(ProgramIcon().pixmap(32, 32));
  picture->setFixedSize(32, 32);
  auto* top = new QHBoxLayout;
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addWidget(GroupBox1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button2);
  buttons->addWidget(Button1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);

  // Each choice's field, then its buttons; the choices in order; OK and Cancel last.
  QWidget* previous = nullptr;
  for (const TRow& row : FRows)
    for (QWidget* widget : {static_cast<QWidget*>(row.Radio), static_cast<QWidget*>(row.Field),
                            static_cast<QWidget*>(row.Browse), static_cast<QWidget*>(row.Store)}) {
      if (!widget) continue;
      if (previous) setTabOrder(previous, widget);
      previous = widget;
    }
  setTabOrder(previous, Button2);
  setTabOrder(Button2, Button1);

  FormStorage = new TQtFormStorage(this, "%FORM_NAME%\\", {});
  FormStorage->AddItems("deEML.Items", deEML);
  FormStorage->AddItems("feEML.Items", feEML);
  FormStorage->AddItems("feOE.Items", feOE);
  FormStorage->AddItems("feTB.Items", feTB);

  auto* language = new TQtLanguageController(this, "wiz_pl_Open");
  connect(language, &TQtLanguageController::OnLanguageChanged, this, [this] { FitToTexts(); });
  language->Attach();
  rb1->setChecked(true);
  rbClick();
  FitToTexts();
}

Twiz_pl_Open::~Twiz_pl_Open() { FormStorage->SaveUnlessSaved(); }

void Twiz_pl_Open::BuildRows() {
  GroupBox1 = new QGroupBox("[ Open what? ]");
  GroupBox1->setObjectName("GroupBox1");
  auto* grid = new QGridLayout(GroupBox1);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(1, 300);
  grid->setVerticalSpacing(4);

  auto makeRow = [this, grid](int index, const char* radioName, const char* caption, int image,
                              const char* fieldName, const char* browseName,
                              const char* storeName, const char* storeCaption, int tag,
                              TOpenKind kind, void (Twiz_pl_Open::*dblClick)()) {
    auto* icon = new QLabel;
    icon->setPixmap(WindowImage(image).pixmap(16, 16));
    auto* radio = new QRadioButton(caption);
    radio->setObjectName(radioName);
    QFont bold = radio->font();
    bold.setBold(true);
    radio->setFont(bold);
    auto* field = new QComboBox;
    field->setObjectName(fieldName);
    field->setEditable(true);
    field->setInsertPolicy(QComboBox::NoInsert); // the history grows on OK only
    field->setToolTip("Double-click to browse");
    field->lineEdit()->installEventFilter(this);
    auto* browse = new QToolButton;
    browse->setObjectName(browseName);
    browse->setAutoRaise(true);
    browse->setIcon(style()->standardIcon(OpensFolder(kind) ? QStyle::SP_DirOpenIcon
                                                            : QStyle::SP_FileDialogStart));
    browse->setToolTip("Browse");
    QPushButton* store = nullptr;
    if (storeName) {
      store = new QPushButton(storeCaption);
      store->setObjectName(storeName);
      store->setProperty("Tag", tag);
      store->setAutoDefault(false);
    }
    // A choice on one line, its field and buttons below it, a gap before the next choice.
    const int line = index * 3;
    grid->addWidget(icon, line, 0, Qt::AlignCenter);
    grid->addWidget(radio, line, 1, 1, 3);
    grid->addWidget(field, line + 1, 1);
    grid->addWidget(browse, line + 1, 2);
    if (store) grid->addWidget(store, line + 1, 3);
    if (index < 3) grid->setRowMinimumHeight(line + 2, 6);
    connect(radio, &QRadioButton::toggled, this, Guarded([this] { rbClick(); }));
    connect(browse, &QToolButton::clicked, this, Guarded([this, dblClick] { (this->*dblClick)(); }));
    if (store)
      connect(store, &QPushButton::clicked, this, Guarded([this, store] { cmStore(store); }));
    FRows[index] = {radio, field, browse, store, kind, dblClick};
    return radio;
  };
  rb1 = makeRow(0, "rb1", "Outlook Express message database", 7, "feOE", "sbOE", "bOE",
                "Browse current OE store", 0, okOEDatabase, &Twiz_pl_Open::feOEDblClick);
  rb2 = makeRow(1, "rb2", "Folder containing e-mail files (EML)", 8, "deEML", "sbEMLF", "bEML",
                "Browse current Win/Live Mail store", 1, okMessageFolder,
                &Twiz_pl_Open::deEMLDblClick);
  rb3 = makeRow(2, "rb3", "Mozilla Thunderbird message database", 9, "feTB", "sbTB", "bTB",
                "Browse current TB store", 2, okMailboxFile, &Twiz_pl_Open::feTBDblClick);
  rb4 = makeRow(3, "rb4", "Single EML file", 6, "feEML", "sbEML", nullptr, nullptr, 0,
                okMessageFile, &Twiz_pl_Open::feEMLDblClick);
  feOE = FRows[0].Field;
  deEML = FRows[1].Field;
  feTB = FRows[2].Field;
  feEML = FRows[3].Field;
  sbOE = FRows[0].Browse;
  sbEMLF = FRows[1].Browse;
  sbTB = FRows[2].Browse;
  sbEML = FRows[3].Browse;
  bOE = FRows[0].Store;
  bEML = FRows[1].Store;
  bTB = FRows[2].Store;
}

// Not resizable, but never smaller than its texts need (longer in other languages).
void Twiz_pl_Open::FitToTexts() {
  layout()->activate();
  setFixedSize(layout()->sizeHint().expandedTo(QSize(613, 352)));
}

void Twiz_pl_Open::setVisible(bool visible) {
  if (visible && !FormStorage->Restored()) FormStorage->Restore();
  QDialog::setVisible(visible);
}

void Twiz_pl_Open::rbClick() {
  for (const TRow& row : FRows) {
    const bool selected = row.Radio->isChecked();
    row.Field->setEnabled(selected);
    row.Browse->setEnabled(selected);
    if (row.Store) row.Store->setEnabled(selected);
  }
}

bool Twiz_pl_Open::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    for (const TRow& row : FRows)
      if (watched == row.Field->lineEdit() && row.Field->isEnabled()) {
        RunGuarded([this, &row] { (this->*row.DblClick)(); });
        return true;
      }
  }
  return QDialog::eventFilter(watched, event);
}

void Twiz_pl_Open::feOEDblClick() { BrowseFile(odOE, feOE); }
void Twiz_pl_Open::feTBDblClick() { BrowseFile(odTB, feTB); }
void Twiz_pl_Open::feEMLDblClick() { BrowseFile(odEML, feEML); }

void Twiz_pl_Open::BrowseFile(QObject* dialog, QComboBox* field) {
  const QString start = FromPath(ExtractFilePath(ToPath(field->currentText())));
  QString chosen = PickOpenFile(this, dialog->property("Filter").toString(), start);
  if (!chosen.isEmpty()) field->setEditText(chosen);
}

void Twiz_pl_Open::deEMLDblClick() {
  QString chosen = PickFolder(this, QString(), deEML->currentText());
  if (!chosen.isEmpty()) deEML->setEditText(chosen);
}

void Twiz_pl_Open::cmStore(QPushButton* button) {
  const int tag = button->property("Tag").toInt();
  // A failure while the browser fills leaves the field as it was.
  std::string path = BrowseCurrentStore(tag, this);
  // Cancel empties the field, unlike the browse buttons.
  QComboBox* field = tag == 0 ? feOE : tag == 1 ? deEML : feTB;
  field->setEditText(FromPath(path));
}

const Twiz_pl_Open::TRow& Twiz_pl_Open::SelectedRow() const {
  for (const TRow& row : FRows)
    if (row.Radio->isChecked()) return row;
  return FRows[3];
}

void Twiz_pl_Open::FormClose(int result) {
  if (result != QDialog::Accepted) return;
  QComboBox* field = SelectedRow().Field;
  const QString text = field->currentText();
  std::vector<std::string> items;
  for (int i = 0; i < field->count(); ++i)
    items.push_back(field->itemText(i).toStdString());
  if (AddToHistory(items, text.toStdString())) {
    field->addItem(text);
    field->setEditText(text);
  }
}

void Twiz_pl_Open::done(int result) {
  FChoice = {};
  if (result == QDialog::Accepted) {
    const TRow& row = SelectedRow();
    FChoice = {true, ToPath(row.Field->currentText()), row.Kind};
  }
  FormClose(result);
  // The histories are saved as the wizard closes, the confirmed path with them.
  FormStorage->Save();
  QDialog::done(result);
}

TOpenChoice RunOpenWizard(QWidget* owner) {
  Twiz_pl_Open wizard(owner);
  wizard.exec();
  return wizard.Choice();
}

} // namespace pellora
