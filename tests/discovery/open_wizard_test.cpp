// The open wizard and the store browser as a user meets them: choices, fields with histories,
// browse and store buttons, the tree of the user's stores, and File > Open end to end.
#include "discovery/open_wizard.h"
#include "discovery/store_browser.h"
#include "discovery/store_discovery.h"
#include "mailbox_window/mailbox_window.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include "platform/qt_platform.h"
#include "support/discovery_builders.h"
#include "support/qt_frame.h"
#include "support/scoped_env.h"
#include "support/settings_folder.h"
#include "support/temp_dir.h"

#include <QComboBox>
#include <QFont>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <filesystem>
#include <unistd.h>

using namespace pellora;
using pellora::test::Child;
using pellora::test::TScopedEnv;
using pellora::test::TSettingsFolder;
using pellora::test::TTempDir;
using pellora::test::TTestFrame;
using pellora::test::WhenModal;
using pellora::test::WriteFileAt;

namespace {

TSettingsFolder* settingsFolder = nullptr;

QVariant Stored(const QString& path) {
  QSettings ini(QString::fromStdString(settingsFolder->IniFile()), QSettings::IniFormat);
  return ini.value("SOFTWARE/Vantrel/Pellora/1.x/wiz_pl_Open/" + path);
}

QStringList Items(QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i)
    items << box->itemText(i);
  return items;
}

// Answers the next wizard: chooses a radio button, types a path, and closes with the button.
void AnswerWizard(const char* radio, const char* field, const QString& path,
                  const char* button = "Button2") {
  WhenModal<Twiz_pl_Open>([=](Twiz_pl_Open* wizard) {
    Child<QRadioButton>(wizard, radio)->click();
    Child<QComboBox>(wizard, field)->setEditText(path);
    Child<QPushButton>(wizard, button)->click();
  });
}

// The row of the tree whose first column reads name, at any depth.
QModelIndex FindRow(const QAbstractItemModel* model, const QString& name,
                    const QModelIndex& parent = {}) {
  for (int row = 0; row < model->rowCount(parent); ++row) {
    QModelIndex index = model->index(row, 0, parent);
    if (index.data().toString() == name) return index;
    if (QModelIndex found = FindRow(model, name, index); found.isValid()) return found;
  }
  return {};
}

// A Linux home with a Thunderbird profile whose local folders hold the given mailbox files.
std::string ThunderbirdHome(const TTempDir& dir, const std::vector<std::string>& mailboxes) {
  const std::string home = dir.MakeDir("home");
  const std::string profile = home + "/.thunderbird/p.default";
  WriteFileAt(home + "/.thunderbird/profiles.ini", "[Profile0]\nName=default\nPath=p.default\n");
  WriteFileAt(profile + "/prefs.js",
              "user_pref(\"mail.root.none\", \"" + profile + "/Mail\");\n");
  for (const std::string& name : mailboxes)
    WriteFileAt(profile + "/Mail/Local Folders/" + name, "From - Mon Jan 01 00:00:00 2024\r\n"
                                                         "Subject: " + name + "\r\n\r\nbody\r\n");
  return home;
}

struct TEnabled {
  const char* radio;
  QStringList enabled;
};

} // namespace

class OpenWizardTest : public QObject {
  Q_OBJECT

  TTempDir dir;
  QList<QPair<QString, QString>> picks; // the file dialogs asked for: filter, start folder
  QString pickAnswer;
  QStringList boxes;

private slots:
  void initTestCase() {
    RegisterMessageWindow();
    RegisterMailboxWindow();
    SetPickOpenFileHook([this](const QString& filter, const QString& start) {
      picks << qMakePair(filter, start);
      return pickAnswer;
    });
  }
  void init() {
    // A test frame answers the boxes itself while it lives.
    SetMessageBoxHook([this](TBoxKind, const QString& text, const QString&) {
      boxes << text;
      return true;
    });
    picks.clear();
    boxes.clear();
    pickAnswer.clear();
    SetCommandLineProfiles({});
    QSettings(QString::fromStdString(settingsFolder->IniFile()), QSettings::IniFormat).clear();
  }
  void cleanupTestCase() {
    SetPickOpenFileHook(nullptr);
    SetPickFolderHook(nullptr);
    SetMessageBoxHook(nullptr);
  }

