// Windows keep their place and layout in the settings file, read back here from the INI file.
#include "mailbox_window/mailbox_window.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include "settings/qt_settings_storage.h"
#include "support/qt_frame.h"
#include "support/settings_folder.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QTreeView>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace pellora;
using pellora::test::Child;
using pellora::test::TSettingsFolder;
using pellora::test::TTempDir;
using pellora::test::TTestFrame;

namespace {

TSettingsFolder* settingsFolder = nullptr;

const QString root = "SOFTWARE/Vantrel/Pellora/1.x/";

QVariant Stored(const QString& path) {
  QSettings ini(QString::fromStdString(settingsFolder->IniFile()), QSettings::IniFormat);
  return ini.value(root + path);
}

void Store(const QString& path, const QVariant& value) {
  QSettings ini(QString::fromStdString(settingsFolder->IniFile()), QSettings::IniFormat);
  ini.setValue(root + path, value);
}

void ClearSettings() {
  QSettings ini(QString::fromStdString(settingsFolder->IniFile()), QSettings::IniFormat);
  ini.clear();
}

QMdiSubWindow* SubWindow(QWidget* child) { return qobject_cast<QMdiSubWindow*>(child->parentWidget()); }

int PixelsPerInch() { return qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()); }

const char* const messageWithAttachment =
    "From: a@example.org\r\nSubject: Figures\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
    "--b\r\nContent-Type: text/plain\r\n\r\nSee the figures.\r\n"
    "--b\r\nContent-Type: application/pdf\r\n"
    "Content-Disposition: attachment; filename=\"figures.pdf\"\r\n\r\n%PDF-1.4\r\n"
    "--b--\r\n";

} // namespace

class SettingsTest : public QObject {
  Q_OBJECT

  TTempDir dir;
  std::string folderStore;
  std::string messageFile;

private slots:
  void initTestCase() {
    RegisterMessageWindow();
    RegisterMailboxWindow();
    folderStore = dir.MakeDir("Store");
    dir.Write("Store/m1.eml", "From: a@example.org\r\nSubject: One\r\n\r\nbody\r\n");
    messageFile = dir.Write("figures.eml", messageWithAttachment);
  }
  void init() { ClearSettings(); }

  void FirstStartMaximizesTheFrameAndKeepsTheFormsInformationHeight() {
    TTestFrame frame;
    QVERIFY(frame->isMaximized());
    auto* mailbox = frame.Open<Tmdi_pl_Viewer>(folderStore, okMessageFolder);
    QVERIFY(mailbox);
    QVERIFY(SubWindow(mailbox)->isMaximized());
    QTRY_COMPARE(Child<QWidget>(mailbox, "HeaderPanel")->height(), 135);
  }

  void InformationHeightIsStoredAtCloseAndRestored() {
    TTestFrame frame;
    auto* mailbox = frame.Open<Tmdi_pl_Viewer>(folderStore, okMessageFolder);
    auto* splitter = Child<QSplitter>(mailbox, "Splitter");
    QTRY_COMPARE(Child<QWidget>(mailbox, "HeaderPanel")->height(), 135);
    const int total = splitter->sizes()[0] + splitter->sizes()[1];
    splitter->setSizes({total - 200, 200}); // as the user drags it
    SubWindow(mailbox)->close();
    QCOMPARE(Stored("mdi_pl_Viewer/HeaderPanel_Height").toInt(), 200);
    QCOMPARE(Stored("mdi_pl_Viewer/FormVersion").toInt(), 0);
    QCOMPARE(Stored("mdi_pl_Viewer/PixelsPerInch").toInt(), PixelsPerInch());

    auto* next = frame.Open<Tmdi_pl_Viewer>(folderStore, okMessageFolder);
    QTRY_COMPARE(Child<QWidget>(next, "HeaderPanel")->height(), 200);
  }

