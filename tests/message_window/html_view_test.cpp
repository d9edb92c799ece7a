#include "message_window/html_view.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cstdlib>
#include <unistd.h>

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
