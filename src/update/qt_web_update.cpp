#include "update/qt_web_update.h"

#include "window_kit/error_report.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#ifndef PELLORA_UPDATE_URL
#define PELLORA_UPDATE_URL ""
#endif
#ifndef PELLORA_PRODUCT_URL
#define PELLORA_PRODUCT_URL ""
#endif

namespace pellora {

TWebUpdate::TWebUpdate(QObject* parent)
    : QObject(parent), FInfoAddress(PELLORA_UPDATE_URL), FProductAddress(PELLORA_PRODUCT_URL) {
  setObjectName("WebUpdate");
  // The captions of the component's own information window, which this program never shows.
  auto* captions = new QObject(this);
  captions->setObjectName("InfoCaption");
  captions->setProperty("OkButton", QString("&OK"));
  captions->setProperty("CancelButton", QString("&Cancel"));
  captions->setProperty("CheckForUpdate", QString("Check For Update"));
}

bool TWebUpdate::RunUpdateCheck() {
  // No address, no request: a viewer of private mail does not call home unless built to.
  if (FRunning || FInfoAddress.isEmpty()) return false;
  FRunning = true;
  std::string first = ResolveUpdateAddress(FInfoAddress.toStdString(), FInfoAddress.toStdString());
  FRedirections.emplace(first);
  Fetch(first);
  return false;
}

void TWebUpdate::Fetch(const std::string& address) {
  FTags = {};
  FBody.clear();
  FCut = false;
  if (!FNetwork) FNetwork = new QNetworkAccessManager(this);
  QNetworkRequest request(QUrl(QString::fromStdString(address)));
  request.setHeader(QNetworkRequest::UserAgentHeader, "PelloraWebUpdate");
  request.setRawHeader("Accept", "*/*");
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setMaximumRedirectsAllowed(TRedirections::MaxRedirections);
  request.setTransferTimeout(FTimeout);
  FReply = FNetwork->get(request);
  connect(FReply, &QNetworkReply::readyRead, this, Guarded([this] { ReadPiece(); }));
  // The page is read and the question asked here, in a handler of its own.
  connect(FReply, &QNetworkReply::finished, this, Guarded([this] { PageRead(); }));
}

void TWebUpdate::ReadPiece() {
  if (!FReply || FCut) return;
  FBody += FReply->read(MaxPageBytes - FBody.size());
  if (FBody.size() >= MaxPageBytes) {
    // What came so far is read; the rest is not waited for.
    FCut = true;
    FReply->abort();
  }
}

void TWebUpdate::PageRead() {
  QNetworkReply* reply = FReply;
  if (!reply) return;
  ReadPiece();
  int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  bool ok = (reply->error() == QNetworkReply::NoError || FCut) && status < 400 && !FBody.isEmpty();
  reply->deleteLater();
  FReply = nullptr;
  // A failed fetch ends the check silently.
  if (!ok) return End();
  ReadUpdateTags(std::string_view(FBody.constData(), static_cast<size_t>(FBody.size())), FTags);
  if (!FTags.redirection.empty()) {
    std::string next = FRedirections->Next(FTags.redirection);
    if (!next.empty()) return Fetch(next);
  }
  Evaluate();
}

void TWebUpdate::Evaluate() {
  if (!FTags.productName.empty() && !FTags.version.empty() &&
      IsNewerVersion(FProductVersion, FTags.version)) {
    bool mayUpdate = true;
    if (OnUpdateAvailable) OnUpdateAvailable(FProductVersion, mayUpdate, FTags.version);
    bool showInfo = mayUpdate;
    if (showInfo && OnBeforeShowInfo) OnBeforeShowInfo(showInfo);
    // There is no information window and no download here, whatever the handlers said.
  }
  End();
}

void TWebUpdate::End() {
  FRunning = false;
  emit Finished();
}

} // namespace pellora