  // The list's columns (their order and widths) and its sort are kept as the pane heights are.
  void MailboxColumnsAndSortAreStoredAndRestored() {
    TTestFrame frame;
    const std::string store = dir.MakeDir("Sorted");
    dir.Write("Sorted/m1.eml", "From: a@example.org\r\nSubject: Beta\r\nDate: Mon, 2 Jan 2023 10:00:00 +0000\r\n\r\nx\r\n");
    dir.Write("Sorted/m2.eml", "From: b@example.org\r\nSubject: Alpha\r\nDate: Tue, 3 Jan 2023 10:00:00 +0000\r\n\r\nx\r\n");
    auto* mailbox = frame.Open<Tmdi_pl_Viewer>(store, okMessageFolder);
    QVERIFY(mailbox);
    QHeaderView* header = Child<QTreeView>(mailbox, "Tree")->header();
    header->resizeSection(lcSubject, 321);
    header->moveSection(header->visualIndex(lcSubject), 0); // as the user drags it
    mailbox->TreeHeaderClick(lcFrom);
    mailbox->TreeHeaderClick(lcFrom); // descending
    mailbox->SetThreads(true);
    SubWindow(mailbox)->close();
    QCOMPARE(Stored("mdi_pl_Viewer/Tree_Threads").toString(), QString("TRUE"));
    QCOMPARE(Stored("mdi_pl_Viewer/Tree_Columns/Count").toInt(), 9);
    QCOMPARE(Stored("mdi_pl_Viewer/Tree_Columns/Item0").toString(), QString("5,321"));
    QCOMPARE(Stored("mdi_pl_Viewer/Tree_SortColumn").toInt(), int(lcFrom));
    QCOMPARE(Stored("mdi_pl_Viewer/Tree_SortDescending").toString(), QString("TRUE"));

    auto rows = [](Tmdi_pl_Viewer* w) {
      QStringList subjects;
      auto* model = Child<QTreeView>(w, "Tree")->model();
      for (int row = 0; row < model->rowCount(); ++row) subjects << model->index(row, lcSubject).data().toString();
      return subjects;
    };
    auto* next = frame.Open<Tmdi_pl_Viewer>(store, okMessageFolder);
    header = Child<QTreeView>(next, "Tree")->header();
    QCOMPARE(header->logicalIndex(0), int(lcSubject));
    QCOMPARE(header->sectionSize(lcSubject), 321);
    QCOMPARE(header->sortIndicatorSection(), int(lcFrom));
    QCOMPARE(rows(next), QStringList({"Alpha", "Beta"})); // b@ before a@: loaded in that order
    QVERIFY(next->ThreadsOn());
    SubWindow(next)->close();

    // A layout that is not the window's columns leaves the form's.
    Store("mdi_pl_Viewer/Tree_Columns/Item3", "5,100");
    Store("mdi_pl_Viewer/Tree_SortColumn", 42);
    auto* third = frame.Open<Tmdi_pl_Viewer>(store, okMessageFolder);
    header = Child<QTreeView>(third, "Tree")->header();
    QCOMPARE(header->logicalIndex(0), 0);
    QCOMPARE(header->sectionSize(lcSubject), 200);
    QCOMPARE(header->sortIndicatorSection(), int(lcReceived));
  }

  // A child opens maximized; its stored rectangle is where it goes when restored, unless it was
  // written at another screen density.
  void ChildPlacementAppliesOnlyAtTheSamePixelsPerInch() {
    for (int ppi : {PixelsPerInch(), PixelsPerInch() + 48}) {
      ClearSettings();
      Store("mdi_pl_Viewer/PixelsPerInch", ppi);
      Store("mdi_pl_Viewer/NormPos", "20,30,670,530");
      Store("mdi_pl_Viewer/MinMaxPos", "-1,-1,-1,-1");
      Store("mdi_pl_Viewer/HeaderPanel_Height", 180);
      TTestFrame frame;
      auto* mailbox = frame.Open<Tmdi_pl_Viewer>(folderStore, okMessageFolder);
      QVERIFY(SubWindow(mailbox)->isMaximized());
      QTRY_COMPARE(Child<QWidget>(mailbox, "HeaderPanel")->height(), 180); // kept either way
      SubWindow(mailbox)->showNormal();
      const bool applied = SubWindow(mailbox)->geometry() == QRect(20, 30, 650, 500);
      QCOMPARE(applied, ppi == PixelsPerInch());
    }
  }

  void ChildPlacementIsWrittenAsItsNormalRectangle() {
    TTestFrame frame;
    auto* mailbox = frame.Open<Tmdi_pl_Viewer>(folderStore, okMessageFolder);
    QMdiSubWindow* sub = SubWindow(mailbox);
    sub->showNormal();
    sub->setGeometry(10, 20, 500, 400);
    sub->showMaximized();
    sub->close();
    QCOMPARE(Stored("mdi_pl_Viewer/NormPos").toString(), QString("10,20,510,420"));
    QCOMPARE(Stored("mdi_pl_Viewer/Flags").toInt(), 0);
    QVERIFY(!Stored("mdi_pl_Viewer/ShowCmd").isValid()); // children keep no state
  }

  void FrameKeepsItsStateAndPlacement() {
    {
      TTestFrame frame;
      frame->showNormal();
      frame->setGeometry(40, 50, 700, 500);
      frame->close();
    }
    QCOMPARE(Stored("wnd_pl_Main/ShowCmd").toInt(), 1);
    QCOMPARE(Stored("wnd_pl_Main/NormPos").toString(), QString("40,50,740,550"));
    {
      TTestFrame frame;
      QVERIFY(!frame->isMaximized());
      QCOMPARE(frame->geometry(), QRect(40, 50, 700, 500));
      frame->showMaximized();
      frame->close();
    }
    QCOMPARE(Stored("wnd_pl_Main/ShowCmd").toInt(), 3);
    QCOMPARE(Stored("wnd_pl_Main/NormPos").toString(), QString("40,50,740,550"));
    TTestFrame frame;
    QVERIFY(frame->isMaximized());
    frame->showNormal();
    QTRY_COMPARE(frame->geometry(), QRect(40, 50, 700, 500));
  }

