#pragma once
// The HTML view of a message: renders an HTML text offline. JavaScript is off, no remote request
// of any kind leaves the view unless images are allowed (then images only), every navigation but
// the document's own load is refused and no new window opens: a link the user clicks is handed
// to the window (LinkActivated), which may open it elsewhere. cid: addresses are answered from
// the message's own parts.
#include <QByteArray>
#include <QWebEngineView>

#include <functional>
#include <optional>

class QWebEngineProfile;

namespace pellora {

class THtmlPage;
class TRemoteRequestFilter;
class TDocumentSchemeHandler;

struct TInlineResource {
  QByteArray contentType;
  QByteArray data;
};
// Finds a part by its Content-ID (without "cid:" and angle brackets).
using TCidResolver = std::function<std::optional<TInlineResource>(const QString& contentId)>;

class THtmlView : public QWebEngineView {
  Q_OBJECT
public:
  explicit THtmlView(QWidget* parent = nullptr);
  ~THtmlView() override;

  // The schemes must be known before the application object exists.
  static void RegisterSchemes();

  // Renders html (UTF-8) as the view's document.
  void SetDocument(const QByteArray& html);
  const QByteArray& Document() const { return FDocument; }
  void SetImagesAllowed(bool allowed);
  bool ImagesAllowed() const { return FImagesAllowed; }
  void SetCidResolver(TCidResolver resolver) { FCidResolver = std::move(resolver); }

  void Copy();
  void SelectAll();
  // Requests refused so far: navigations and new windows (for the window's own checks).
  int RefusedNavigations() const;

signals:
  // The user clicked a link (in this view or one that would open a new window).
  void LinkActivated(const QUrl& url);
  // The mouse came onto a link, or left it (an empty address).
  void LinkHovered(const QUrl& url);
  // The document asked for remote content that was not loaded (once per rendering).
  void RemoteContentBlocked();

private:
  friend class TDocumentSchemeHandler;
  friend class THtmlPage;
  friend class TRemoteRequestFilter;
  QWebEngineProfile* FProfile = nullptr;
  THtmlPage* FPage = nullptr;
  TRemoteRequestFilter* FFilter = nullptr;
  TDocumentSchemeHandler* FHandler = nullptr;
  QByteArray FDocument;
  bool FImagesAllowed = false;
  TCidResolver FCidResolver;
  int FDocumentNumber = 0;
};

} // namespace pellora
