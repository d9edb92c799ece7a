#include "message_window/html_view.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace pellora;

namespace {

// A loopback server that answers every request with a small image and remembers the paths.
class TImageServer : public QTcpServer {
public:
  QStringList paths;
  TImageServer() {
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          QByteArray request = socket->readAll();
          paths << QString::fromLatin1(request.split(' ').value(1));
          QByteArray png = QByteArray::fromBase64(
              "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
          socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                        QByteArray::number(png.size()) + "\r\nConnection: close\r\n\r\n" + png);
          socket->disconnectFromHost();
        });
      }
    });
    listen(QHostAddress::LocalHost);
  }
  QString Url(const QString& path) const { return QString("http://127.0.0.1:%1%2").arg(serverPort()).arg(path); }
};

// A loopback listener that counts the connections made to it, whether or not a request follows
// (a preconnect opens one and sends nothing).
class TConnectionCounter : public QTcpServer {
public:
  int connections = 0;
  TConnectionCounter() {
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = nextPendingConnection()) {
        ++connections;
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
          socket->readAll();
          socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
          socket->disconnectFromHost();
        });
      }
    });
    listen(QHostAddress::LocalHost);
  }
  QString Base() const { return QString("http://127.0.0.1:%1").arg(serverPort()); }
};

bool Render(THtmlView& view, const QString& html) {
  QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
  view.SetDocument(html.toUtf8());
  return loaded.wait(20000) && loaded.first().first().toBool();
}

} // namespace

class HtmlViewTest : public QObject {
  Q_OBJECT
private slots:
  void RemoteImagesOnlyWhenAllowed() {
    TImageServer server;
    THtmlView view;
    view.resize(400, 300);
    view.show();
    int cidRequests = 0;
    view.SetCidResolver([&](const QString& id) -> std::optional<TInlineResource> {
      ++cidRequests;
      if (id != "part1@example") return std::nullopt;
      return TInlineResource{"image/png", QByteArray::fromBase64(
          "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==")};
    });
    const QString html = QString("<html><body><img src='%1'><img src='cid:part1@example'>"
                                 "<link rel=stylesheet href='%2'><script src='%3'></script>"
                                 "</body></html>")
                             .arg(server.Url("/remote.png"), server.Url("/style.css"), server.Url("/x.js"));
    QVERIFY(Render(view, html));
    QTest::qWait(300);
    QCOMPARE(server.paths, QStringList());
    QCOMPARE(cidRequests, 1); // inline parts show without any network

    view.SetImagesAllowed(true);
    QVERIFY(Render(view, html));
    QTRY_COMPARE_WITH_TIMEOUT(server.paths, QStringList({"/remote.png"}), 10000);
  }

  void DocumentIsReadAsUtf8WhateverItDeclares() {
    THtmlView view;
    view.show();
    QVERIFY(Render(view, QString::fromUtf8("<html><head><meta charset='windows-1252'><title>Caf\u00e9 "
                                           "\u20ac</title></head><body>x</body></html>")));
    QCOMPARE(view.title(), QString::fromUtf8("Caf\u00e9 \u20ac"));
  }

