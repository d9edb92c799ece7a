#include "message_window/find_dialog.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include "message_window/source_editor.h"
#include "platform/qt_platform.h"
#include "support/qt_frame.h"
#include "support/scoped_env.h"
#include "support/settings_folder.h"
#include "support/temp_dir.h"

#include <QAbstractButton>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QTreeWidget>
#include <QClipboard>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

using namespace pellora;
using pellora::test::Child;
using pellora::test::TTempDir;
using pellora::test::TTestFrame;

namespace {

std::string Crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const char* const multipartMessage = R"(Received: from relay.example.net (relay [192.0.2.1]) by mx.example.org with ESMTP id 1 for <bob@example.org>; Tue, 14 Mar 2023 09:15:02 +0100
Received-SPF: pass
Received: from laptop (laptop [192.0.2.55]) by relay.example.net for <bob@example.org>; Tue, 14 Mar 2023 09:15:00 +0100
Received: from origin.example.com by laptop; Tue, 14 Mar 2023 09:14:59 +0100
From: "Doe, John" <john@example.com>
To: Bob <bob@example.org>, carol@example.org
Cc: =?UTF-8?Q?Zo=C3=AB?= <zoe@example.org>
Subject: Quarterly figures
Date: Tue, 14 Mar 2023 09:14:58 +0100
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="b1"

preamble
--b1
Content-Type: multipart/alternative; boundary="b2"

--b2
Content-Type: text/plain; charset=us-ascii

Hello Bob,
the figures are attached.
--b2
Content-Type: text/html; charset=us-ascii

<html><head><title>Figures</title></head><body><p>Hello <b>Bob</b>,</p><p>the figures are attached.</p></body></html>
--b2--
--b1
Content-Type: application/pdf; name="figures.pdf"
Content-Transfer-Encoding: base64
Content-Disposition: attachment; filename="figures.pdf"

JVBERi0xLjQKJcfsj6IKMSAwIG9iago8PC9UeXBlL0NhdGFsb2c+PgplbmRvYmoKdHJhaWxlcgo8PC9Sb290IDEgMCBSPj4KJSVFT0YK
--b1
Content-Type: text/plain; name="figures.pdf"
Content-Disposition: attachment; filename="figures.pdf"

second file of the same name
--b1--
)";

QString Text(QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
  return items.join("|");
}

// Counts the requests of a loopback image server.
class TImageServer : public QTcpServer {
public:
  int requests = 0;
  TImageServer() {
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          socket->readAll();
          ++requests;
          socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
          socket->disconnectFromHost();
        });
      }
    });
    listen(QHostAddress::LocalHost);
  }
};

} // namespace

class MessageWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TTestFrame> frame;

  Tmdi_pl_Msg* Open(const TTempDir& dir, const std::string& name, std::string_view text) {
    return frame->Open<Tmdi_pl_Msg>(dir.Write(name, Crlf(text)), okMessageFile);
  }

