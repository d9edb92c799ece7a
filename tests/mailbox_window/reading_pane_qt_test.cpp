// The mailbox window's reading pane: it follows the focused row, its position is chosen and kept,
// a fast walk through a real list ends on the last row, and Enter still opens the message window.
#include "mailbox_window/mailbox_window.h"
#include "mailbox_window/reading_pane.h"
#include "message_window/html_view.h"
#include "message_window/message_view.h"
#include "message_window/message_window.h"
#include "support/qt_frame.h"
#include "support/settings_folder.h"
#include "support/temp_dir.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeView>
#include <QtTest>

#include <filesystem>
#include <unistd.h>

using namespace pellora;
using pellora::test::Child;
using pellora::test::TTempDir;
using pellora::test::TTestFrame;

namespace {

// Four messages, newest first in the list: a plain one with copies, one whose only body is
// HTML, one with an attachment, and one whose file goes away after the load.
std::string PaneStore(const TTempDir& dir) {
  std::string folder = dir.MakeDir("Pane");
  dir.Write("Pane/m1.eml",
            "From: Ann Lee <ann@example.org>\r\nTo: team@example.org, Bob <bob@example.org>\r\n"
            "Cc: carl@example.org\r\nSubject: Budget plan\r\nDate: Mon, 02 Jan 2023 10:00:00 +0000\r\n"
            "\r\nThe budget is due; BUDGET talks on Friday.\r\n");
  dir.Write("Pane/m2.eml",
            "From: html@example.org\r\nTo: team@example.org\r\nSubject: Styled budget\r\n"
            "Date: Tue, 03 Jan 2023 10:00:00 +0000\r\nContent-Type: text/html\r\n\r\n"
            "<html><head><title>budget</title></head><body><p title=\"budget\">The budget &amp; "
            "more</p></body></html>\r\n");
  dir.Write("Pane/m3.eml",
            "From: files@example.org\r\nTo: team@example.org\r\nSubject: Figures\r\n"
            "Date: Wed, 04 Jan 2023 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n"
            "See the figures.\r\n--b\r\nContent-Type: application/pdf; name=\"figures.pdf\"\r\n"
            "Content-Disposition: attachment; filename=\"figures.pdf\"\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--b--\r\n");
  dir.Write("Pane/m4.eml",
            "From: gone@example.org\r\nTo: team@example.org\r\nSubject: Gone\r\n"
            "Date: Thu, 05 Jan 2023 10:00:00 +0000\r\n\r\nsoon removed\r\n");
  return folder;
}

QTreeView* Tree(Tmdi_pl_Viewer* w) { return Child<QTreeView>(w, "Tree"); }
QString Line(Tmdi_pl_Viewer* w, const char* name) { return Child<QLabel>(w, name)->text(); }
QString SubjectOfRow(Tmdi_pl_Viewer* w, int row) {
  return Tree(w)->model()->index(row, lcSubject).data().toString();
}
QMdiSubWindow* SubWindow(QWidget* child) { return qobject_cast<QMdiSubWindow*>(child->parentWidget()); }

} // namespace

class ReadingPaneTest : public QObject {
  Q_OBJECT
  std::unique_ptr<TTestFrame> frame;

  Tmdi_pl_Viewer* Open(const std::string& path, TOpenKind kind) {
    return frame->Open<Tmdi_pl_Viewer>(path, kind);
  }
  // Focuses a row and waits until the pane shows it.
  static void Focus(Tmdi_pl_Viewer* w, int row) {
    Tree(w)->setCurrentIndex(Tree(w)->model()->index(row, 0));
    QTRY_COMPARE(Line(w, "lSubject"), SubjectOfRow(w, row));
  }

private slots:
  void initTestCase() {
    RegisterMessageWindow();
    RegisterMailboxWindow();
    frame = std::make_unique<TTestFrame>();
  }
  void cleanupTestCase() { frame.reset(); }

