#pragma once
#include <QObject>
#include <QStringList>

class QLocalServer;

namespace pellora {

// One instance per user: a later start hands its arguments to the running one and ends.
class TAppInstances : public QObject {
  Q_OBJECT
public:
  explicit TAppInstances(QObject* parent = nullptr);
  ~TAppInstances() override;

  // The name both instances meet at: one per user (PELLORA_INSTANCE_NAME overrides it).
  static QString ServerName();
  // True when a running instance took the arguments; this start should then end with 0.
  static bool HandOver(const QStringList& arguments);
  // Starts taking hand-overs; false when the name could not be claimed.
  bool Listen();

signals:
  void CmdLineReceived(const QStringList& lines);

private:
  QLocalServer* FServer = nullptr;
};

} // namespace pellora
