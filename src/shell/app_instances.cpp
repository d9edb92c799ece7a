#include "shell/app_instances.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>

#include <unistd.h>

namespace pellora {
namespace {
// QT_LOGGING_RULES="pellora.instances.debug=true" traces the hand-over.
Q_LOGGING_CATEGORY(lcInstances, "pellora.instances", QtWarningMsg)
constexpr int TimeoutMs = 3000;
const char ack = '+';
} // namespace

TAppInstances::TAppInstances(QObject* parent) : QObject(parent) {}

TAppInstances::~TAppInstances() = default;

QString TAppInstances::ServerName() {
  QString forced = qEnvironmentVariable("PELLORA_INSTANCE_NAME");
  if (!forced.isEmpty()) return forced;
  return QString("pellora-%1").arg(getuid());
}

bool TAppInstances::HandOver(const QStringList& arguments) {
  QLocalSocket socket;
  socket.connectToServer(ServerName());
  if (!socket.waitForConnected(TimeoutMs)) return false;
  // Relative paths mean this start's folder, not the running instance's.
  QStringList absolute;
  for (const QString& argument : arguments) {
    QFileInfo info(argument);
    absolute << (info.exists() ? info.absoluteFilePath() : argument);
  }
  QByteArray payload;
  {
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << absolute;
  }
  QByteArray frame;
  {
    QDataStream out(&frame, QIODevice::WriteOnly);
    out << payload;
  }
  socket.write(frame);
  if (!socket.waitForBytesWritten(TimeoutMs)) return false;
  // The running instance answers once it has taken the list.
  while (socket.bytesAvailable() < 1)
    if (!socket.waitForReadyRead(TimeoutMs)) return false;
  return socket.read(1) == QByteArray(1, ack);
}

bool TAppInstances::Listen() {
  FServer = new QLocalServer(this);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  if (!FServer->listen(ServerName())) {
    // A server left behind by a crashed instance: nobody answered HandOver, so take it over.
    QLocalServer::removeServer(ServerName());
    if (!FServer->listen(ServerName())) return false;
  }
  qCDebug(lcInstances) << "listening" << ServerName();
  connect(FServer, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        QDataStream in(socket);
        in.startTransaction();
        QByteArray payload;
        in >> payload;
        if (!in.commitTransaction()) return; // wait for the rest
        QStringList lines;
        QDataStream list(payload);
        list >> lines;
        socket->write(&ack, 1);
        socket->flush();
        qCDebug(lcInstances) << "received" << lines;
        emit CmdLineReceived(lines);
      });
    }
  });
  return true;
}

} // namespace pellora
