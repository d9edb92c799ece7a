// The update check against a loopback HTTP server.
#include "platform/qt_platform.h"
#include <QApplication>
#include "shell/main_window.h"
#include "support/settings_folder.h"
#include "update/qt_web_update.h"

#include <QDesktopServices>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <map>

using namespace pellora;

namespace {

struct TPage {
  int status = 200;
  QByteArray body;
  bool answer = true;
};

// Serves pages by path; a page that does not answer keeps the connection open and silent.
class TPageServer : public QTcpServer {
public:
  std::map<QByteArray, TPage> pages;
  QList<QByteArray> requested;

  TPageServer() {
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          QByteArray request = socket->peek(socket->bytesAvailable());
          if (!request.contains("\r\n\r\n")) return;
          socket->readAll();
          QByteArray path = request.split(' ').value(1);
          requested << path;
          auto it = pages.find(path);
          TPage page = it == pages.end() ? TPage{404, "<html>Not found</html>"} : it->second;
          if (!page.answer) return;
          socket->write("HTTP/1.0 " + QByteArray::number(page.status) +
                        " X\r\nContent-Type: text/html\r\n"
                        "Content-Length: " +
                        QByteArray::number(page.body.size()) + "\r\n\r\n" + page.body);
          socket->disconnectFromHost();
        });
      }
    });
  }
  QString Url(const char* path) const {
    return QString("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
  }
};

QByteArray Page(const char* name, const char* version, const QByteArray& extra = {}) {
  QByteArray page = "<html><head>\r\n";
  if (name) page += QByteArray("<META NAME=\"PELLORAName\" CONTENT=\"") + name + "\">\r\n";
  if (version) page += QByteArray("<META NAME=\"PELLORAVersion\" CONTENT=\"") + version + "\">\r\n";
  return page + extra + "</head></html>\r\n";
}

} // namespace

class UrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> opened;
public slots:
  void Open(const QUrl& url) { opened << url; }
};

class WebUpdateTest : public QObject {
  Q_OBJECT