  void PaneFollowsTheFocusedRow() {
    TTempDir dir;
    const std::string folder = PaneStore(dir);
    Tmdi_pl_Viewer* w = Open(folder, okMessageFolder);
    QVERIFY(w);
    TReadingPane* pane = w->ReadingPane();
    QVERIFY(!pane->isVisibleTo(w)); // off until chosen
    Child<QAction>(w, "acPaneBelow")->trigger();
    QVERIFY(pane->isVisibleTo(w));
    QCOMPARE(Child<QSplitter>(w, "PaneSplitter")->orientation(), Qt::Vertical);
    std::filesystem::remove(dir / "Pane/m4.eml"); // the newest row: first in the list

    // Header lines; the copies' line shows only when there are copies.
    Focus(w, 3);
    QCOMPARE(Line(w, "lFrom"), QString("Ann Lee <ann@example.org>"));
    QCOMPARE(Line(w, "lTo"), QString("team@example.org, Bob <bob@example.org>"));
    QCOMPARE(Line(w, "lCC"), QString("carl@example.org"));
    QVERIFY(Child<QLabel>(w, "lCC")->isVisibleTo(w));
    QCOMPARE(Line(w, "lDate"), Tree(w)->model()->index(3, lcReceived).data().toString());
    QVERIFY(Child<QPlainTextEdit>(w, "paneMemo")->toPlainText().contains("BUDGET talks"));
    QVERIFY(!Child<QListWidget>(w, "paneList")->isVisibleTo(w));

    // A message whose only body is HTML shows that page; the next plain one the reader's page.
    auto* pages = Child<QTabWidget>(w, "panepcBody");
    Focus(w, 2);
    QVERIFY(!Child<QLabel>(w, "lCC")->isVisibleTo(w));
    QCOMPARE(pages->currentWidget(), Child<QWidget>(w, "panetsHTML"));
    QVERIFY(Child<THtmlView>(w, "paneHTML")->Document().contains("The budget &amp; more"));

    // Remote content allowed for one message is blocked again for the next.
    Child<QPushButton>(w, "panebLoadRemote")->click();
    QVERIFY(pane->View()->ImagesAllowed());

    // Attachments are listed with their names, as in the message window.
    Focus(w, 1);
    QVERIFY(!pane->View()->ImagesAllowed());
    QCOMPARE(pages->currentWidget(), Child<QWidget>(w, "paneMemo"));
    auto* list = Child<QListWidget>(w, "paneList");
    QVERIFY(list->isVisibleTo(w));
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QString("figures.pdf"));

    // A sort rebuilds the list: the row stays focused and on view, and is not read again.
    {
      QSignalSpy shown(pane, &TReadingPane::EntryShown);
      w->TreeHeaderClick(lcSubject);
      QTest::qWait(400);
      QCOMPARE(shown.count(), 0);
      QCOMPARE(Line(w, "lSubject"), QString("Figures"));
      QCOMPARE(SubjectOfRow(w, Tree(w)->currentIndex().row()), QString("Figures"));
      w->TreeHeaderClick(lcReceived);
      w->TreeHeaderClick(lcReceived); // newest first again
      QCOMPARE(SubjectOfRow(w, 1), QString("Figures"));
    }

    // A row that cannot be read says so in the pane instead of showing the message before.
    Tree(w)->setCurrentIndex(Tree(w)->model()->index(0, 0));
    QTRY_VERIFY(Child<QLabel>(w, "lPaneError")->isVisibleTo(w));
    QVERIFY(!Child<QLabel>(w, "lPaneError")->text().isEmpty());
    QCOMPARE(Line(w, "lSubject"), QString());
    QCOMPARE(Child<QListWidget>(w, "paneList")->count(), 0);

    // The filter's text is marked in the plain text (ASCII case-insensitive) and in the HTML
    // page's shown text, not inside its tags, attributes, title or references.
    Child<QComboBox>(w, "cbFilter")->setCurrentIndex(ffFromSubjectTo);
    Child<QComboBox>(w, "cbValue")->setCurrentText("budget");
    w->ApplyValue();
    QCOMPARE(Tree(w)->model()->rowCount(), 2);
    Focus(w, 1); // "Budget plan"
    QCOMPARE(Child<QPlainTextEdit>(w, "paneMemo")->extraSelections().size(), 2);
    Focus(w, 0); // "Styled budget"
    const QByteArray html = Child<THtmlView>(w, "paneHTML")->Document();
    QCOMPARE(html.count("<mark"), 1);
    QVERIFY(html.contains("<title>budget</title>") && html.contains("title=\"budget\""));
    w->acFilterExecute(); // off: no marks
    QCOMPARE(Child<THtmlView>(w, "paneHTML")->Document().count("<mark"), 0);
    // A query marks its words, not what it excludes.
    Child<QComboBox>(w, "cbValue")->setCurrentText("budget -zebra");
    w->ApplyValue();
    QCOMPARE(Tree(w)->model()->rowCount(), 2);
    Focus(w, 1);
    QCOMPARE(Child<QPlainTextEdit>(w, "paneMemo")->extraSelections().size(), 2);
    w->acFilterExecute();

