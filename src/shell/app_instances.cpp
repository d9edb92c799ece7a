#include "shell/app_instances.h"

#include "platform/files.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pellora {
namespace {
// QT_LOGGING_RULES="pellora.instances.debug=true" traces the hand-over.
Q_LOGGING_CATEGORY(lcInstances, "pellora.instances", QtWarningMsg)
// How long a later start tries to reach a lock holder that does not listen.
constexpr qint64 NoListenerMs = 10000;
constexpr int StepMs = 500;
const char ack = '+';

// The user id of the process at the other end of a connected local socket; -1 when unknown.
long long PeerUid(qintptr descriptor) {
  struct ucred cred{};
  socklen_t size = sizeof cred;
  if (getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0)
    return -1;
  return cred.uid;
}

} // namespace

TAppInstances::TAppInstances(QObject* parent) : QObject(parent) {}

TAppInstances::~TAppInstances() {
  if (FLock >= 0) close(FLock);
}

TAppInstances::TStart TAppInstances::Start(const QStringList& arguments) {
  QString folder = QFile::decodeName(QByteArray::fromStdString(RuntimeFolder()));
  if (folder.isEmpty()) {
    // Without a folder that only this user can write there is no safe meeting point.
    qWarning("Pellora: no private runtime folder; this start runs on its own");
    return stInstance;
  }
  // Close-on-exec: a program started from here (an attachment's viewer) must not keep the lock.
  FLock = open(QFile::encodeName(folder + "pellora.lock").constData(),
               O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (FLock < 0) {
    qWarning("Pellora: cannot open the instance lock; this start runs on its own");
    return stInstance;
  }
  const QString socketPath = folder + "pellora.socket";
  QElapsedTimer noListener;
  for (;;) {
    if (flock(FLock, LOCK_EX | LOCK_NB) == 0) {
      if (!Listen(socketPath))
        qWarning("Pellora: later starts cannot hand over their files: %s",
                 qPrintable(FServer->errorString()));
      return stInstance;
    }
    switch (HandOver(socketPath, arguments)) {
    case hoDone:
      return stHandedOver;
    case hoForeign:
      FErrorText = QString("Pellora's socket %1 belongs to another user; nothing was handed over.")
                       .arg(socketPath);
      return stRefused;
    case hoLost: // the holder ended or went away mid-way: try again
      noListener.invalidate();
      break;
    case hoNoListener: // not listening yet, or unable to
      if (!noListener.isValid()) noListener.start();
      if (noListener.hasExpired(NoListenerMs)) {
        FErrorText = "Pellora is running but does not take files from a later start.";
        return stRefused;
      }
      break;
    }
    QThread::msleep(100);
  }
}

TAppInstances::THandOver TAppInstances::HandOver(const QString& socketPath,
                                                 const QStringList& arguments) {
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(StepMs)) return hoNoListener;
  // The folder is the user's own, but the paths a user opens must reach nobody else.
  if (PeerUid(socket.socketDescriptor()) != static_cast<long long>(geteuid())) return hoForeign;
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
  // A busy instance answers when its loop runs again: wait as long as it lives (its end closes
  // the connection).
  qCDebug(lcInstances) << "handing over to" << socketPath;
  while (socket.bytesToWrite() > 0 || socket.bytesAvailable() < 1) {
    if (socket.state() != QLocalSocket::ConnectedState) return hoLost;
    if (socket.bytesToWrite() > 0)
      socket.waitForBytesWritten(StepMs);
    else
      socket.waitForReadyRead(StepMs);
  }
  return socket.read(1) == QByteArray(1, ack) ? hoDone : hoLost;
}

bool TAppInstances::Listen(const QString& socketPath) {
  FServer = new QLocalServer(this);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  // Holding the lock, this is the only instance: a socket left there is a dead one's.
  QLocalServer::removeServer(socketPath);
  if (!FServer->listen(socketPath)) return false;
  qCDebug(lcInstances) << "listening" << socketPath;
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
