#pragma once
// Messages as PDF, with or without a window (the offscreen platform serves): the header block and
// the shown text, framed by the subject and the page numbers. Plain text is laid out here; HTML
// is printed by the web engine (as text, never as an image), which starts with the first HTML
// message and serves every message after it.
#include "export/message_export.h"
#include "render/message_print.h"
#include "render/pdf_pages.h"

#include <QObject>
#include <QPageLayout>

#include <string>

namespace pellora {

class TMailMessage;
class TMessageHtml;

enum TPdfBody {
  pbShown,  // the HTML body when there is one, else the plain text: what a reader sees
  pbPlain,  // the plain text (the text the HTML shows when there is no text body)
  pbHtml,   // the HTML tab's document (the plain text rendered as HTML when there is no HTML)
  pbSource, // the message as stored, without a header block
};

struct TPdfOptions {
  QPageLayout Layout = DefaultPageLayout();
  TPdfBody Body = pbShown;
  bool RemoteImages = false; // as "Download images" allows them
  // At the foot of every page when given: where the message came from, the day it was printed.
  QString FooterLeft, FooterRight;
};

class TMessagePdfRenderer : public QObject {
  Q_OBJECT
public:
  explicit TMessagePdfRenderer(QObject* parent = nullptr);
  ~TMessagePdfRenderer() override;

  // The message's PDF. FindBodies must have run. Raises EPelloraError when the web engine gives
  // no PDF. Runs the event loop while the web engine works.
  std::string Render(TMailMessage& message, const TPdfOptions& options = {});
  // How long the web engine may take to load a document before what it has is printed.
  void SetLoadTimeout(int milliseconds) { FLoadTimeout = milliseconds; }

private:
  std::string HtmlPdf(TMailMessage& message, const QByteArray& document, const QPageLayout& layout,
                      bool remoteImages);

  TMessageHtml* FHtml = nullptr;
  int FLoadTimeout = 30000;
  bool FRendering = false;
};

// The PDFs of an export: one renderer, and so one start of the web engine, for all its messages,
// each with the header block and at its foot where it came from and the day; and the book the
// one-file export joins them in, titled title (UTF-8).
class TExportPdfMaker : public TPdfMaker {
public:
  explicit TExportPdfMaker(std::string title) : FTitle(std::move(title)) {}
  std::string MessagePdf(TMailMessage& message, const std::string& origin) override;
  void AddToBook(const std::string& pdf, const TMailMessage& message) override;
  void WriteBook(const TByteSink& sink) override;

private:
  TMessagePdfRenderer FRenderer;
  TPdfBook FBook;
  std::string FTitle;
  QString FToday;
};

// The bookmark of a message in a PDF of many: "date, sender, subject" (UTF-8), the date as
// YYYY-MM-DD HH:MM.
std::string MessageBookmark(const TMailMessage& message);

} // namespace pellora
