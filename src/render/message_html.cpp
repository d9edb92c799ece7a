#include "render/message_html.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include <cstdlib>
#include <unistd.h>

namespace pellora {
namespace {
const QByteArray documentScheme = "pellora-body";
const QByteArray cidScheme = "cid";
} // namespace

// Lets through the page's own schemes; remote addresses only for images, and only when allowed.
// Runs on the user-interface thread.
class TRemoteRequestFilter : public QWebEngineUrlRequestInterceptor {
public:
  explicit TRemoteRequestFilter(TMessageHtml* html)
      : QWebEngineUrlRequestInterceptor(html), FHtml(html) {}
  bool FImagesAllowed = false;
  bool FBlockedRemote = false; // in the rendering on view

  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QString scheme = info.requestUrl().scheme();
    if (scheme == documentScheme || scheme == cidScheme || scheme == "data" || scheme == "about")
      return;
    const bool remote = scheme == "http" || scheme == "https";
    bool remoteImage = FImagesAllowed && remote &&
                       info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeImage;
    if (remoteImage) return;
    info.block(true);
    // What "Download images" would bring: remote content the user may want.
    if (remote && !FImagesAllowed && !FBlockedRemote) {
      FBlockedRemote = true;
      QMetaObject::invokeMethod(FHtml, &TMessageHtml::RemoteContentBlocked, Qt::QueuedConnection);
    }
  }

private:
  TMessageHtml* FHtml;
};

namespace {

// A page that only catches the address of a link meant for a new window, hands it on and goes.
class TLinkCatcher : public QWebEnginePage {
public:
  TLinkCatcher(QWebEngineProfile* profile, TMessageHtml* html)
      : QWebEnginePage(profile, html), FHtml(html) {}

protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
    if (!FDone) {
      FDone = true;
      emit FHtml->LinkActivated(url);
      deleteLater();
    }
    return false;
  }

private:
  TMessageHtml* FHtml;
  bool FDone = false;
};

} // namespace

class TMessageWebPage : public QWebEnginePage {
public:
  TMessageWebPage(QWebEngineProfile* profile, TMessageHtml* html)
      : QWebEnginePage(profile, html), FHtml(html) {}
  QUrl FDocumentUrl;
  int FRefused = 0;

protected:
  // Only the document's own load; a clicked link is handed on, the page stays.
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    if (isMainFrame && url == FDocumentUrl) return true;
    if (!isMainFrame && (url.scheme() == "about" || url.scheme() == "data")) return true;
    ++FRefused;
    if (type == NavigationTypeLinkClicked) emit FHtml->LinkActivated(url);
    return false;
  }
  // A link that would open a new window: its address comes to a page of its own first.
  QWebEnginePage* createWindow(WebWindowType) override {
    ++FRefused;
    return new TLinkCatcher(profile(), FHtml);
  }

private:
  TMessageHtml* FHtml;
};

// Serves the document itself (any size) and the message's inline parts.
class TDocumentSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
  explicit TDocumentSchemeHandler(TMessageHtml* html)
      : QWebEngineUrlSchemeHandler(html), FHtml(html) {}

  void requestStarted(QWebEngineUrlRequestJob* job) override {
    const QUrl url = job->requestUrl();
    QByteArray type, data;
    if (url.scheme() == documentScheme) {
      type = "text/html;charset=utf-8"; // the document is handed over as UTF-8
      data = FHtml->FDocument;
    } else {
      QString id = url.path();
      if (id.startsWith('<') && id.endsWith('>')) id = id.mid(1, id.size() - 2);
      std::optional<TInlineResource> part;
      try {
        if (FHtml->FCidResolver) part = FHtml->FCidResolver(QUrl::fromPercentEncoding(id.toUtf8()));
      } catch (const std::exception&) {
        part.reset(); // a part that cannot be decoded is not there
      }
      if (!part) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
      }
      type = part->contentType.isEmpty() ? "application/octet-stream" : part->contentType;
      data = part->data;
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(data);
    job->reply(type, buffer);
  }

private:
  TMessageHtml* FHtml;
};

void TMessageHtml::RegisterSchemes() {
  QWebEngineUrlScheme document(documentScheme);
  document.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  document.setFlags(QWebEngineUrlScheme::LocalAccessAllowed);
  QWebEngineUrlScheme::registerScheme(document);
  QWebEngineUrlScheme cid(cidScheme);
  cid.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  cid.setFlags({});
  QWebEngineUrlScheme::registerScheme(cid);
}

void TMessageHtml::PrepareApplication() {
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

TMessageHtml::TMessageHtml(QObject* parent) : QObject(parent) {
  FProfile = new QWebEngineProfile(this); // off the record: nothing written to disk
  FProfile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  FProfile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  FFilter = new TRemoteRequestFilter(this);
  FProfile->setUrlRequestInterceptor(FFilter);
  FHandler = new TDocumentSchemeHandler(this);
  FProfile->installUrlSchemeHandler(documentScheme, FHandler);
  FProfile->installUrlSchemeHandler(cidScheme, FHandler);

  FPage = new TMessageWebPage(FProfile, this);
  QWebEngineSettings* s = FPage->settings();
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
  s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
  s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
  s->setAttribute(QWebEngineSettings::AutoLoadImages, true); // inline parts; remote ones are filtered
}

TMessageHtml::~TMessageHtml() {
  // The pages must go before their profile, and the profile before the rest: left to the
  // children's order, it went after them and corrupted the heap when a page was closed while
  // its document still loaded.
  delete FPage;
  qDeleteAll(findChildren<QWebEnginePage*>(Qt::FindDirectChildrenOnly)); // link catchers
  delete FProfile;
}

QWebEnginePage* TMessageHtml::Page() const { return FPage; }

void TMessageHtml::SetDocument(const QByteArray& html) {
  FDocument = html;
  // A new address per rendering, so nothing comes from the cache.
  FPage->FDocumentUrl = QUrl(QString("%1:document/%2").arg(QString::fromLatin1(documentScheme)).arg(++FDocumentNumber));
  FFilter->FBlockedRemote = false;
  FPage->load(FPage->FDocumentUrl);
}

void TMessageHtml::SetImagesAllowed(bool allowed) {
  FImagesAllowed = allowed;
  FFilter->FImagesAllowed = allowed;
}

int TMessageHtml::RefusedNavigations() const { return FPage->FRefused; }

} // namespace pellora
