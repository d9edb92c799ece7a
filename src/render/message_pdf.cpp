#include "render/message_pdf.h"

#include "export/message_export.h"
#include "mime/mail_message.h"
#include "platform/codepage.h"
#include "platform/pellora_error.h"
#include "platform/qt_locale.h"
#include "render/message_html.h"
#include "render/pdf_pages.h"

#include <QDate>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>
#include <QWebEnginePage>

#include <cctype>
#include <cstdio>
#include <memory>

namespace pellora {
namespace {

// The web engine draws a CSS pixel as 3/4 point where it need not shrink a page.
constexpr double PointsPerCssPixel = 0.75;

QString Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += '\n';
    text += lines[i];
  }
  return AnsiToQString(text);
}

// Room at the top of the first page for the header block: an empty block before the document's
// own content, whatever the document's styles say. It comes after a document type declaration,
// which must stay first for the document to be laid out as the view lays it out.
QByteArray WithRoomAtTop(const std::string& document, double points) {
  char spacer[256];
  std::snprintf(spacer, sizeof spacer,
                "<div style=\"all: initial !important; display: block !important; "
                "height: %.2fpt !important; margin: 0 !important\"></div>",
                points);
  QByteArray html = QByteArray::fromStdString(AnsiToUtf8(document));
  qsizetype at = 0;
  while (at < html.size() && std::isspace(static_cast<unsigned char>(html[at]))) ++at;
  if (html.mid(at, 9).toLower() == "<!doctype") {
    const qsizetype end = html.indexOf('>', at);
    at = end < 0 ? html.size() : end + 1;
  } else {
    at = 0;
  }
  return html.insert(at, spacer);
}

} // namespace

TMessagePdfRenderer::TMessagePdfRenderer(QObject* parent) : QObject(parent) {}

TMessagePdfRenderer::~TMessagePdfRenderer() = default;

std::string TMessagePdfRenderer::Render(TMailMessage& message, const TPdfOptions& options) {
  // The web engine's page serves one message at a time; the event loop runs while it works.
  if (FRendering) throw EPelloraError("A PDF is being made already.");
  FRendering = true;
  struct TDone {
    bool& flag;
    ~TDone() { flag = false; }
  } done{FRendering};
  const TRunningTexts running{AnsiToQString(message.SubjectText()), options.FooterLeft,
                              options.FooterRight};
  if (options.Body == pbSource) {
    QString source = AnsiToQString(UndeclaredToAnsi(message.SourceText()));
    source.replace(QChar(0), QChar(QChar::ReplacementCharacter));
    return PlainTextPdf({}, running, source, options.Layout);
  }
  const THeaderBlock block = MessageHeaderBlock(message);
  const bool html = options.Body == pbHtml ||
                    (options.Body == pbShown && message.HtmlPart() != nullptr);
  if (!html) return PlainTextPdf(block, running, Joined(message.PlainViewLines()), options.Layout);

  const TFrameHeights heights = FrameHeights(block, options.Layout);
  const double reserve = heights.Block;
  // The engine prints into the frame's text part: the margins less the running header.
  QPageLayout bodyLayout = options.Layout;
  bodyLayout.setUnits(QPageLayout::Point);
  QMarginsF margins = bodyLayout.margins();
  margins.setTop(margins.top() + heights.Band);
  bodyLayout.setMargins(margins);
  const std::string document = message.HtmlViewDocument();
  std::string body = HtmlPdf(message, WithRoomAtTop(document, reserve), bodyLayout, options.RemoteImages);
  // A page too wide for the paper is shrunk to fit, the room at the top with it: made that much
  // larger, it is as high as the header block again.
  const double shrink = PdfFirstTextScale(body) / PointsPerCssPixel;
  if (reserve > 0 && shrink < 0.99 && shrink > 0.2)
    body = HtmlPdf(message, WithRoomAtTop(document, reserve / shrink), bodyLayout, options.RemoteImages);
  const int pages = PdfPageCount(body);
  return OverlayPdf(body, FramePdf(block, running, pages, options.Layout),
                    AnsiToUtf8(message.SubjectText()));
}

std::string TMessagePdfRenderer::HtmlPdf(TMailMessage& message, const QByteArray& document,
                                         const QPageLayout& layout, bool remoteImages) {
  if (!FHtml) FHtml = new TMessageHtml(this);
  FHtml->SetCidResolver([&message](const QString& id) -> std::optional<TInlineResource> {
    TMailPart* part = message.ContentIdPart(QStringToAnsi(id));
    if (!part) return std::nullopt;
    part->DecodeBody();
    return TInlineResource{QByteArray::fromStdString(part->MimeType()),
                           QByteArray::fromStdString(part->DecodedBody())};
  });
  FHtml->SetImagesAllowed(remoteImages);
  QWebEnginePage* page = FHtml->Page();
  // The callbacks may come after an error left this function: they hold their own state.
  struct TState {
    QEventLoop loop;
    QByteArray pdf;
    bool done = false;
  };
  auto state = std::make_shared<TState>();
  QMetaObject::Connection loaded =
      connect(page, &QWebEnginePage::loadFinished, &state->loop, [state] { state->loop.quit(); });
  QTimer timeout;
  timeout.setSingleShot(true);
  connect(&timeout, &QTimer::timeout, page, [page, state] {
    page->triggerAction(QWebEnginePage::Stop);
    state->loop.quit(); // what has come is printed
  });
  timeout.start(FLoadTimeout);
  FHtml->SetDocument(document);
  state->loop.exec();
  disconnect(loaded);
  timeout.stop();
  page->printToPdf(
      [state](const QByteArray& pdf) {
        state->pdf = pdf;
        state->done = true;
        state->loop.quit();
      },
      layout);
  if (!state->done) state->loop.exec();
  FHtml->SetCidResolver({}); // the message may go now
  if (state->pdf.isEmpty()) throw EPelloraError("The web engine made no PDF of the message.");
  return state->pdf.toStdString();
}

std::string TExportPdfMaker::MessagePdf(TMailMessage& message, const std::string& origin) {
  if (FToday.isEmpty()) FToday = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
  TPdfOptions options;
  options.FooterLeft = AnsiToQString(origin);
  options.FooterRight = FToday;
  return FRenderer.Render(message, options);
}

void TExportPdfMaker::AddToBook(const std::string& pdf, const TMailMessage& message) {
  FBook.Add(pdf, MessageBookmark(message));
}

void TExportPdfMaker::WriteBook(const TByteSink& sink) { FBook.Write(sink, FTitle); }

std::string MessageBookmark(const TMailMessage& message) {
  std::string date;
  if (const TDateTime when = message.MessageDate(); when != 0)
    date = FormatIsoDateTime(when).substr(0, 16);
  if (date.size() > 10) date[10] = ' ';
  std::string sender = message.FromName().empty() ? message.FromAddress() : message.FromName();
  std::string mark;
  for (const std::string& piece : {date, AnsiToUtf8(sender), AnsiToUtf8(message.SubjectText())}) {
    if (piece.empty()) continue;
    if (!mark.empty()) mark += ", ";
    mark += piece;
  }
  return mark;
}

} // namespace pellora
