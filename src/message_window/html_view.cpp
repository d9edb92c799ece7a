#include "message_window/html_view.h"

#include <QWebEnginePage>

namespace pellora {

THtmlView::THtmlView(QWidget* parent) : QWebEngineView(parent) {
  FHtml = new TMessageHtml(this);
  setPage(FHtml->Page());
  setContextMenuPolicy(Qt::CustomContextMenu); // the window shows its own menu
  connect(FHtml, &TMessageHtml::LinkActivated, this, &THtmlView::LinkActivated);
  connect(FHtml, &TMessageHtml::RemoteContentBlocked, this, &THtmlView::RemoteContentBlocked);
  connect(FHtml->Page(), &QWebEnginePage::linkHovered, this,
          [this](const QString& url) { emit LinkHovered(QUrl(url)); });
}

THtmlView::~THtmlView() {
  // The page and its profile go before the view's own teardown.
  setPage(nullptr);
  delete FHtml;
}

void THtmlView::Copy() { page()->triggerAction(QWebEnginePage::Copy); }

void THtmlView::SelectAll() { page()->triggerAction(QWebEnginePage::SelectAll); }

} // namespace pellora