    // Off: the pane goes, and moving no longer reads rows.
    Child<QAction>(w, "acPaneOff")->trigger();
    QVERIFY(!pane->isVisibleTo(w));
    QCOMPARE(pane->ShownEntry(), int64_t{-1});
    SubWindow(w)->close();
  }

  // F8 goes Off, Below, Right, Off; the choice comes back with the next window.
  void F8CyclesAndTheChoiceIsKept() {
    TTempDir dir;
    const std::string folder = PaneStore(dir);
    Tmdi_pl_Viewer* w = Open(folder, okMessageFolder);
    QVERIFY(w);
    auto* splitter = Child<QSplitter>(w, "PaneSplitter");
    Tree(w)->setFocus();
    const struct {
      TPanePosition position;
      const char* action;
    } cycle[] = {{ppBelow, "acPaneBelow"}, {ppRight, "acPaneRight"}, {ppOff, "acPaneOff"}, {ppRight, "acPaneRight"}};
    for (const auto& step : cycle) {
      QTest::keyClick(Tree(w), Qt::Key_F8);
      QCOMPARE(w->PanePosition(), step.position);
      QVERIFY(Child<QAction>(w, step.action)->isChecked());
      QCOMPARE(w->ReadingPane()->isVisibleTo(w), step.position != ppOff);
      if (step.position != ppOff)
        QCOMPARE(splitter->orientation(), step.position == ppBelow ? Qt::Vertical : Qt::Horizontal);
      if (step.position == ppOff) QTest::keyClick(Tree(w), Qt::Key_F8); // on to Below
    }
    SubWindow(w)->close();
    Tmdi_pl_Viewer* next = Open(folder, okMessageFolder);
    QVERIFY(next);
    QCOMPARE(next->PanePosition(), ppRight);
    QVERIFY(Child<QAction>(next, "acPaneRight")->isChecked());
    QVERIFY(next->ReadingPane()->isVisibleTo(next));
    QCOMPARE(Child<QSplitter>(next, "PaneSplitter")->orientation(), Qt::Horizontal);
    // Shown for the row focused in the restored window too.
    Focus(next, 1);
    Child<QAction>(next, "acPaneOff")->trigger();
    SubWindow(next)->close();
  }

  // Enter and a double-click on a row open the message window while the pane shows the row.
  void EnterAndDoubleClickOpenTheMessageWindow() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(PaneStore(dir), okMessageFolder);
    QVERIFY(w);
    Child<QAction>(w, "acPaneRight")->trigger();
    Focus(w, 3);
    Tree(w)->setFocus();
    QTest::keyClick(Tree(w), Qt::Key_Return);
    auto* message = frame->Last<Tmdi_pl_Msg>();
    QVERIFY(message);
    QCOMPARE(Child<QLineEdit>(message, "eSubject")->text(), QString("Budget plan"));
    SubWindow(message)->close();
    QTRY_COMPARE(frame->Last<Tmdi_pl_Viewer>(), w);

    Focus(w, 1);
    const QRect rect = Tree(w)->visualRect(Tree(w)->model()->index(1, lcFrom));
    QVERIFY(Tree(w)->viewport()->rect().contains(rect.center()));
    QTest::mouseClick(Tree(w)->viewport(), Qt::LeftButton, {}, rect.center()); // the press a
    QTest::mouseDClick(Tree(w)->viewport(), Qt::LeftButton, {}, rect.center()); // double-click ends
    message = frame->Last<Tmdi_pl_Msg>();
    QVERIFY(message);
    QCOMPARE(Child<QLineEdit>(message, "eSubject")->text(), QString("Figures"));
    SubWindow(message)->close();
    Child<QAction>(w, "acPaneOff")->trigger();
    SubWindow(w)->close();
  }

  // Down held through a real list archive, then Up back to the top: the pane ends showing the
  // last row reached, and no older row's message arrives after it.
  void FastWalkEndsShowingTheLastRow() {
    const std::string data = test::SharedDataDir();
    if (data.empty()) QSKIP("../shared/data is absent");
    Tmdi_pl_Viewer* w = Open(data + "/mbox/usrp-users.mbox", okMailboxFile);
    QVERIFY(w);
    Child<QAction>(w, "acPaneBelow")->trigger();
    const int rows = Tree(w)->model()->rowCount();
    QVERIFY(rows > 100);
    Focus(w, 0);
    Tree(w)->setFocus();
    auto walk = [&](Qt::Key key, int steps) {
      for (int i = 0; i < steps; ++i) {
        QTest::keyClick(Tree(w), key);
        if (i % 10 == 0) QCoreApplication::processEvents(); // key repeat lets the loop run
      }
    };
    walk(Qt::Key_Down, rows - 1);
    QCOMPARE(Tree(w)->currentIndex().row(), rows - 1);
    QTRY_COMPARE(Line(w, "lSubject"), SubjectOfRow(w, rows - 1));
    walk(Qt::Key_Up, rows - 1);
    QTRY_COMPARE(Line(w, "lSubject"), SubjectOfRow(w, 0));
    QTest::qWait(200);
    QCOMPARE(Line(w, "lSubject"), SubjectOfRow(w, 0)); // no older row came after it

    // Closed as the pause ends and the worker reads a row: it stops before the mailbox goes.
    QTest::keyClick(Tree(w), Qt::Key_Down);
    QTest::qWait(72);
    SubWindow(w)->close();
    QTRY_VERIFY(frame->Frame().Children().isEmpty());
  }
};

int main(int argc, char** argv) {
  pellora::test::TSettingsFolder settings;
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  THtmlView::RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  ReadingPaneTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "reading_pane_qt_test.moc"