  // Every way a page can reach out, each at a listener of its own: none may open a connection,
  // and with images allowed only the ways that load images may.
  void NoWayOutButAllowedImages() {
    struct TWay {
      const char* name;
      const char* html; // %1: the listener's address
      bool image;
    } ways[] = {
        {"img", "<img src='%1/a.png'>", true},
        {"srcset", "<img srcset='%1/a.png 1x, %1/b.png 2x'>", true},
        {"picture", "<picture><source srcset='%1/a.png'><img alt=x></picture>", true},
        {"input image", "<input type=image src='%1/a.png'>", true},
        {"css background", "<div style='width:9px;height:9px;background:url(%1/a.png)'></div>",
         true},
        {"body background", "<table background='%1/a.png'><tr><td>x</td></tr></table>", true},
        {"svg image", "<svg width=9 height=9><image href='%1/a.png' width='9' height='9'/></svg>",
         true},
        {"video poster", "<video poster='%1/a.png'></video>", true},
        {"preconnect", "<link rel=preconnect href='%1'>", false},
        {"dns-prefetch", "<link rel=dns-prefetch href='%1'>", false},
        {"preload", "<link rel=preload as=style href='%1/a.css'>", false},
        {"preload image", "<link rel=preload as=image href='%1/a.png'>", true},
        {"prefetch", "<link rel=prefetch href='%1/next.html'>", false},
        {"prerender", "<link rel=prerender href='%1/next.html'>", false},
        {"modulepreload", "<link rel=modulepreload href='%1/m.js'>", false},
        {"stylesheet", "<link rel=stylesheet href='%1/a.css'>", false},
        {"css import", "<style>@import url('%1/a.css');</style>", false},
        {"font",
         "<style>@font-face{font-family:F;src:url('%1/f.woff')}p{font-family:F}</style><p>x</p>",
         false},
        {"icon", "<link rel=icon href='%1/favicon.ico'>", false},
        {"manifest", "<link rel=manifest href='%1/m.json'>", false},
        {"iframe", "<iframe src='%1/frame.html'></iframe>", false},
        {"object", "<object data='%1/x.html'></object>", false},
        {"embed", "<embed src='%1/x.swf'>", false},
        {"meta refresh", "<meta http-equiv=refresh content='0;url=%1/refresh.html'>", false},
        {"video", "<video src='%1/v.mp4' autoplay preload=auto></video>", false},
        {"audio", "<audio src='%1/a.ogg' autoplay preload=auto></audio>", false},
        {"media source",
         "<video autoplay><source src='%1/v.webm'><track src='%1/t.vtt' default></video>", false},
        {"svg use", "<svg><use href='%1/s.svg#x'/></svg>", false},
        {"script", "<script src='%1/x.js'></script>", false},
        {"ping",
         "<a href='%1/go' ping='%1/ping' "
         "style='position:absolute;left:0;top:0;width:400px;height:300px'>p</a>",
         false},
    };
    for (bool images : {false, true}) {
      std::vector<std::unique_ptr<TConnectionCounter>> listeners;
      QString body;
      for (const TWay& way : ways) {
        listeners.push_back(std::make_unique<TConnectionCounter>());
        body += QString(way.html).replace("%1", listeners.back()->Base());
      }
      THtmlView view;
      view.resize(400, 300);
      view.show();
      view.SetImagesAllowed(images);
      QVERIFY(Render(view, "<html><head></head><body style='margin:0'>" + body + "</body></html>"));
      // The ping goes out on a click (the link covers the view's top left corner).
      QWidget* target = view.focusProxy() ? view.focusProxy() : &view;
      QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(5, 5));
      QTest::qWait(1500);
      QStringList leaks;
      for (size_t i = 0; i < std::size(ways); ++i)
        if (listeners[i]->connections > 0 && !(images && ways[i].image))
          leaks << QString("%1 (%2)").arg(ways[i].name).arg(listeners[i]->connections);
      QVERIFY2(leaks.isEmpty(),
               qPrintable((images ? "images allowed: " : "images off: ") + leaks.join(", ")));
      if (images) QVERIFY(listeners[0]->connections > 0); // allowed images do load
    }
  }

  void NavigationsAndNewWindowsAreRefused() {
    TImageServer server;
    THtmlView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(Render(view, QString("<body style='margin:0'><a href='%1' target='_blank' "
                                 "style='display:block;width:400px;height:150px'>x</a>"
                                 "<a href='%1' style='display:block;width:400px;height:150px'>y</a></body>")
                             .arg(server.Url("/page"))));
    const QUrl before = view.url();
    QTest::qWait(200);
    QWidget* target = view.focusProxy() ? view.focusProxy() : &view;
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(50, 50));  // new window
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(50, 200)); // same window
    QTRY_VERIFY_WITH_TIMEOUT(view.RefusedNavigations() >= 2, 10000);
    view.page()->load(QUrl(server.Url("/direct")));
    QTest::qWait(500);
    QCOMPARE(view.url(), before);
    QCOMPARE(server.paths, QStringList());
  }
};

int main(int argc, char** argv) {
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  THtmlView::RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  HtmlViewTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "html_view_test.moc"
