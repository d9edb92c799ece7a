#include "mailbox_window/mailbox_window.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include "platform/qt_platform.h"
#include "shell/application.h"
#include "support/store_builders.h"
#include "support/qt_frame.h"
#include "support/temp_dir.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTreeView>
#include <QtTest>

#include <cstdlib>
#include <unistd.h>

using namespace pellora;
using pellora::test::Child;
using pellora::test::TTempDir;
using pellora::test::TTestFrame;

namespace {

std::string Message(const std::string& from, const std::string& subject, const std::string& date,
                    const std::string& body = "text") {
  return "From: " + from + "\r\nTo: team@example.org\r\nSubject: " + subject + "\r\nDate: " + date +
         "\r\nMessage-ID: <" + subject.substr(0, 3) + "@id.example>\r\n\r\n" + body + "\r\n";
}

// A folder of five messages: file names sort as written, dates and subjects chosen for sorting.
std::string FolderStore(const TTempDir& dir) {
  std::string folder = dir.MakeDir("Store");
  dir.Write("Store/m1.eml", Message("a@example.org", "Beta", "Mon, 02 Jan 2023 10:00:00 +0000"));
  dir.Write("Store/m2.eml", Message("b@example.org", "Alpha", "Tue, 03 Jan 2023 10:00:00 +0000"));
  dir.Write("Store/m3.eml", Message("c@example.org", "Beta", "Wed, 04 Jan 2023 10:00:00 +0000"));
  dir.Write("Store/m4.eml", Message("d@example.org", "Gamma", "Thu, 05 Jan 2023 10:00:00 +0000",
                                    "the invoice is in the body"));
  dir.Write("Store/m5.eml", Message("e@example.org", "Your INVOICE 42", "Fri, 06 Jan 2023 10:00:00 +0000"));
  return folder;
}

QTreeView* Tree(Tmdi_pl_Viewer* w) { return Child<QTreeView>(w, "Tree"); }
QAbstractItemModel* Rows(Tmdi_pl_Viewer* w) { return Tree(w)->model(); }
QComboBox* Box(Tmdi_pl_Viewer* w, const char* name) { return Child<QComboBox>(w, name); }
QString Text(QObject* w, const char* name) {
  if (auto* label = w->findChild<QLabel*>(name)) return label->text();
  if (auto* memo = w->findChild<QPlainTextEdit*>(name)) return memo->toPlainText();
  return Child<QLineEdit>(w, name)->text();
}

QStringList Column(Tmdi_pl_Viewer* w, int column) {
  QStringList texts;
  for (int row = 0; row < Rows(w)->rowCount(); ++row)
    texts << Rows(w)->index(row, column).data().toString();
  return texts;
}

} // namespace

class MailboxWindowTest : public QObject {
  Q_OBJECT
  std::unique_ptr<TTestFrame> frame;

  Tmdi_pl_Viewer* Open(const std::string& path, TOpenKind kind) {
    return frame->Open<Tmdi_pl_Viewer>(path, kind);
  }
  Tmdi_pl_Msg* LastMessage() { return frame->Last<Tmdi_pl_Msg>(); }

private slots:
  void initTestCase() {
    RegisterMessageWindow();
    RegisterMailboxWindow();
    frame = std::make_unique<TTestFrame>();
  }
  void init() { frame->ClearBoxes(); }
  void cleanupTestCase() { frame.reset(); }

