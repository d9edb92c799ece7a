// Windows take the texts of the selected language, and give their own back.
#include "discovery/open_wizard.h"
#include "discovery/store_browser.h"
#include "i18n/language_manager.h"
#include "i18n/qt_language_controller.h"
#include "i18n/window_texts.h"
#include "mailbox_window/mailbox_window.h"
#include "platform/system_info.h"
#include "shell/about_dialog.h"
#include "support/qt_frame.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include <QApplication>
#include "shell/main_window.h"
#include "support/settings_folder.h"
#include "support/temp_dir.h"
#include "update/qt_web_update.h"
#include "window_bar/mdi_button_group.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

using namespace pellora;

namespace {

// A language whose every text is its identifier in guillemets: what a window shows that is not
// so marked was not translated.
std::string PseudoLanguage() {
  std::string text = "\xEF\xBB\xBFLANGID=1034\n[$CONSTANTS]\n";
  for (const std::string& name : TLanguageManager::Instance().ConstantNames())
    text += name + "=\xC2\xAB" + name + "\xC2\xBB\n";
  for (std::string_view section : TranslatableSections()) {
    text += "[" + std::string(section) + "]\n";
    for (const auto& t : TranslatableTexts(section))
      text += std::to_string(t.id) + "=\xC2\xAB" + std::to_string(t.id) + "\xC2\xBB\n";
  }
  return text;
}

// The fixed texts a window shows: captions, titles, tabs, hints, header labels.
QStringList ShownTexts(QWidget* window) {
  QStringList texts;
  auto add = [&texts](const QString& text) {
    QString plain = text;
    plain.remove('&');
    if (!plain.trimmed().isEmpty()) texts << text;
  };
  add(window->windowTitle());
  QList<QObject*> objects = window->findChildren<QObject*>();
  for (QObject* object : objects) {
    if (auto* label = qobject_cast<QLabel*>(object); label && label->pixmap().isNull())
      add(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(object)) add(button->text());
    if (auto* group = qobject_cast<QGroupBox*>(object)) add(group->title());
    if (auto* menu = qobject_cast<QMenu*>(object)) add(menu->title());
    if (auto* action = qobject_cast<QAction*>(object); action && !action->isSeparator()) {
      add(action->text());
      if (!action->statusTip().isEmpty()) add(action->statusTip());
    }
    if (auto* tabs = qobject_cast<QTabWidget*>(object))
      for (int i = 0; i < tabs->count(); ++i)
        add(tabs->tabText(i));
    if (auto* tree = qobject_cast<QTreeWidget*>(object))
      for (int i = 0; i < tree->columnCount(); ++i)
        add(tree->headerItem()->text(i));
    if (auto* widget = qobject_cast<QWidget*>(object)) add(widget->toolTip());
  }
  return texts;
}

QStringList Untranslated(QWidget* window, const QStringList& allowed = {}) {
  QStringList untranslated;
  for (const QString& text : ShownTexts(window))
    if (!text.contains(QString::fromUtf8("\xC2\xAB")) && !allowed.contains(text))
      untranslated << text;
  return untranslated;
}

} // namespace

class LanguageControllerTest : public QObject {
  Q_OBJECT

  pellora::test::TTempDir dir;
  TLanguageManager& manager = TLanguageManager::Instance();

private slots:
  void initTestCase() {
    manager.AddLanguageFile(PELLORA_LANGUAGES "/german.lng");
    manager.AddLanguageFile(PELLORA_LANGUAGES "/russian.lng");
    manager.AddLanguageFile(dir.Write("pseudo.lng", PseudoLanguage()));
  }
  void cleanup() {
    manager.SelectLanguage(LangEnglishUS);
    InstallQtTranslations(LangEnglishUS);
  }