  void StartsOnTheFirstChoiceWithEmptyFields() {
    Twiz_pl_Open wizard;
    wizard.show();
    QCOMPARE(wizard.windowTitle(), QString("Open Wizard"));
    QVERIFY(Child<QRadioButton>(&wizard, "rb1")->isChecked());
    for (const char* name : {"rb1", "rb2", "rb3", "rb4"})
      QVERIFY(Child<QRadioButton>(&wizard, name)->font().bold());
    for (const char* name : {"feOE", "deEML", "feTB", "feEML"}) {
      QCOMPARE(Child<QComboBox>(&wizard, name)->currentText(), QString());
      QCOMPARE(Child<QComboBox>(&wizard, name)->toolTip(), QString("Double-click to browse"));
    }
    for (const char* name : {"sbOE", "sbEMLF", "sbTB", "sbEML"})
      QCOMPARE(Child<QToolButton>(&wizard, name)->toolTip(), QString("Browse"));
    QCOMPARE(Child<QPushButton>(&wizard, "bEML")->text(),
             QString("Browse current Win/Live Mail store"));
    QCOMPARE(Child<QPushButton>(&wizard, "bTB")->property("Tag").toInt(), 2);
    QVERIFY(Child<QPushButton>(&wizard, "Button2")->isDefault());
    QCOMPARE(Child<QObject>(&wizard, "odOE")->property("Filter").toString(),
             QString("Outlook Express message databases|*.dbx;*.mbx|All files|*.*"));
    QVERIFY(wizard.width() >= 613 && wizard.height() >= 352);
    QCOMPARE(wizard.minimumSize(), wizard.maximumSize()); // a dialog border: not resizable
  }

  void EachChoiceEnablesItsOwnRow() {
    const TEnabled cases[] = {
        {"rb1", {"feOE", "sbOE", "bOE"}},
        {"rb2", {"deEML", "sbEMLF", "bEML"}},
        {"rb3", {"feTB", "sbTB", "bTB"}},
        {"rb4", {"feEML", "sbEML"}},
    };
    Twiz_pl_Open wizard;
    wizard.show();
    const QStringList all = {"feOE",  "sbOE", "bOE",  "deEML", "sbEMLF", "bEML",
                             "feTB",  "sbTB", "bTB",  "feEML", "sbEML"};
    for (const TEnabled& c : cases) {
      Child<QRadioButton>(&wizard, c.radio)->click();
      QStringList enabled;
      for (const QString& name : all)
        if (Child<QWidget>(&wizard, name.toLatin1().constData())->isEnabled()) enabled << name;
      QCOMPARE(enabled, c.enabled);
    }
  }

  // Tab goes from a choice to its field and buttons, then on to OK and Cancel.
  void KeyboardOrder() {
    Twiz_pl_Open wizard;
    wizard.show();
    QApplication::setActiveWindow(&wizard);
    Child<QRadioButton>(&wizard, "rb3")->click();
    Child<QRadioButton>(&wizard, "rb3")->setFocus();
    QStringList order;
    for (int i = 0; i < 5; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* focus = QApplication::focusWidget();
      while (focus && focus->objectName().isEmpty())
        focus = focus->parentWidget(); // a field's editor stands for its field
      order << (focus ? focus->objectName() : QString());
    }
    QCOMPARE(order.mid(0, 3), QStringList({"feTB", "sbTB", "bTB"}));
    QVERIFY(order.contains("Button2"));
  }