  // Runs one check against the server; the versions the component reported as newer.
  QStringList Check(TPageServer& server, const char* path, int timeoutMs = 5000) {
    TWebUpdate update;
    update.SetInfoAddress(server.Url(path));
    update.SetProductVersion("1.5.0.9");
    update.SetTimeout(timeoutMs);
    QStringList reported;
    update.OnUpdateAvailable = [&reported](const std::string& current, bool& mayUpdate,
                                           const std::string& next) {
      if (current != "1.5.0.9") reported << "wrong program version";
      reported << QString::fromStdString(next);
      mayUpdate = false;
    };
    QSignalSpy finished(&update, &TWebUpdate::Finished);
    update.RunUpdateCheck();
    if (!finished.wait(timeoutMs + 10000)) reported << "(unfinished)";
    return reported;
  }

private slots:
  void ReadsThePageAndReportsANewerVersion_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("reported");
    QTest::newRow("newer") << Page("Pellora", "1.5.0.12") << QStringList{"1.5.0.12"};
    QTest::newRow("equal") << Page("Pellora", "1.5.0.9") << QStringList{};
    QTest::newRow("older") << Page("Pellora", "1.4.9.99") << QStringList{};
    QTest::newRow("no name tag") << Page(nullptr, "2.0.0.0") << QStringList{};
    QTest::newRow("no version tag") << Page("Pellora", nullptr) << QStringList{};
    QTest::newRow("lower-case meta name")
        << QByteArray("<meta name=\"PELLORAName\" content=\"Pellora\">\n"
                      "<meta name=\"PELLORAVersion\" content=\"2.0.0.0\">\n")
        << QStringList{};
    QTest::newRow("empty body") << QByteArray() << QStringList{};
    // A page over 1 MB is read no further than that.
    QTest::newRow("tags within the first megabyte")
        << Page("Pellora", "1.6.0.0") + QByteArray(1500000, 'x') << QStringList{"1.6.0.0"};
    QTest::newRow("tags past the first megabyte")
        << QByteArray(1100000, 'x') + "\n" + Page("Pellora", "1.6.0.0") << QStringList{};
  }
  void ReadsThePageAndReportsANewerVersion() {
    QFETCH(QByteArray, body);
    QFETCH(QStringList, reported);
    TPageServer server;
    server.pages["/info.html"] = {200, body};
    QCOMPARE(Check(server, "/info.html"), reported);
    QCOMPARE(server.requested, QList<QByteArray>{"/info.html"});
  }

  void FollowsRedirectionsButNotForever() {
    TPageServer server;
    QByteArray redirectTo = "<META NAME=\"updRedirection\" CONTENT=\"/moved.html\">\n";
    server.pages["/info.html"] = {200, Page("Pellora", "9.0.0.0", redirectTo)};
    server.pages["/moved.html"] = {200, Page("Pellora", "1.7.0.0")};
    QCOMPARE(Check(server, "/info.html"), QStringList{"1.7.0.0"}); // the tags of the page moved to
    QCOMPARE(server.requested, (QList<QByteArray>{"/info.html", "/moved.html"}));

    // A page naming itself, and two pages naming each other: each address is fetched once.
    server.requested.clear();
    server.pages["/self.html"] = {200, Page("Pellora", "1.8.0.0",
                                            "<META NAME=\"updRedirection\" CONTENT=\"" +
                                                server.Url("/self.html").toUtf8() + "\">\n")};
    QCOMPARE(Check(server, "/self.html"), QStringList{"1.8.0.0"});
    QCOMPARE(server.requested, QList<QByteArray>{"/self.html"});
    server.requested.clear();
    server.pages["/a.html"] = {
        200, Page("Pellora", "1.0", "<META NAME=\"updRedirection\" CONTENT=\"/b.html\">\n")};
    server.pages["/b.html"] = {
        200, Page("Pellora", "1.0", "<META NAME=\"updRedirection\" CONTENT=\"/a.html\">\n")};
    QCOMPARE(Check(server, "/a.html"), QStringList{});
    QCOMPARE(server.requested, (QList<QByteArray>{"/a.html", "/b.html"}));
  }

  void FailuresAreSilent() {
    TPageServer server;
    server.pages["/error.html"] = {500, Page("Pellora", "2.0.0.0")};
    QCOMPARE(Check(server, "/missing.html"), QStringList{}); // 404
    QCOMPARE(Check(server, "/error.html"), QStringList{});

    TPageServer closed;
    QString url = closed.Url("/info.html");
    closed.close(); // nobody listens there any more
    TWebUpdate update;
    update.SetInfoAddress(url);
    QSignalSpy finished(&update, &TWebUpdate::Finished);
    update.RunUpdateCheck();
    QVERIFY(finished.wait(10000));
  }

  void AServerThatNeverAnswersIsGivenUp() {
    TPageServer server;
    server.pages["/slow.html"] = {200, Page("Pellora", "2.0.0.0"), false};
    TWebUpdate update;
    update.SetInfoAddress(server.Url("/slow.html"));
    update.SetTimeout(300);
    bool reported = false;
    update.OnUpdateAvailable = [&reported](const std::string&, bool&, const std::string&) {
      reported = true;
    };
    QSignalSpy finished(&update, &TWebUpdate::Finished);
    update.RunUpdateCheck();
    QVERIFY(update.Running());
    QVERIFY(!update.RunUpdateCheck()); // a second check while one runs does nothing
    // The event loop goes on meanwhile: the window stays responsive.
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    QVERIFY(finished.wait(20000));
    QVERIFY(ticks > 0);
    QVERIFY(!reported);
    QVERIFY(!update.Running());
    QCOMPARE(server.requested.size(), 1);
  }

  void NoAddressMakesNoRequest() {
    TWebUpdate update; // the default build names no page
    QVERIFY(update.InfoAddress().isEmpty());
    QSignalSpy finished(&update, &TWebUpdate::Finished);
    QVERIFY(!update.RunUpdateCheck());
    QVERIFY(!update.Running());
    QCOMPARE(finished.size(), 0);
    QVERIFY(update.findChildren<QObject*>().size() == 1); // its captions; no network access manager
  }

  void FrameAsksAndOpensTheProductPage() {
    TPageServer server;
    server.pages["/info.html"] = {200, Page("Pellora", "99.0.0.0")};
    QStringList questions;
    bool answer = true;
    SetMessageBoxHook([&](TBoxKind kind, const QString& text, const QString& caption) {
      questions << caption + "|" + text;
      return kind == TBoxKind::Question && answer;
    });
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "Open");

    for (bool yes : {true, false}) {
      answer = yes;
      questions.clear();
      catcher.opened.clear();
      Twnd_pl_Main frame;
      frame.WebUpdate->SetInfoAddress(server.Url("/info.html"));
      frame.WebUpdate->SetProductAddress("http://product.example/pellora");
      QSignalSpy finished(frame.WebUpdate, &TWebUpdate::Finished);
      frame.show();
      QVERIFY(finished.wait(10000));
      QCOMPARE(
          questions,
          QStringList{"Pellora|New version 99.0.0.0 is available.\r\nDo you want to download it?"});
      QCOMPARE(catcher.opened,
               yes ? QList<QUrl>{QUrl("http://product.example/pellora")} : QList<QUrl>{});
    }
    QDesktopServices::unsetUrlHandler("http");
    SetMessageBoxHook(nullptr);
  }

  void NoUpdateSwitchMakesNoRequest() {
    TPageServer server;
    server.pages["/info.html"] = {200, Page("Pellora", "99.0.0.0")};
    for (const char* argument : {"/nuc", "-NUC"}) {
      Twnd_pl_Main frame({argument});
      frame.WebUpdate->SetInfoAddress(server.Url("/info.html"));
      QSignalSpy finished(frame.WebUpdate, &TWebUpdate::Finished);
      frame.show();
      QTest::qWait(300);
      QCOMPARE(finished.size(), 0);
      QVERIFY(frame.Children().isEmpty()); // the switch is not opened as a path
    }
    QVERIFY(server.requested.isEmpty());
  }
};

int main(int argc, char** argv) {
  pellora::test::TSettingsFolder settings;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  // The pages are on this machine: no proxy of the environment stands between.
  QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
  WebUpdateTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "web_update_test.moc"