  void FrameIsTranslatedAndSwitchedBack() {
    Twnd_pl_Main frame({"-nuc"});
    QObject* captions = frame.WebUpdate->findChild<QObject*>("InfoCaption");
    manager.SelectLanguage(1031);
    QCOMPARE(frame.acOpen->text(), QString("Ö&ffnen..."));
    QCOMPARE(frame.acOpen->toolTip(), QString("Öffnen"));
    QCOMPARE(frame.acOpen->statusTip(), QString("Öffnet eine vorhandene Datei"));
    QCOMPARE(frame.menuBar()->actions()[0]->text(), QString("&Datei"));
    QCOMPARE(frame.mdibg->wacAutoSize->text(), QString("Automatische Größe"));
    QCOMPARE(frame.mdibg->wacTitle->text(), QString("<keins>"));
    QCOMPARE(captions->property("CancelButton").toString(), QString("&Abbrechen"));
    QCOMPARE(frame.windowTitle(), QString("Pellora"));

    manager.SelectLanguage(1049);
    QCOMPARE(frame.acExit->text(), QString("Выход"));
    manager.SelectLanguage(LangEnglishUS);
    QCOMPARE(frame.acOpen->text(), QString("&Open..."));
    QCOMPARE(frame.acOpen->toolTip(), QString("Open"));
    QCOMPARE(frame.acOpen->statusTip(), QString("Opens an existing file"));
    QCOMPARE(frame.mdibg->wacTitle->text(), QString("<none>"));
    QCOMPARE(captions->property("OkButton").toString(), QString("&OK"));
  }