  void ConfirmedPathsGrowTheirFieldsHistory() {
    const QString inbox = "/mail/Local Folders/Inbox";
    AnswerWizard("rb3", "feTB", inbox);
    TOpenChoice choice = RunOpenWizard(nullptr);
    QVERIFY(choice.Confirmed);
    QCOMPARE(choice.Kind, okMailboxFile);
    QCOMPARE(QString::fromStdString(choice.Path), inbox);
    QCOMPARE(Stored("feTB_Items/Count").toInt(), 1);
    QCOMPARE(Stored("feTB_Items/Item0").toString(), inbox);
    QCOMPARE(Stored("deEML_Items/Count").toInt(), 0); // the other lists are written as they are

    // The next run shows an empty field whose list ends with the path; the same path in other
    // letter case is not added again, a new one is.
    WhenModal<Twiz_pl_Open>([&](Twiz_pl_Open* wizard) {
      auto* feTB = Child<QComboBox>(wizard, "feTB");
      QCOMPARE(feTB->currentText(), QString());
      QCOMPARE(Items(feTB), QStringList{inbox});
      Child<QRadioButton>(wizard, "rb3")->click();
      feTB->setEditText("/MAIL/local folders/inbox");
      Child<QPushButton>(wizard, "Button2")->click();
    });
    QVERIFY(RunOpenWizard(nullptr).Confirmed);
    QCOMPARE(Stored("feTB_Items/Count").toInt(), 1);
    AnswerWizard("rb3", "feTB", "/mail/Local Folders/Sent");
    RunOpenWizard(nullptr);
    QCOMPARE(Stored("feTB_Items/Count").toInt(), 2);
    QCOMPARE(Stored("feTB_Items/Item1").toString(), QString("/mail/Local Folders/Sent"));

    AnswerWizard("rb2", "deEML", "/mail/folder");
    choice = RunOpenWizard(nullptr);
    QCOMPARE(choice.Kind, okMessageFolder);
    AnswerWizard("rb4", "feEML", "/mail/one.eml");
    QCOMPARE(RunOpenWizard(nullptr).Kind, okMessageFile);
    AnswerWizard("rb1", "feOE", "/mail/Inbox.dbx");
    QCOMPARE(RunOpenWizard(nullptr).Kind, okOEDatabase);
    QCOMPARE(Stored("deEML_Items/Item0").toString(), QString("/mail/folder"));
    QCOMPARE(Stored("feEML_Items/Item0").toString(), QString("/mail/one.eml"));
    QCOMPARE(Stored("feOE_Items/Item0").toString(), QString("/mail/Inbox.dbx"));
  }

  void CancelOrClosingConfirmsNothing() {
    AnswerWizard("rb3", "feTB", "/mail/Inbox", "Button1");
    QVERIFY(!RunOpenWizard(nullptr).Confirmed);
    WhenModal<Twiz_pl_Open>([](Twiz_pl_Open* wizard) {
      Child<QComboBox>(wizard, "feOE")->setEditText("/mail/Inbox.dbx");
      wizard->close();
    });
    QVERIFY(!RunOpenWizard(nullptr).Confirmed);
    QCOMPARE(Stored("feTB_Items/Count").toInt(), 0);
    QCOMPARE(Stored("feOE_Items/Count").toInt(), 0);
  }

