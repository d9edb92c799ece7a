#pragma once
#include <QObject>
#include <QStringList>

class QLocalServer;

namespace pellora {

// One instance per user: a later start hands its arguments to the running one and ends.
// Ownership is a lock in the user's runtime folder, held for the life of the process: only the
// holder listens, so a busy or paused instance is never joined by a second one.
class TAppInstances : public QObject {
  Q_OBJECT
public:
  enum TStart {
    stInstance,   // this start is the instance (it listens when it could)
    stHandedOver, // the running instance took the arguments: end with 0
    stRefused,    // nothing was handed over and this start must not run: see ErrorText
  };

  explicit TAppInstances(QObject* parent = nullptr);
  ~TAppInstances() override;

  // Takes the lock, or hands the arguments to its holder and waits, for as long as the holder
  // lives, until it has taken them. Refused when a socket of another user holds the name, or
  // when the holder never listens.
  TStart Start(const QStringList& arguments);
  const QString& ErrorText() const { return FErrorText; }

signals:
  void CmdLineReceived(const QStringList& lines);

private:
  enum THandOver { hoDone, hoNoListener, hoLost, hoForeign };
  THandOver HandOver(const QString& socketPath, const QStringList& arguments);
  bool Listen(const QString& socketPath);

  QLocalServer* FServer = nullptr;
  int FLock = -1;
  QString FErrorText;
};

} // namespace pellora