  void FrameStartsInTheUsersLanguage() {
    qputenv("PELLORA_LANGUAGE", "1049");
    Twnd_pl_Main frame({"-nuc"});
    qunsetenv("PELLORA_LANGUAGE");
    QCOMPARE(manager.CurrentLanguage(), 1049);
    QCOMPARE(frame.acCloseChild->text(), QString("Закрыть"));
    // Qt's own buttons and dialogs too, from the translations of the Qt installation.
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ru.qm"))
      QSKIP("Qt's Russian translations are not installed");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString("&Да"));
    InstallQtTranslations(LangEnglishUS);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString("&Yes"));
  }

  // Every text of the About box comes from the language, the count of cores with its plural.
  void AboutBoxSpeaksTheLanguage() {
    manager.SelectLanguage(1031);
    QString processor;
    pellora::test::WhenModal<QDialog>([&](QDialog* dialog) {
      processor = dialog->findChild<QLabel*>("lProcessor")->text();
      dialog->accept();
    });
    ShowAboutDialog(nullptr);
    const int cores = ProcessorCount();
    QVERIFY2(processor.endsWith(QString("(%1 %2)").arg(cores).arg(cores == 1 ? "Kern" : "Kerne")),
             qPrintable(processor));
  }

  void AWindowMadeLaterTakesTheCurrentLanguage() {
    manager.SelectLanguage(1049);
    QWidget window;
    auto* filter = new QLabel("Filter:", &window);
    filter->setObjectName("Label1");
    TQtLanguageController controller(&window, "mdi_pl_Viewer");
    int changes = 0;
    connect(&controller, &TQtLanguageController::OnLanguageChanged, [&changes] { ++changes; });
    controller.Attach();
    QCOMPARE(changes, 1);
    QCOMPARE(window.windowTitle(), QString("Почтовый ящик"));
    QCOMPARE(filter->text(), QString("Фильтр:"));
  }

  void EveryTextOfTheFrameIsTranslated() {
    Twnd_pl_Main frame({"-nuc"});
    manager.SelectLanguage(1034);
    QCOMPARE(Untranslated(&frame, {"Pellora"}), QStringList{});
  }

  void MessageAndMailboxWindowsAreTranslatedAndSwitchedBack() {
    Tmdi_pl_Msg message;
    Tmdi_pl_Viewer mailbox;
    auto* tree = mailbox.findChild<QTreeView*>("Tree");
    manager.SelectLanguage(1031);
    QCOMPARE(message.findChild<QLabel*>("Label1")->text(), QString("Betreff:"));
    QCOMPARE(message.findChild<QTabWidget*>("pcBody")->tabText(0), QString(" Text "));
    QCOMPARE(message.findChild<QAction*>("pmImg")->text(), QString("Bilder laden"));
    QCOMPARE(message.findChild<QWidget*>("fd")->windowTitle(), QString("Suchen"));
    QCOMPARE(mailbox.findChild<QComboBox*>("cbFilter")->currentText(), QString("Von+Betreff+An"));
    QCOMPARE(mailbox.ChildMenu()->title(), QString("&Nachrichten"));
    QCOMPARE(tree->model()->headerData(4, Qt::Horizontal).toString(), QString("Von"));
    QCOMPARE(tree->model()->headerData(8, Qt::Horizontal).toString(), QString("Größe [B]"));
    QCOMPARE(tree->model()->headerData(0, Qt::Horizontal).toString(), QString("#"));
    // A mailbox file says nothing of its store: the information title stays translated.
    QVERIFY(mailbox.LoadMailbox(
        dir.Write("Inbox", "From a@b Mon Jan  1 00:00:00 2024\r\nSubject: x\r\n\r\nbody\r\n"),
        okMailboxFile));
    QCOMPARE(mailbox.findChild<QLabel*>("DetailPanel")->text(), QString("  Informationen"));

    manager.SelectLanguage(LangEnglishUS);
    QCOMPARE(message.findChild<QLabel*>("Label1")->text(), QString("Subject:"));
    QCOMPARE(mailbox.ChildMenu()->title(), QString("&Messages"));
    QCOMPARE(tree->model()->headerData(4, Qt::Horizontal).toString(), QString("From"));
  }

  void EveryTextOfTheWindowsIsTranslated() {
    Tmdi_pl_Msg message;
    Tmdi_pl_Viewer mailbox;
    manager.SelectLanguage(1034);
    QCOMPARE(Untranslated(&message), QStringList{});
    QCOMPARE(Untranslated(&mailbox), QStringList{});
    auto* tree = mailbox.findChild<QTreeView*>("Tree");
    for (int column = 4; column <= 8; ++column)
      QVERIFY(tree->model()
                  ->headerData(column, Qt::Horizontal)
                  .toString()
                  .startsWith(QString::fromUtf8("\xC2\xAB")));
  }

  void WizardAndStoreBrowserAreTranslatedAndSwitchedBack() {
    Twiz_pl_Open wizard;
    Tdlg_pl_Files browser;
    const QAbstractItemModel* columns = browser.findChild<QTreeView*>("Tree")->model();
    manager.SelectLanguage(1031);
    QCOMPARE(wizard.windowTitle(), QString("Öffnen-Assistent"));
    QCOMPARE(wizard.findChild<QAbstractButton*>("rb2")->text(),
             QString("Ordner mit E-Mail-Dateien (EML)"));
    QCOMPARE(wizard.findChild<QWidget*>("feTB")->toolTip(), QString("Doppelklick zum Durchsuchen"));
    QCOMPARE(wizard.findChild<QObject*>("odEML")->property("Filter").toString(),
             QString("E-Mail-Dateien|*.eml|Alle Dateien|*.*"));
    QCOMPARE(browser.windowTitle(), QString("Nachrichtendatenbanken der aktuellen Sitzung"));
    QCOMPARE(browser.findChild<QAbstractButton*>("bLoad")->text(), QString("Abbrechen"));
    QCOMPARE(columns->headerData(0, Qt::Horizontal).toString(), QString("Identität/Ordner"));
    QCOMPARE(columns->headerData(2, Qt::Horizontal).toString(), QString("Zeitstempel"));
    QCOMPARE(browser.findChild<QAbstractButton*>("bProfile")->text(), QString("Windows-Profil..."));

    manager.SelectLanguage(LangEnglishUS);
    QCOMPARE(wizard.findChild<QAbstractButton*>("bEML")->text(),
             QString("Browse current Win/Live Mail store"));
    QCOMPARE(wizard.findChild<QObject*>("odEML")->property("Filter").toString(),
             QString("Email files|*.eml|All files|*.*"));
    QCOMPARE(columns->headerData(0, Qt::Horizontal).toString(), QString("Identity / Folder"));
  }

  void EveryTextOfTheWizardAndStoreBrowserIsTranslated() {
    Twiz_pl_Open wizard;
    Tdlg_pl_Files browser;
    manager.SelectLanguage(1034);
    QCOMPARE(Untranslated(&wizard), QStringList{});
    QCOMPARE(Untranslated(&browser), QStringList{});
    const QAbstractItemModel* columns = browser.findChild<QTreeView*>("Tree")->model();
    for (int column = 0; column < columns->columnCount(); ++column)
      QVERIFY(columns->headerData(column, Qt::Horizontal)
                  .toString()
                  .startsWith(QString::fromUtf8("\xC2\xAB")));
    for (const char* name : {"odOE", "odEML", "odTB"})
      QVERIFY(wizard.findChild<QObject*>(name)->property("Filter").toString().startsWith(
          QString::fromUtf8("\xC2\xAB")));
  }

  // Longer texts widen the wizard: no caption is cut.
  void WizardFitsItsTextsInEveryLanguage() {
    for (TLanguageId language : {LangEnglishUS, TLanguageId(1031), TLanguageId(1049)}) {
      manager.SelectLanguage(language);
      Twiz_pl_Open wizard;
      wizard.show();
      for (QAbstractButton* button : wizard.findChildren<QAbstractButton*>())
        QVERIFY2(button->width() >= button->sizeHint().width(),
                 qPrintable(QString("%1 in %2").arg(button->objectName()).arg(language)));
      auto* group = wizard.findChild<QGroupBox*>("GroupBox1");
      QVERIFY(group->width() >= group->fontMetrics().horizontalAdvance(group->title()));
    }
  }

  void PropertyKindsAndTextsTheWindowChanged() {
    // A stand-in window with one component of each kind, named as a real window names them.
    QWidget window;
    window.setWindowTitle("Message");
    auto* tabs = new QTabWidget(&window);
    auto* body = new QWidget;
    body->setObjectName("tsBody");
    tabs->addTab(body, " Body ");
    auto* hops = new QTreeWidget(&window);
    hops->setObjectName("lvHops");
    hops->setHeaderLabels({"Date", "From", "To", "Address"});
    auto* source = new QLabel("source", &window); // a label, not a line edit: no Text property
    source->setObjectName("eSource");
    auto* subject = new QLabel("Subject:", &window);
    subject->setObjectName("Label1");
    auto* from = new QLabel("From:", &window);
    from->setObjectName("Label2");
    auto* save = new QObject(&window);
    save->setObjectName("sd");
    save->setProperty("Title", QString("Save attachment..."));

    TQtLanguageController controller(&window, "mdi_pl_Msg");
    int changes = 0;
    connect(&controller, &TQtLanguageController::OnLanguageChanged, [&changes] { ++changes; });
    controller.Attach();
    from->setText("Sender:"); // the window's own text now: no language touches it

    manager.SelectLanguage(1031);
    QCOMPARE(changes, 1);
    QCOMPARE(window.windowTitle(), QString("Nachricht"));
    QCOMPARE(tabs->tabText(0), QString(" Inhalt "));
    QCOMPARE(hops->headerItem()->text(3), QString("Adresse"));
    QCOMPARE(subject->text(), QString("Betreff:"));
    QCOMPARE(from->text(), QString("Sender:"));
    QCOMPARE(source->text(), QString("source"));
    QCOMPARE(save->property("Title").toString(), QString("Anhang speichern..."));
    manager.SelectLanguage(LangEnglishUS);
    QCOMPARE(changes, 2);
    QCOMPARE(tabs->tabText(0), QString(" Body "));
    QCOMPARE(hops->headerItem()->text(0), QString("Date"));
    QCOMPARE(save->property("Title").toString(), QString("Save attachment..."));
  }

  void CombosAndFileDialogs() {
    QWidget window;
    auto* combo = new QComboBox(&window);
    combo->setObjectName("cbFilter");
    combo->addItems(
        {"From+Subject+To+Body", "From+Subject+To", "From", "Subject", "To", "Body", "Source"});
    combo->setCurrentIndex(1);
    TQtLanguageController viewer(&window, "mdi_pl_Viewer");
    viewer.Attach();
    combo->setCurrentIndex(5);
    manager.SelectLanguage(1031);
    QCOMPARE(combo->count(), 7);
    QCOMPARE(combo->currentIndex(), 5); // the field chosen stays chosen
    QCOMPARE(combo->itemText(0), QString("Von+Betreff+An+Text"));
    QCOMPARE(combo->itemText(6), QString("Quelltext"));
    manager.SelectLanguage(LangEnglishUS);
    QCOMPARE(combo->itemText(6), QString("Source"));

    QWidget wizard;
    auto* odOE = new QFileDialog(&wizard);
    odOE->setObjectName("odOE");
    odOE->setNameFilters({"Outlook Express message databases (*.dbx *.mbx)", "All files (*)"});
    TQtLanguageController controller(&wizard, "wiz_pl_Open");
    controller.Attach();
    manager.SelectLanguage(1049);
    QCOMPARE(odOE->nameFilters(),
             (QStringList{"Базы сообщений Outlook Express (*.dbx *.mbx)", "Все файлы (*)"}));
    QString text;
    QVERIFY(ReadTranslatableText(odOE, "Filter", false, text));
    QCOMPARE(text, QString("Базы сообщений Outlook Express|*.dbx;*.mbx|Все файлы|*.*"));
  }
};

int main(int argc, char** argv) {
  pellora::test::TSettingsFolder settings;
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  THtmlView::RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  LanguageControllerTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "language_controller_test.moc"