  // The browse buttons and a double-click on a field ask for a file in the field's folder and
  // keep the field on cancel; a disabled field does not react.
  void BrowseButtonsAndDoubleClicks() {
    Twiz_pl_Open wizard;
    wizard.show();
    auto* feOE = Child<QComboBox>(&wizard, "feOE");
    feOE->setEditText("/mail/identity/Inbox.dbx");
    Child<QToolButton>(&wizard, "sbOE")->click();
    QCOMPARE(feOE->currentText(), QString("/mail/identity/Inbox.dbx"));
    pickAnswer = "/mail/identity/Sent Items.dbx";
    QTest::mouseDClick(feOE->lineEdit(), Qt::LeftButton);
    QCOMPARE(feOE->currentText(), pickAnswer);
    QCOMPARE(picks.size(), 2);
    QCOMPARE(picks[0], qMakePair(QString("Outlook Express message databases|*.dbx;*.mbx|All files|*.*"),
                                 QString("/mail/identity/")));

    picks.clear();
    auto* feTB = Child<QComboBox>(&wizard, "feTB");
    QTest::mouseDClick(feTB->lineEdit(), Qt::LeftButton);
    QVERIFY(picks.isEmpty());
    Child<QRadioButton>(&wizard, "rb3")->click();
    QTest::mouseDClick(feTB->lineEdit(), Qt::LeftButton);
    QCOMPARE(picks.size(), 1);
    QCOMPARE(picks[0].first, QString("Mozilla Thunderbird message databases|*.*|All files|*.*"));
    QCOMPARE(feTB->currentText(), pickAnswer);

    picks.clear();
    Child<QRadioButton>(&wizard, "rb4")->click();
    pickAnswer.clear();
    Child<QToolButton>(&wizard, "sbEML")->click();
    QCOMPARE(picks[0].first, QString("Email files|*.eml|All files|*.*"));

    QStringList starts;
    QString folderAnswer;
    SetPickFolderHook([&](const QString& title, const QString& start) {
      starts << title << start;
      return folderAnswer;
    });
    Child<QRadioButton>(&wizard, "rb2")->click();
    auto* deEML = Child<QComboBox>(&wizard, "deEML");
    deEML->setEditText("/mail/Local Folders");
    Child<QToolButton>(&wizard, "sbEMLF")->click();
    QCOMPARE(deEML->currentText(), QString("/mail/Local Folders"));
    folderAnswer = "/mail/Other";
    QTest::mouseDClick(deEML->lineEdit(), Qt::LeftButton);
    QCOMPARE(deEML->currentText(), QString("/mail/Other"));
    QCOMPARE(starts, QStringList({"", "/mail/Local Folders", "", "/mail/Local Folders"}));
    SetPickFolderHook(nullptr);
  }

  // A store button puts what the browser returns into its field, an empty text after Cancel.
  void StoreButtonCancelEmptiesTheField() {
    TTempDir home;
    TScopedEnv env("HOME", home.Path().c_str());
    Twiz_pl_Open wizard;
    wizard.show();
    auto* feOE = Child<QComboBox>(&wizard, "feOE");
    feOE->setEditText("/mail/Inbox.dbx");
    WhenModal<Tdlg_pl_Files>([](Tdlg_pl_Files* browser) {
      QCOMPARE(browser->windowTitle(), QString("Current session message databases"));
      Child<QPushButton>(browser, "bLoad")->click();
    });
    Child<QPushButton>(&wizard, "bOE")->click();
    QCOMPARE(feOE->currentText(), QString());
  }

  // The browser fails while it fills: it never shows, the failure is reported and the wizard
  // goes on with its field as it was.
  void StoreBrowserFailureLeavesTheField() {
    SetCommandLineProfiles({dir / "no-such-profile"});
    Twiz_pl_Open wizard;
    wizard.show();
    auto* feOE = Child<QComboBox>(&wizard, "feOE");
    feOE->setEditText("/mail/Inbox.dbx");
    Child<QPushButton>(&wizard, "bOE")->click();
    QCOMPARE(boxes, QStringList{QString("Folder %1 does not exist.")
                                    .arg(QString::fromStdString(dir / "no-such-profile"))});
    QCOMPARE(feOE->currentText(), QString("/mail/Inbox.dbx"));
    QVERIFY(wizard.isVisible());
  }

  void BrowserRowsAndWhatCanBeChosen() {
    TTempDir tmp;
    const std::string home = ThunderbirdHome(tmp, {"Inbox", "Trash"});
    const std::string local = home + "/.thunderbird/p.default/Mail/Local Folders/";
    WriteFileAt(local + "Inbox.msf", "index");
    WriteFileAt(local + "Inbox.sbd/Work", "From - x\r\n");
    TScopedEnv env("HOME", home.c_str());
    Tdlg_pl_Files browser;
    browser.Fill(skThunderbird);
    browser.show();
    auto* tree = Child<QTreeView>(&browser, "Tree");
    auto* ok = Child<QPushButton>(&browser, "bOK");
    const QAbstractItemModel* model = tree->model();
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("Identity / Folder"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("Size [B]"));
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QString("Timestamp"));
    QVERIFY(!tree->header()->sectionsClickable()); // no sorting
    QVERIFY(!ok->isEnabled());