  void SortCycleIsStableBothWays() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("Store"));
    QCOMPARE(Column(w, lcIndex), QStringList({"5", "4", "3", "2", "1"})); // newest first
    w->TreeHeaderClick(lcReceived);
    QCOMPARE(Column(w, lcIndex), QStringList({"1", "2", "3", "4", "5"}));
    w->TreeHeaderClick(lcSubject);
    QCOMPARE(Column(w, lcSubject), QStringList({"Alpha", "Beta", "Beta", "Gamma", "Your INVOICE 42"}));
    QCOMPARE(Column(w, lcIndex).mid(1, 2), QStringList({"1", "3"})); // equal subjects keep their order
    w->TreeHeaderClick(lcSubject);
    QCOMPARE(Column(w, lcSubject), QStringList({"Your INVOICE 42", "Gamma", "Beta", "Beta", "Alpha"}));
    QCOMPARE(Column(w, lcIndex).mid(2, 2), QStringList({"1", "3"})); // and in the other direction
    QCOMPARE(Tree(w)->header()->sortIndicatorSection(), int(lcSubject));
  }

  void FilterStatusAndCheckMarks() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    QCOMPARE(w->StatusText(0), QString("Total: 5"));
    Box(w, "cbFilter")->setCurrentIndex(ffFromSubjectTo);
    Box(w, "cbValue")->setCurrentText("invoice");
    Child<QAction>(w, "acFilter")->trigger();
    QVERIFY(w->FilterOn());
    QCOMPARE(Column(w, lcSubject), QStringList({"Your INVOICE 42"}));
    QCOMPARE(w->StatusText(0), QString("Total: 5   Visible: 1"));
    QVERIFY(w->StatusText(1).startsWith("Elapsed time: "));

    w->CheckAll1Click(); // only the shown row
    QCOMPARE(w->StatusText(0), QString("Total: 5   Visible: 1   Selected: 1"));

    // Enter in the value box switches the filter off again. The key goes where the system
    // delivers it: to the box, which hands it to its line edit directly.
    QTest::keyClick(Box(w, "cbValue"), Qt::Key_Return);
    QVERIFY(!w->FilterOn());
    QCOMPARE(Rows(w)->rowCount(), 5);
    QCOMPARE(w->StatusText(0), QString("Total: 5   Selected: 1"));
    w->InvertSelection1Click();
    QCOMPARE(w->StatusText(0), QString("Total: 5   Selected: 4"));

    // The body search, and one history entry for two spellings.
    Box(w, "cbFilter")->setCurrentIndex(ffFromSubjectToBody);
    Box(w, "cbValue")->setCurrentText("INVOICE");
    w->acFilterExecute();
    QCOMPARE(Rows(w)->rowCount(), 2);
    w->acFilterExecute();
    QCOMPARE(Box(w, "cbValue")->count(), 1);

    // An empty value hides every row.
    Box(w, "cbValue")->setCurrentText("");
    w->acFilterExecute();
    QCOMPARE(Rows(w)->rowCount(), 0);
    QCOMPARE(w->StatusText(0), QString("Total: 5   Visible: 0   Selected: 4"));
    w->acFilterExecute();
  }

  void OpeningRowsNamesTheirOrigin() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    w->TreeHeaderClick(lcIndex); // ascending by "#"
    Tree(w)->setCurrentIndex(Rows(w)->index(4, 0));
    w->cmMessageView();
    auto* message = LastMessage();
    QVERIFY(message);
    QCOMPARE(message->windowTitle(), QString("m5: 4"));
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(dir / "Store/m5.eml"));
    QCOMPARE(message->Hint(), QString("e@example.org\r\nYour INVOICE 42"));
    QCOMPARE(Text(message, "eSubject"), QString("Your INVOICE 42"));

    // A mailbox file: the separator's line number in hexadecimal.
    std::string mailbox = dir.Write(
        "Inbox", "From - Mon Jan 02 10:00:00 2023\r\nX-Mozilla-Status: 0001\r\n" +
                     Message("x@example.org", "First", "Mon, 02 Jan 2023 10:00:00 +0000") +
                     "From - Tue Jan 03 10:00:00 2023\r\nX-Mozilla-Status: 0001\r\n" +
                     Message("y@example.org", "Second", "Tue, 03 Jan 2023 10:00:00 +0000"));
    Tmdi_pl_Viewer* box = Open(mailbox, okMailboxFile);
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QString("Inbox"));
    Tree(box)->setCurrentIndex(Rows(box)->index(1, 0)); // the older, first message
    box->cmMessageView();
    message = LastMessage();
    QVERIFY(message);
    QCOMPARE(Text(message, "eSubject"), QString("First"));
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(mailbox + ": 0x1"));
    Tree(box)->setCurrentIndex(Rows(box)->index(0, 0));
    box->cmMessageView();
    message = LastMessage();
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(mailbox + ": 0xa"));
  }

  void DatabaseIconsAndBoldRows() {
    TTempDir dir;
    std::vector<pellora::test::TDbxTestMessage> messages(3);
    messages[0] = {"Subject: read\r\n\r\nx\r\n", "read", "a@example.org", "", "", "", mfRead, 1, 1672567200};
    messages[1] = {"Subject: unread\r\n\r\nx\r\n", "unread", "b@example.org", "", "", "", mfAttachment | mfFlagged, 5, 1672653600};
    messages[2] = {"Subject: plain\r\n\r\nx\r\n", "plain", "c@example.org", "", "", "", mfRead | mfAttachment, 3, 1672740000};
    std::string path = dir.Write("Inbox.dbx", pellora::test::BuildDbx(messages));
    Tmdi_pl_Viewer* w = Open(path, okOEDatabase);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("Inbox"));
    QCOMPARE(Column(w, lcSubject), QStringList({"plain", "unread", "read"}));
    auto has = [&](int row, int column) { return !Rows(w)->index(row, column).data(Qt::DecorationRole).isNull(); };
    auto bold = [&](int row) { return Rows(w)->index(row, lcSubject).data(Qt::FontRole).value<QFont>().bold(); };
    QVERIFY(!bold(0) && bold(1) && !bold(2));
    QVERIFY(has(0, lcAttachment) && !has(0, lcFlag) && !has(0, lcPriority));
    QVERIFY(has(1, lcAttachment) && has(1, lcFlag) && has(1, lcPriority));
    QVERIFY(!has(2, lcAttachment) && has(2, lcPriority));
    QVERIFY(Text(w, "DetailPanel").contains("File Properties"));
    QVERIFY(Text(w, "Memo").contains("Format: Outlook Express 5/6"));
    // The window's menu stands between "File" and "&Windows" while it is active.
    QStringList menus;
    for (QAction* a : frame->Frame().menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"File", "Messages", "&Windows"}));

    Tree(w)->setCurrentIndex(Rows(w)->index(2, 0));
    w->cmMessageView();
    auto* message = LastMessage();
    QVERIFY(message);
    QCOMPARE(message->windowTitle(), QString("Inbox: 0"));
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(path + ": Inbox: 0x0"));
  }

  void AddressCollectionFillsTheInformationArea() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    w->cmGatherEmail();
    QCOMPARE(Text(w, "DetailPanel"), QString("  E-Mail Addresses (6)"));
    QVERIFY(Text(w, "Memo").startsWith("A@EXAMPLE.ORG = "));
  }

  void FailedOpensMakeNoWindow() {
    TTempDir dir;
    int before = frame->Frame().Children().size();
    frame->Frame().OpenPath(dir / "missing.dbx", okOEDatabase);
    QCOMPARE(frame->Boxes, QStringList{QString::fromStdString("File " + (dir / "missing.dbx") + " does not exist.")});
    frame->ClearBoxes();
    frame->Frame().OpenPath(dir.Write("text.dbx", "just some text\r\n"), okOEDatabase);
    QCOMPARE(frame->Boxes, QStringList{"File is not in supported format."});
    QTRY_COMPARE(frame->Frame().Children().size(), before);
  }
};

int main(int argc, char** argv) {
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  THtmlView::RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  TPelloraApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  MailboxWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "mailbox_window_qt_test.moc"
