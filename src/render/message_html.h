#pragma once
// A message's HTML rendered offline, with or without a view: JavaScript is off, no remote request
// of any kind leaves the page unless images are allowed (then images only), every navigation but
// the document's own load is refused and no new window opens: a link the user clicks is handed
// on (LinkActivated). cid: addresses are answered from the message's own parts.
#include <QByteArray>
#include <QObject>

#include <functional>
#include <optional>

class QUrl;
class QWebEngineProfile;
class QWebEnginePage;

namespace pellora {

class TMessageWebPage;
class TRemoteRequestFilter;
class TDocumentSchemeHandler;

struct TInlineResource {
  QByteArray contentType;
  QByteArray data;
};
// Finds a part by its Content-ID (without "cid:" and angle brackets).
using TCidResolver = std::function<std::optional<TInlineResource>(const QString& contentId)>;

// One page in a profile of its own (off the record: nothing is written to disk). The page goes
// before its profile when this object goes.
class TMessageHtml : public QObject {
  Q_OBJECT
public:
  explicit TMessageHtml(QObject* parent = nullptr);
  ~TMessageHtml() override;

  // The schemes must be known before the application object exists.
  static void RegisterSchemes();
  // What a program that renders without a view does before its application object exists: the
  // schemes, the contexts the web engine shares, and no sandbox for root (it refuses to run as
  // root; it stays on for everyone else).
  static void PrepareApplication();

  QWebEnginePage* Page() const;
  // Renders html (UTF-8) as the page's document.
  void SetDocument(const QByteArray& html);
  const QByteArray& Document() const { return FDocument; }
  void SetImagesAllowed(bool allowed);
  bool ImagesAllowed() const { return FImagesAllowed; }
  void SetCidResolver(TCidResolver resolver) { FCidResolver = std::move(resolver); }
  // Requests refused so far: navigations and new windows.
  int RefusedNavigations() const;

signals:
  // The user clicked a link (in this page or one that would open a new window).
  void LinkActivated(const QUrl& url);
  // The document asked for remote content that was not loaded (once per rendering).
  void RemoteContentBlocked();

private:
  friend class TDocumentSchemeHandler;
  friend class TMessageWebPage;
  friend class TRemoteRequestFilter;
  QWebEngineProfile* FProfile = nullptr;
  TMessageWebPage* FPage = nullptr;
  TRemoteRequestFilter* FFilter = nullptr;
  TDocumentSchemeHandler* FHandler = nullptr;
  QByteArray FDocument;
  bool FImagesAllowed = false;
  TCidResolver FCidResolver;
  int FDocumentNumber = 0;
};

} // namespace pellora