  void MessageWindowKeepsItsLayout() {
    TTestFrame frame;
    auto* message = frame.Open<Tmdi_pl_Msg>(messageFile, okMessageFile);
    QVERIFY(message);
    auto* list = Child<QWidget>(message, "List");
    QTRY_COMPARE(list->height(), 78);
    Child<QToolButton>(message, "FlipButton")->click(); // header fields collapsed
    Child<QTabWidget>(message, "pcBody")->setCurrentIndex(1);
    auto* splitter = Child<QSplitter>(message, "Splitter");
    const int total = splitter->sizes()[0] + splitter->sizes()[1];
    splitter->setSizes({total - 120, 120});
    SubWindow(message)->close();
    QCOMPARE(Stored("mdi_pl_Msg/FlipPanel_Expanded").toString(), QString("FALSE"));
    QCOMPARE(Stored("mdi_pl_Msg/List_Height").toInt(), 120);
    QCOMPARE(Stored("mdi_pl_Msg/pcBody_ActivePageIndex").toInt(), 1);

    auto* next = frame.Open<Tmdi_pl_Msg>(messageFile, okMessageFile);
    QVERIFY(!Child<QToolButton>(next, "FlipButton")->isChecked());
    QCOMPARE(Child<QTabWidget>(next, "pcBody")->currentIndex(), 1);
    QTRY_COMPARE(Child<QWidget>(next, "List")->height(), 120);
  }

  // A message without a text body opens on its HTML page; the page stored stays the reader's.
  void HtmlOnlyMessageOpensOnItsHtmlPage() {
    Store("mdi_pl_Msg/pcBody_ActivePageIndex", 0);
    TTestFrame frame;
    auto* html = frame.Open<Tmdi_pl_Msg>(
        dir.Write("html.eml", "Content-Type: text/html\r\n\r\n<p>Hi</p>\r\n"), okMessageFile);
    QVERIFY(html);
    QCOMPARE(Child<QTabWidget>(html, "pcBody")->currentIndex(), 1);
    SubWindow(html)->close();
    QCOMPARE(Stored("mdi_pl_Msg/pcBody_ActivePageIndex").toInt(), 0);
    auto* plain = frame.Open<Tmdi_pl_Msg>(messageFile, okMessageFile);
    QCOMPARE(Child<QTabWidget>(plain, "pcBody")->currentIndex(), 0);
  }

  // The list's height is kept while a message without attachments hides it.
  void HiddenAttachmentListKeepsItsStoredHeight() {
    Store("mdi_pl_Msg/List_Height", 110);
    TTestFrame frame;
    auto* plain = frame.Open<Tmdi_pl_Msg>(dir.Write("plain.eml", "Subject: x\r\n\r\nbody\r\n"),
                                          okMessageFile);
    QVERIFY(Child<QWidget>(plain, "List")->isHidden());
    SubWindow(plain)->close();
    QCOMPARE(Stored("mdi_pl_Msg/List_Height").toInt(), 110);
    auto* message = frame.Open<Tmdi_pl_Msg>(messageFile, okMessageFile);
    QTRY_COMPARE(Child<QWidget>(message, "List")->height(), 110);
  }

  // Texts that are not what the program writes leave the form's values.
  void UnreadableValuesLeaveTheFormsValues() {
    Store("mdi_pl_Msg/FlipPanel_Expanded", "maybe");
    Store("mdi_pl_Msg/pcBody_ActivePageIndex", "one");
    Store("mdi_pl_Msg/NormPos", "1,2,three,4");
    Store("mdi_pl_Msg/PixelsPerInch", PixelsPerInch());
    TTestFrame frame;
    auto* message = frame.Open<Tmdi_pl_Msg>(messageFile, okMessageFile);
    QVERIFY(Child<QToolButton>(message, "FlipButton")->isChecked());
    QCOMPARE(Child<QTabWidget>(message, "pcBody")->currentIndex(), 0);
    QVERIFY(frame.Boxes.isEmpty());
  }

  // A settings file that cannot be written: reported once, and every window still closes.
  void UnwritableSettingsAreReportedOnceAndWindowsClose() {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(settingsFolder->IniFile()).parent_path();
    fs::remove_all(folder);
    TTestFrame frame;
    frame.Open<Tmdi_pl_Viewer>(folderStore, okMessageFolder);
    frame.Open<Tmdi_pl_Msg>(messageFile, okMessageFile);
    { std::ofstream blocker(folder); } // a file where the settings folder belongs
    frame->close();
    QVERIFY(!frame->isVisible());
    QVERIFY(frame->Children().isEmpty());
    QCOMPARE(frame.Boxes.size(), 1);
    QCOMPARE(frame.Boxes[0], QString("Settings could not be saved to %1.")
                                 .arg(QString::fromStdString(settingsFolder->IniFile())));
    // Writable again: what was left unwritten goes out now, and a failure would be told again.
    fs::remove(folder);
    AppRegistryStorage().Flush();
    QVERIFY(fs::exists(settingsFolder->IniFile()));
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
  SettingsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "settings_qt_test.moc"
