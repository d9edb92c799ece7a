#pragma once
#include "update/update_info.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;

namespace pellora {

// The update component: fetches the update-information page in the background, reads its tags
// and reports a newer version. It never downloads or runs anything itself. Without an
// information page address (the default build) it makes no request at all.
class TWebUpdate : public QObject {
  Q_OBJECT
public:
  static constexpr int DefaultTimeoutMs = 15000;
  // A page larger than this is not read further.
  static constexpr qint64 MaxPageBytes = 1 << 20;

  // The addresses come from the build settings PELLORA_UPDATE_URL and PELLORA_PRODUCT_URL.
  explicit TWebUpdate(QObject* parent = nullptr);

  QString InfoAddress() const { return FInfoAddress; }
  void SetInfoAddress(const QString& address) { FInfoAddress = address; }
  QString ProductAddress() const { return FProductAddress; }
  void SetProductAddress(const QString& address) { FProductAddress = address; }
  std::string ProductVersion() const { return FProductVersion; }
  void SetProductVersion(const std::string& version) {
    FProductVersion = ProductVersionText(version);
  }
  void SetTimeout(int milliseconds) { FTimeout = milliseconds; }

  // Starts one check and returns at once (false: nothing is ever downloaded); a call while a
  // check runs does nothing.
  bool RunUpdateCheck();
  bool Running() const { return FRunning; }
  const TUpdateTags& Tags() const { return FTags; }

  // A newer version was found: mayUpdate starts true and the handler may refuse.
  std::function<void(const std::string& current, bool& mayUpdate, const std::string& newVersion)>
      OnUpdateAvailable;
  // Before the component's own information window would show: the handler may refuse.
  std::function<void(bool& showInfo)> OnBeforeShowInfo;

signals:
  // The check has ended, whatever its outcome.
  void Finished();

private:
  void Fetch(const std::string& address);
  void ReadPiece();
  void PageRead();
  void Evaluate();
  void End();

  QString FInfoAddress;
  QString FProductAddress;
  std::string FProductVersion = "1.0.0.0";
  int FTimeout = DefaultTimeoutMs;
  QNetworkAccessManager* FNetwork = nullptr;
  QPointer<QNetworkReply> FReply;
  QByteArray FBody;
  bool FCut = false;
  TUpdateTags FTags;
  std::optional<TRedirections> FRedirections;
  bool FRunning = false;
};

} // namespace pellora