    const QModelIndex top = model->index(0, 0);
    QCOMPARE(top.data().toString(), QString("Mail"));
    QCOMPARE(model->index(0, 1).data(), QVariant()); // a top-level row shows its name only
    const QModelIndex work = FindRow(model, "Work");
    QVERIFY(tree->isExpanded(work.parent())); // everything expanded
    QCOMPARE(work.parent().data().toString(), QString("Inbox"));
    QCOMPARE(work.siblingAtColumn(1).data().toString(), QString("10"));
    QCOMPARE(work.siblingAtColumn(1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
             int(Qt::AlignRight));
    QVERIFY(!work.siblingAtColumn(2).data().toString().isEmpty());
    QVERIFY(!FindRow(model, "Inbox.msf").isValid());

    tree->setCurrentIndex(top);
    QVERIFY(!ok->isEnabled());
    emit tree->doubleClicked(top);
    QVERIFY(browser.isVisible()); // a top-level row cannot be chosen
    QCOMPARE(browser.FocusedPath(), std::string());

    // Several rows selected: the focused one counts.
    const QModelIndex trash = FindRow(model, "Trash");
    tree->selectionModel()->select(FindRow(model, "Inbox"), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    tree->selectionModel()->setCurrentIndex(trash, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(ok->isEnabled());
    QCOMPARE(browser.FocusedPath(), local + "Trash");

    tree->setCurrentIndex(work);
    emit tree->doubleClicked(work);
    QCOMPARE(browser.result(), int(QDialog::Accepted));
    QCOMPARE(browser.FocusedPath(), local + "Inbox.sbd/Work");
  }

  // File > Open, "Browse current TB store", a mailbox of a real program chosen in the tree,
  // OK twice: the mailbox opens.
  void OpensAMailboxChosenFromTheUsersThunderbird() {
    const std::string data = test::SharedDataDir();
    if (data.empty()) QSKIP("../shared/data is absent");
    TTempDir tmp;
    const std::string home = ThunderbirdHome(tmp, {});
    const std::string local = tmp.MakeDir("home/.thunderbird/p.default/Mail/Local Folders") + "/";
    for (const char* name : {"basic1", "bugmail1", "multipart1"})
      std::filesystem::copy_file(data + "/thunderbird/" + name, local + name);
    TScopedEnv env("HOME", home.c_str());
    TTestFrame frame;
    WhenModal<Twiz_pl_Open>([&](Twiz_pl_Open* wizard) {
      Child<QRadioButton>(wizard, "rb3")->click();
      WhenModal<Tdlg_pl_Files>([&](Tdlg_pl_Files* browser) {
        auto* tree = Child<QTreeView>(browser, "Tree");
        QCOMPARE(tree->model()->rowCount(FindRow(tree->model(), "Local Folders")), 3);
        tree->setCurrentIndex(FindRow(tree->model(), "bugmail1"));
        Child<QPushButton>(browser, "bOK")->click();
      });
      Child<QPushButton>(wizard, "bTB")->click();
      QCOMPARE(Child<QComboBox>(wizard, "feTB")->currentText(),
               QString::fromStdString(local + "bugmail1"));
      Child<QPushButton>(wizard, "Button2")->click();
    });
    frame->acOpen->trigger();
    auto* mailbox = frame.Last<Tmdi_pl_Viewer>();
    QVERIFY(mailbox);
    QCOMPARE(mailbox->windowTitle(), QString("bugmail1"));
    QCOMPARE(mailbox->Mailbox().Entries().size(), size_t(1));
    QVERIFY(frame.Boxes.isEmpty());
  }
};

int main(int argc, char** argv) {
  TSettingsFolder settings;
  settingsFolder = &settings;
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  THtmlView::RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  OpenWizardTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "open_wizard_test.moc"