private slots:
  void initTestCase() {
    RegisterMessageWindow();
    frame = std::make_unique<TTestFrame>();
  }
  void init() {
    frame->ClearBoxes();
    frame->Answer = true;
  }
  void cleanupTestCase() { frame.reset(); }

  void MultipartMessageFillsEveryPart() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "figures.eml", multipartMessage);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("figures.eml"));
    QCOMPARE(Child<QLineEdit>(w, "eSubject")->text(), QString("Quarterly figures"));
    QCOMPARE(Child<QLineEdit>(w, "eFrom")->text(), QString("Doe, John <john@example.com>"));
    QCOMPARE(Text(Child<QListWidget>(w, "eTo")), QString("Bob <bob@example.org>| <carol@example.org>"));
    QCOMPARE(Text(Child<QListWidget>(w, "eCC")), QString::fromUtf8("Zoë <zoe@example.org>"));
    QCOMPARE(Child<QListWidget>(w, "eBC")->count(), 0);
    QVERIFY(!Child<QListWidget>(w, "eBC")->isVisibleTo(w) && !Child<QLabel>(w, "Label10")->isVisibleTo(w));
    // One line for the two recipients, as wide as the window is.
    QVERIFY(Child<QListWidget>(w, "eTo")->height() < 2 * Child<QListWidget>(w, "eTo")->fontMetrics().height() + 12);
    QCOMPARE(Child<QLineEdit>(w, "eSent")->text(), QString("3/14/23 9:14:58 AM"));
    QVERIFY(Child<QLineEdit>(w, "eSize")->text().endsWith(" B"));

    // The route is folded away until asked for; the oldest hop first.
    auto* route = Child<QToolButton>(w, "RouteButton");
    QCOMPARE(route->text(), QString("3 hops"));
    QVERIFY(!Child<QTreeWidget>(w, "lvHops")->isVisibleTo(w));
    route->click();
    QVERIFY(Child<QTreeWidget>(w, "lvHops")->isVisibleTo(w));
    route->click();
    QCOMPARE(Child<QTreeWidget>(w, "lvHops")->topLevelItemCount(), 3);
    QCOMPARE(Child<QTreeWidget>(w, "lvHops")->topLevelItem(0)->text(1), QString("origin.example.com"));
    QCOMPARE(Child<QTreeWidget>(w, "lvHops")->topLevelItem(0)->text(2), QString("laptop"));
    QCOMPARE(Child<QTreeWidget>(w, "lvHops")->topLevelItem(2)->text(1), QString("relay.example.net"));
    QCOMPARE(Child<QTreeWidget>(w, "lvHops")->topLevelItem(2)->text(2), QString("mx.example.org"));
    QCOMPARE(Child<QTreeWidget>(w, "lvHops")->topLevelItem(2)->text(3), QString("bob@example.org"));
    QCOMPARE(Child<QTreeWidget>(w, "lvHops")->topLevelItem(2)->text(0), QString("3/14/23 9:15:02 AM"));

    QVERIFY(Child<QListWidget>(w, "List")->isVisibleTo(w));
    QCOMPARE(Text(Child<QListWidget>(w, "List")), QString("figures.pdf|figures.pdf"));
    QCOMPARE(Child<QListWidget>(w, "List")->item(0)->data(Qt::UserRole).toString(), QString("application/pdf"));
    QVERIFY(!Child<QListWidget>(w, "List")->item(0)->icon().isNull());

    QCOMPARE(Child<QPlainTextEdit>(w, "Memo")->toPlainText(), QString("Hello Bob,\nthe figures are attached."));
    QCOMPARE(Child<QLabel>(w, "lInfo")->text(), QString("2 lines"));
    // The source is the file as stored (its CR LF shown as line breaks), not a rebuilt message.
    QCOMPARE(Child<QPlainTextEdit>(w, "SynMemo")->toPlainText(), QString(multipartMessage));
    QCOMPARE(Child<QLineEdit>(w, "eSource")->text().endsWith("figures.eml"), true);
  }

  void PlainAndHtmlOnlyMessages() {
    TTempDir dir;
    Tmdi_pl_Msg* plain = Open(dir, "plain.eml",
                              "From: a@example.com\nReply-To: R <r@example.com>\nSubject: p\n\n"
                              "one\ntwo\nthree\n");
    QVERIFY(plain);
    QCOMPARE(Child<QPlainTextEdit>(plain, "Memo")->toPlainText(), QString("one\ntwo\nthree"));
    QVERIFY(Child<THtmlView>(plain, "HTML")->Document().contains(">one\r\ntwo\r\nthree</pre>"));
    QCOMPARE(Child<QLabel>(plain, "lInfo")->text(), QString("3 lines"));
    // The HTML tab shows the same three lines.
    Child<QTabWidget>(plain, "pcBody")->setCurrentWidget(Child<QWidget>(plain, "tsHTML"));
    QCOMPARE(Child<QLabel>(plain, "lInfo")->text(), QString("3 lines"));
    Child<QTabWidget>(plain, "pcBody")->setCurrentWidget(Child<QWidget>(plain, "Memo"));
    QCOMPARE(Child<QLineEdit>(plain, "eFrom")->text(), QString(" <a@example.com>")); // a missing name as a blank
    QVERIFY(!Child<QListWidget>(plain, "List")->isVisibleTo(plain));
    QCOMPARE(Child<QLineEdit>(plain, "eSent")->text(), QString());

    // Without a text body the Plain tab shows the HTML's text, and the window opens on the HTML.
    Tmdi_pl_Msg* html =
        Open(dir, "html.eml",
             "Reply-To: Replies <r@example.com>\nSubject: h\nContent-Type: text/html\n\n"
             "<html><head><style>p {}</style></head><p>Hi &amp; <a href=x>bye</a></p>\n"
             "<div>two</div></html>\n");
    QVERIFY(html);
    QCOMPARE(Child<QPlainTextEdit>(html, "Memo")->toPlainText(), QString("Hi & bye\ntwo"));
    QCOMPARE(Child<QTabWidget>(html, "pcBody")->currentWidget(), Child<QWidget>(html, "tsHTML"));
    QCOMPARE(Child<QLineEdit>(html, "eFrom")->text(), QString("Replies <r@example.com>")); // the Reply-To fallback
  }

  void MissingFileMakesNoWindow() {
    int before = frame->Frame().Children().size();
    frame->Frame().OpenPath("/nonexistent/x.eml", okMessageFile);
    QCOMPARE(frame->Frame().Children().size(), before);
    QCOMPARE(frame->Boxes, QStringList{"File /nonexistent/x.eml does not exist."});
  }

  void SaveAllAsksPerExistingFile() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "figures.eml", multipartMessage);
    QVERIFY(w);
    TTempDir target;
    SetPickFolderHook([&](const QString& title, const QString&) {
      return title == "Select folder" ? QString::fromStdString(target.Path()) : QString();
    });
    // Two attachments of the same name: the second meets the question; No keeps the first.
    frame->Answer = false;
    w->cmSaveall();
    QCOMPARE(frame->Boxes, QStringList{"Overwrite existing file figures.pdf?"});
    std::ifstream in(target / "figures.pdf", std::ios::binary);
    std::string saved((std::istreambuf_iterator<char>(in)), {});
    QVERIFY(saved.rfind("%PDF-1.4", 0) == 0);

    frame->ClearBoxes();
    frame->Answer = true;
    w->cmSaveall();
    QCOMPARE(frame->Boxes.size(), 2);
    std::ifstream again(target / "figures.pdf", std::ios::binary);
    std::string last((std::istreambuf_iterator<char>(again)), {});
    QCOMPARE(QString::fromStdString(last), QString("second file of the same name"));
    SetPickFolderHook(nullptr);
  }

  // A hidden name and a link in the chosen folder: the name loses its dots, the link is asked
  // about and, on Yes, replaced; what it points at is never written.
  void SaveAllWritesNoDotNamesAndNoLinks() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "dots.eml",
                          "Subject: s\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\n"
                          "Content-Type: text/plain\n\nbody\n--b\n"
                          "Content-Type: text/plain; name=\".bash_profile\"\n\nrm -rf ~\n--b\n"
                          "Content-Type: text/plain; name=\"notes.txt\"\n\nnotes\n--b--\n");
    QVERIFY(w);
    TTempDir target;
    TTempDir elsewhere;
    std::string link = target / "notes.txt";
    QVERIFY(symlink((elsewhere / "notes.txt").c_str(), link.c_str()) == 0);
    SetPickFolderHook(
        [&](const QString&, const QString&) { return QString::fromStdString(target.Path()); });
    frame->Answer = false;
    w->cmSaveall();
    QCOMPARE(frame->Boxes, QStringList{"Overwrite existing file notes.txt?"});
    QVERIFY(QFileInfo(QString::fromStdString(link)).isSymLink());
    QVERIFY(!QFile::exists(QString::fromStdString(target / ".bash_profile")));
    QVERIFY(QFile::exists(QString::fromStdString(target / "bash_profile")));

    frame->ClearBoxes();
    frame->Answer = true;
    w->cmSaveall();
    QCOMPARE(frame->Boxes, QStringList({"Overwrite existing file bash_profile?",
                                        "Overwrite existing file notes.txt?"}));
    QVERIFY(!QFileInfo(QString::fromStdString(link)).isSymLink());
    QVERIFY(!QFile::exists(QString::fromStdString(elsewhere / "notes.txt")));
    std::ifstream in(link, std::ios::binary);
    QCOMPARE(QString::fromStdString(std::string((std::istreambuf_iterator<char>(in)), {})),
             QString("notes"));
    SetPickFolderHook(nullptr);
  }

  void OpeningAnAttachmentUsesThePrivateFolder() {
    TTempDir dir;
    TTempDir tmp;
    pellora::test::TScopedEnv tmpdir("TMPDIR", tmp.Path().c_str());
    Tmdi_pl_Msg* w = Open(dir, "figures.eml", multipartMessage);
    QVERIFY(w);
    QString opened;
    SetOpenFileHook([&](const QString& path) {
      opened = path;
      return true;
    });
    w->ListDblClick(); // nothing selected: nothing happens
    QVERIFY(frame->Boxes.isEmpty());
    Child<QListWidget>(w, "List")->setCurrentRow(0);
    w->ListDblClick();
    QCOMPARE(frame->Boxes, QStringList{"Do you want to open this attachment?"});
    // This process's own folder: a name no other user can take first.
    QFileInfo file(opened);
    QCOMPARE(file.fileName(), QString("figures.pdf"));
    QVERIFY(file.path().startsWith(
        QString::fromStdString(tmp.Path() + "/pellora-" + std::to_string(geteuid()) + "-")));
    QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                      QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                      QFileDevice::WriteOther | QFileDevice::ExeOther;
    QVERIFY(!(QFileInfo(file.path()).permissions() & others));
    QVERIFY(file.exists());
    QVERIFY(!(QFile::permissions(opened) & QFileDevice::ExeUser));

    // No program takes it: the user is told so, and why.
    frame->ClearBoxes();
    SetOpenFileHook([](const QString&) { return false; });
    Child<QAction>(w, "Open1")->trigger();
    QCOMPARE(frame->Boxes,
             QStringList({"Do you want to open this attachment?",
                          "No program is set up to open figures.pdf (application/pdf)."}));
    SetOpenFileHook(nullptr);
  }

  void ContextMenuFollowsThePage() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "figures.eml", multipartMessage);
    QVERIFY(w);
    w->PopupMenu1Popup();
    QVERIFY(Child<QAction>(w, "pmFind")->isVisible() && Child<QAction>(w, "pmFindnext")->isVisible() && !Child<QAction>(w, "pmImg")->isVisible());
    Child<QTabWidget>(w, "pcBody")->setCurrentWidget(Child<QWidget>(w, "tsHTML"));
    w->PopupMenu1Popup();
    // The HTML view finds with its own search, and copies the link under the mouse.
    QVERIFY(Child<QAction>(w, "pmFind")->isVisible() && Child<QAction>(w, "pmFindnext")->isVisible() && Child<QAction>(w, "pmImg")->isVisible());
    QVERIFY(Child<QAction>(w, "pmFind")->isEnabled() && Child<QAction>(w, "SaveAs1")->isEnabled());
    QVERIFY(Child<QAction>(w, "CopyLink")->isVisible() && !Child<QAction>(w, "CopyLink")->isEnabled());
    Child<QTabWidget>(w, "pc")->setCurrentWidget(Child<QWidget>(w, "tsSource"));
    w->PopupMenu1Popup();
    QVERIFY(Child<QAction>(w, "pmFind")->isVisible() && !Child<QAction>(w, "pmImg")->isVisible());
    QVERIFY(Child<QAction>(w, "pmFind")->isEnabled() && !Child<QAction>(w, "CopyLink")->isVisible());
  }

  // A clicked link goes to the desktop's handler, the view staying as it is; its address shows
  // while the mouse is on it and can be copied.
  void LinksOpenElsewhere() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "link.eml",
                          "Subject: l\nContent-Type: text/html\n\n<body style='margin:0'><a "
                          "href='https://example.org/page' style='display:block;width:300px;height:100px'>go</a>"
                          "<a href='mailto:ann@example.org' target='_blank' "
                          "style='display:block;width:300px;height:100px'>mail</a>"
                          "<a href='file:///etc/passwd' style='display:block;width:300px;height:100px'>f</a></body>\n");
    QVERIFY(w);
    auto* html = Child<THtmlView>(w, "HTML");
    QSignalSpy loaded(html, &QWebEngineView::loadFinished);
    Child<QTabWidget>(w, "pcBody")->setCurrentWidget(Child<QWidget>(w, "tsHTML"));
    QVERIFY(loaded.wait(20000));
    QStringList opened;
    SetOpenFileHook([&](const QString& link) {
      opened << link;
      return true;
    });
    const QUrl before = html->url();
    QWidget* target = html->focusProxy() ? html->focusProxy() : html;
    QTest::mouseMove(target, QPoint(50, 50));
    QTRY_COMPARE(Child<QLabel>(w, "lInfo")->text(), QString("https://example.org/page"));
    w->PopupMenu1Popup();
    QVERIFY(Child<QAction>(w, "CopyLink")->isEnabled());
    Child<QAction>(w, "CopyLink")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("https://example.org/page"));
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(50, 150)); // would open a new window
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(50, 250)); // no scheme for a handler
    QTRY_COMPARE_WITH_TIMEOUT(opened, QStringList({"https://example.org/page", "mailto:ann@example.org"}), 10000);
    QTest::qWait(300);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(html->url(), before);
    SetOpenFileHook(nullptr);
  }

  // Remote content that was kept out is said in a bar whose button loads it.
  void RemoteContentBar() {
    TImageServer server;
    TTempDir dir;
    std::string html = "Subject: img\nContent-Type: text/html\n\n<img src=\"http://127.0.0.1:" +
                       std::to_string(server.serverPort()) + "/a.png\">\n";
    Tmdi_pl_Msg* w = Open(dir, "img.eml", html);
    QVERIFY(w);
    auto* bar = Child<QWidget>(w, "RemoteBar");
    Child<QTabWidget>(w, "pcBody")->setCurrentWidget(Child<QWidget>(w, "tsHTML"));
    QTRY_VERIFY_WITH_TIMEOUT(bar->isVisibleTo(w), 20000);
    QCOMPARE(Child<QLabel>(w, "lRemote")->text(), QString("Remote content was blocked."));
    QCOMPARE(server.requests, 0);
    Child<QPushButton>(w, "bLoadRemote")->click();
    QVERIFY(Child<QAction>(w, "pmImg")->isChecked());
    QVERIFY(!bar->isVisibleTo(w));
    QTRY_COMPARE_WITH_TIMEOUT(server.requests, 1, 10000);
    QTest::qWait(300);
    QVERIFY(!bar->isVisibleTo(w));

    // A message without remote content shows no bar.
    Tmdi_pl_Msg* local = Open(dir, "local.eml", "Subject: l\nContent-Type: text/html\n\n<p>x</p>\n");
    auto* view = Child<THtmlView>(local, "HTML");
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    QVERIFY(loaded.wait(20000));
    QTest::qWait(200);
    QVERIFY(!Child<QWidget>(local, "RemoteBar")->isVisibleTo(local));
  }

  void SourceLinesAreNumberedFromOne() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "lines.eml", "Subject: s\n\n1\n2\n3\n4\n5\n6\n7\n8\n9\n");
    QVERIFY(w);
    auto* source = Child<TSourceEditor>(w, "SynMemo");
    QCOMPARE(source->blockCount(), 12);
    QCOMPARE(source->GutterText(0), QString("01"));
    QCOMPARE(source->GutterText(11), QString("12"));
  }

  void FindSearchesTheActiveEditor() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "find.eml", "Subject: f\n\nalpha beta\nALPHA betamax\nbeta\n");
    QVERIFY(w);
    Child<TFindDialog>(w, "fd")->SetFindText("beta");
    Child<TFindDialog>(w, "fd")->SetWholeWord(true);
    QVERIFY(w->fdFind());
    QCOMPARE(Child<QPlainTextEdit>(w, "Memo")->textCursor().selectionStart(), 6);
    QVERIFY(w->fdFind());
    QCOMPARE(Child<QPlainTextEdit>(w, "Memo")->textCursor().selectionStart(), 25); // betamax is no whole word
    Child<TFindDialog>(w, "fd")->SetDown(false);
    QVERIFY(w->fdFind());
    QCOMPARE(Child<QPlainTextEdit>(w, "Memo")->textCursor().selectionStart(), 6);
    w->pmFindnextClick(); // forward again after a backward search
    QCOMPARE(Child<QPlainTextEdit>(w, "Memo")->textCursor().selectionStart(), 25);
    QVERIFY(Child<TFindDialog>(w, "fd")->Down());
    Child<TFindDialog>(w, "fd")->SetFindText("ALPHA");
    Child<TFindDialog>(w, "fd")->SetMatchCase(true);
    Child<QPlainTextEdit>(w, "Memo")->moveCursor(QTextCursor::Start);
    QVERIFY(w->fdFind());
    QCOMPARE(Child<QPlainTextEdit>(w, "Memo")->textCursor().selectionStart(), 11);
    // Past the last one the search goes round, and says so.
    Child<QPlainTextEdit>(w, "Memo")->moveCursor(QTextCursor::End);
    QVERIFY(w->fdFind());
    QCOMPARE(Child<QPlainTextEdit>(w, "Memo")->textCursor().selectionStart(), 11);
    QCOMPARE(Child<QLabel>(w, "lInfo")->text(), QString("Reached the end; continued from the top."));
    Child<TFindDialog>(w, "fd")->SetDown(false);
    Child<QPlainTextEdit>(w, "Memo")->moveCursor(QTextCursor::Start);
    QVERIFY(w->fdFind());
    QCOMPARE(Child<QLabel>(w, "lInfo")->text(), QString("Reached the top; continued from the end."));
    QVERIFY(frame->Boxes.isEmpty());
    Child<TFindDialog>(w, "fd")->SetFindText("gamma");
    QVERIFY(!w->fdFind());
    QCOMPARE(frame->Boxes, QStringList{"Text not found."});
  }

  void RemoteImagesOnlyAfterDownloadImages() {
    TImageServer server;
    TTempDir dir;
    std::string html = "Subject: img\nContent-Type: text/html\n\n<img src=\"http://127.0.0.1:" +
                       std::to_string(server.serverPort()) + "/a.png\">\n";
    Tmdi_pl_Msg* w = Open(dir, "img.eml", html);
    QVERIFY(w);
    Child<QTabWidget>(w, "pcBody")->setCurrentWidget(Child<QWidget>(w, "tsHTML"));
    QSignalSpy loaded(Child<THtmlView>(w, "HTML"), &QWebEngineView::loadFinished);
    QVERIFY(loaded.wait(20000));
    QTest::qWait(300);
    QCOMPARE(server.requests, 0);
    Child<QAction>(w, "pmImg")->trigger();
    QVERIFY(Child<QAction>(w, "pmImg")->isChecked());
    QTRY_COMPARE_WITH_TIMEOUT(server.requests, 1, 10000);
  }

  // A failure in a menu command (the target folder is gone) reaches the top-level report.
  void FailedSaveIsReported() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "figures.eml", multipartMessage);
    QVERIFY(w);
    SetPickSaveFileHook([&](const QString&, const QString&) {
      return QString::fromStdString(dir / "gone/figures.pdf");
    });
    Child<QListWidget>(w, "List")->setCurrentRow(0);
    Child<QAction>(w, "Save1")->trigger();
    SetPickSaveFileHook(nullptr);
    QCOMPARE(frame->Captions, QStringList{"Pellora"});
    QVERIFY2(frame->Boxes[0].contains("gone/figures.pdf"), qPrintable(frame->Boxes[0]));
  }

  // The context menu opened on the HTML tab; Ctrl+F and F3 must work once the plain text is shown
  // again.
  void FindKeysWorkAfterTheHtmlContextMenu() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "find.eml", "Subject: f\n\nalpha beta\nbeta again\n");
    QVERIFY(w);
    frame->Frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame->Frame()));
    auto* pcBody = Child<QTabWidget>(w, "pcBody");
    auto* html = Child<QWidget>(w, "HTML");
    pcBody->setCurrentWidget(Child<QWidget>(w, "tsHTML"));
    QTimer::singleShot(100, [] {
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    emit html->customContextMenuRequested(QPoint(5, 5)); // how the view reports a right-click
    QVERIFY(Child<QAction>(w, "pmImg")->isVisible());    // the menu was prepared for the HTML tab

    pcBody->setCurrentWidget(Child<QWidget>(w, "Memo"));
    auto* memo = Child<QPlainTextEdit>(w, "Memo");
    memo->setFocus();
    QTRY_VERIFY(memo->hasFocus());
    memo->moveCursor(QTextCursor::Start);
    memo->moveCursor(QTextCursor::NextWord); // on "beta"
    QTest::keyClick(memo, Qt::Key_F, Qt::ControlModifier);
    auto* fd = Child<TFindDialog>(w, "fd");
    QTRY_VERIFY(fd->isVisible());
    QCOMPARE(fd->FindText(), QString("beta"));
    QCOMPARE(fd->findChild<QLineEdit*>()->selectedText(), QString("beta")); // typing replaces it
    fd->hide();
    memo->setFocus();
    QTRY_VERIFY(memo->hasFocus());
    memo->moveCursor(QTextCursor::Start);
    QTest::keyClick(memo, Qt::Key_F3);
    QCOMPARE(memo->textCursor().selectedText(), QString("beta"));
    QCOMPARE(memo->textCursor().selectionStart(), 6);
    QTest::keyClick(memo, Qt::Key_F3);
    QCOMPARE(memo->textCursor().selectionStart(), 11);
    QVERIFY(frame->Boxes.isEmpty());
  }

  // "Find what:" has N as its mnemonic: the label shows no "&" and Alt+N reaches the text box.
  void FindDialogMnemonic() {
    TFindDialog fd;
    fd.show();
    fd.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&fd));
    auto* label = Child<QLabel>(&fd, "fdLabel");
    QCOMPARE(label->text(), QString("Fi&nd what:"));
    QWidget* matchCase = nullptr;
    for (QAbstractButton* button : fd.findChildren<QAbstractButton*>())
      if (button->text() == "Match &case") matchCase = button;
    QVERIFY(matchCase);
    matchCase->setFocus();
    QTRY_VERIFY(matchCase->hasFocus());
    QTest::keyClick(matchCase, Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), fd.findChild<QLineEdit*>());
  }

  // On the HTML tab a plain-text message reads as it is written: markup characters as text,
  // every line on its own.
  void PlainTextOnTheHtmlTab() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "plain.eml", "Subject: p\n\n<b>1</b> & 2\nsecond line\n");
    QVERIFY(w);
    auto* html = Child<THtmlView>(w, "HTML");
    QSignalSpy loaded(html, &QWebEngineView::loadFinished);
    Child<QTabWidget>(w, "pcBody")->setCurrentWidget(Child<QWidget>(w, "tsHTML"));
    QVERIFY(loaded.wait(20000));
    QString shown;
    bool done = false;
    html->page()->toPlainText([&](const QString& text) {
      shown = text;
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    QCOMPARE(shown, QString("<b>1</b> & 2\nsecond line"));
  }

  void EveryRealMessageOpens() {
    const std::string data = pellora::test::SharedDataDir();
    if (data.empty()) QSKIP("../shared/data is absent");
    QStringList files;
    QDirIterator it(QString::fromStdString(data), {"*"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QString path = it.next();
      if (path.contains("/eml/") || path.contains("/thunderbird/")) files << path;
    }
    QVERIFY(files.size() > 50);
    for (const QString& path : files) {
      int before = frame->Frame().Children().size();
      OpenMessageFile(frame->Frame(), QFile::encodeName(path).toStdString());
      QCOMPARE(frame->Frame().Children().size(), before + 1);
      auto* w = qobject_cast<Tmdi_pl_Msg*>(frame->Frame().Children().last());
      QVERIFY2(!Child<QPlainTextEdit>(w, "SynMemo")->toPlainText().isEmpty(), qPrintable(path));
      frame->Frame().CloseChild(w);
    }
    QVERIFY(frame->Boxes.isEmpty());
  }

  // Print and Save as PDF give the shown text under the header block, as text.
  void PrintsTheShownTextUnderItsHeaders() {
    TTempDir dir;
    Tmdi_pl_Msg* w = Open(dir, "figures.eml", multipartMessage);
    QVERIFY(w);
    auto printed = [&](const char* name) {
      std::string pdf = dir / name;
      w->SetPrintToFile(QString::fromStdString(pdf));
      QSignalSpy done(w, &Tmdi_pl_Msg::PrintFinished);
      w->mmPrintClick();
      if (done.count() != 1) return QString("not printed");
      QProcess text;
      text.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
      text.waitForFinished(20000);
      return QString::fromUtf8(text.readAllStandardOutput());
    };
    const QRegularExpression headers(
        "Quarterly figures\\s+Page 1 of 1\\s+Quarterly figures\\s+From:\\s+Doe, John <john@example.com>\\s+"
        "To:\\s+Bob <bob@example.org>, carol@example.org\\s+CC:.*zoe@example.org>\\s+"
        "Date:\\s+Tuesday, March 14, 2023 9:14:58 AM\\s+Attachments:\\s+figures.pdf \\(\\d+ B\\)");

    Child<QTabWidget>(w, "pcBody")->setCurrentWidget(Child<QWidget>(w, "tsHTML"));
    QString out = printed("html.pdf");
    QVERIFY2(headers.match(out).hasMatch(), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("Hello Bob,\\s+the figures are attached.")), qPrintable(out));
    // At the foot: where the message came from, and the day.
    QVERIFY2(out.contains(QRegularExpression(
                 "figures.eml\\s+" + QRegularExpression::escape(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)))),
             qPrintable(out));

    // The plain text in its lines, without numbers.
    Child<QTabWidget>(w, "pcBody")->setCurrentWidget(Child<QWidget>(w, "Memo"));
    out = printed("text.pdf");
    QVERIFY2(headers.match(out).hasMatch(), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\\n\\s*Hello Bob,\\n\\s*the figures are attached.")),
             qPrintable(out));

    // The source as stored.
    Child<QTabWidget>(w, "pc")->setCurrentWidget(Child<QWidget>(w, "tsSource"));
    out = printed("source.pdf");
    QVERIFY2(out.contains("Received: from relay.example.net") && out.contains("--b2--"), qPrintable(out));
    Child<QTabWidget>(w, "pc")->setCurrentWidget(Child<QWidget>(w, "tsBody"));

    // Save as PDF: the name the message would be saved under, ending in .pdf.
    QString preset;
    SetPickSaveFileHook([&](const QString&, const QString& name) {
      preset = name;
      return QString::fromStdString(dir / "saved.pdf");
    });
    w->cmSaveAsPdf();
    SetPickSaveFileHook(nullptr);
    QCOMPARE(preset, QString("2023-03-14 0914 - Quarterly figures.pdf"));
    QProcess text;
    text.start("pdftotext", {"-layout", QString::fromStdString(dir / "saved.pdf"), "-"});
    QVERIFY(text.waitForFinished(20000));
    out = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(headers.match(out).hasMatch() && out.contains("Hello Bob,"), qPrintable(out));
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
  MessageWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "message_window_test.moc"
