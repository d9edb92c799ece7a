#pragma once
// The HTML view of a message: shows the page of a TMessageHtml (offline, no remote requests unless
// images are allowed, no navigation, no new windows); a link the user clicks is handed to the
// window (LinkActivated), which may open it elsewhere.
#include "render/message_html.h"

#include <QByteArray>
#include <QWebEngineView>

namespace pellora {

class THtmlView : public QWebEngineView {
  Q_OBJECT
public:
  explicit THtmlView(QWidget* parent = nullptr);
  ~THtmlView() override;

  // The schemes must be known before the application object exists.
  static void RegisterSchemes() { TMessageHtml::RegisterSchemes(); }

  // Renders html (UTF-8) as the view's document.
  void SetDocument(const QByteArray& html) { FHtml->SetDocument(html); }
  const QByteArray& Document() const { return FHtml->Document(); }
  void SetImagesAllowed(bool allowed) { FHtml->SetImagesAllowed(allowed); }
  bool ImagesAllowed() const { return FHtml->ImagesAllowed(); }
  void SetCidResolver(TCidResolver resolver) { FHtml->SetCidResolver(std::move(resolver)); }

  void Copy();
  void SelectAll();
  // Requests refused so far: navigations and new windows (for the window's own checks).
  int RefusedNavigations() const { return FHtml->RefusedNavigations(); }

signals:
  // The user clicked a link (in this view or one that would open a new window).
  void LinkActivated(const QUrl& url);
  // The mouse came onto a link, or left it (an empty address).
  void LinkHovered(const QUrl& url);
  // The document asked for remote content that was not loaded (once per rendering).
  void RemoteContentBlocked();

private:
  TMessageHtml* FHtml = nullptr;
};

} // namespace pellora
