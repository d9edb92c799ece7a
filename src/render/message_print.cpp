#include "render/message_print.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "mime/mail_message.h"
#include "platform/qt_locale.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextLayout>

#include <algorithm>
#include <limits>

namespace pellora {
namespace {

QString Localized(const char* name) { return AnsiToQString(GetLocalizedText(name)); }

QString Recipients(const TMailRecipients& list) {
  QStringList names;
  for (int i = 0; i < list.Count(); ++i) names << AddressText(list.Name(i), list.Address(i));
  return names.join(", ");
}

// The lines text takes at width, each paragraph ('\n' apart) from a new line: words wrap whole, a
// word wider than the line anywhere. At most maxLines, the last of them ending in "…" when the
// text goes on.
QStringList WrapLines(const QString& text, const QFont& font, QPaintDevice* device, double width,
                      int maxLines = std::numeric_limits<int>::max()) {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  QStringList lines;
  for (const QString& paragraph : text.split('\n')) {
    const qsizetype before = lines.size();
    QTextLayout layout(paragraph, font, device);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      lines << paragraph.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    if (lines.size() == before) lines << QString(); // an empty line stays
    if (lines.size() > maxLines) {
      lines = lines.mid(0, maxLines);
      lines.back() = QFontMetricsF(font, device).elidedText(lines.back() + QChar(0x2026), Qt::ElideRight, width);
      if (!lines.back().endsWith(QChar(0x2026))) lines.back() += QChar(0x2026);
      break;
    }
  }
  return lines;
}

// Draws text wrapped to width with its top at at (a null painter only measures); returns its height.
double DrawWrapped(QPainter* painter, const QString& text, const QFont& font, QPaintDevice* device,
                   QPointF at, double width, int maxLines) {
  const QStringList lines = WrapLines(text, font, device, width, maxLines);
  const QFontMetricsF metrics(font, device);
  if (painter) {
    painter->setFont(font);
    for (int i = 0; i < lines.size(); ++i)
      painter->drawText(at + QPointF(0, i * metrics.lineSpacing() + metrics.ascent()), lines[i]);
  }
  return lines.size() * metrics.lineSpacing();
}

// A header block stays within a page: a long subject or list of recipients is cut short.
constexpr int SubjectLines = 3, RowLines = 8;

QFont Sized(QFont font, double points, bool bold = false) {
  font.setPointSizeF(points);
  font.setBold(bold);
  // Without ligatures: "fi" drawn as one glyph is found and copied as one odd character.
  font.setLetterSpacing(QFont::AbsoluteSpacing, 0.05); // nothing to see at a printer's resolution
  return font;
}

} // namespace

QString ByteSizeText(uint64_t bytes) {
  return AnsiToQString(FormatText(GetLocalizedText("lc_ByteSize"),
                                  {QStringToAnsi(FormatNumber0(static_cast<double>(bytes)))}));
}

QString AddressText(const std::string& name, const std::string& address) {
  if (name.empty()) return AnsiToQString(address);
  if (address.empty()) return AnsiToQString(name);
  return AnsiToQString(name) + " <" + AnsiToQString(address) + ">";
}

THeaderBlock MessageHeaderBlock(const TMailMessage& message) {
  THeaderBlock block;
  block.Subject = AnsiToQString(message.SubjectText());
  QString from = message.FromAddress().empty()
                     ? AddressText(message.ReplyToName(), message.ReplyToAddress())
                     : AddressText(message.FromName(), message.FromAddress());
  QStringList attachments;
  for (TMailPart* part : message.Attachments()) {
    QString name;
    try {
      name = AnsiToQString(part->AttachmentFileName());
    } catch (const std::exception&) {
      name = "?";
    }
    part->DecodeBody();
    attachments << name + " (" + ByteSizeText(part->DecodedBody().size()) + ")";
  }
  const std::pair<const char*, QString> rows[] = {
      {"lc_From", from},
      {"lc_To", Recipients(message.ToList())},
      {"lc_CC", Recipients(message.CcList())},
      {"lc_Date", FormatLongMessageDate(message.MessageDate())},
      {"lc_Attachments", attachments.join('\n')},
  };
  for (const auto& [label, value] : rows)
    if (!value.isEmpty()) block.Rows.push_back({Localized(label), value});
  return block;
}

QPageLayout MessagePageLayout(const QPageSize& size, QPageLayout::Orientation orientation) {
  return QPageLayout(size, orientation, QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}

QPageLayout DefaultPageLayout() {
  const bool inches = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
  return MessagePageLayout(QPageSize(inches ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait);
}

TPageFrame::TPageFrame(QPaintDevice* device, const QPageLayout& layout) : FDevice(device) {
  FUnitsPerPoint = device->logicalDpiY() / 72.0;
  const QRectF points = layout.fullRectPoints();
  const QMarginsF margins = layout.marginsPoints();
  FPage = QRectF(0, 0, points.width() * FUnitsPerPoint, points.height() * FUnitsPerPoint);
  QFont sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  sans.setStyleHint(QFont::SansSerif);
  FTextFont = Sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), 9.5);
  FSubjectFont = Sized(sans, 15, true);
  FLabelFont = Sized(sans, 9.5, true);
  FValueFont = Sized(sans, 9.5);
  FRunningFont = Sized(sans, 8);
  const QRectF content(margins.left() * FUnitsPerPoint, margins.top() * FUnitsPerPoint,
                       (points.width() - margins.left() - margins.right()) * FUnitsPerPoint,
                       (points.height() - margins.top() - margins.bottom()) * FUnitsPerPoint);
  FBody = content.adjusted(0, HeaderBandPoints() * FUnitsPerPoint, 0, 0);
}

double TPageFrame::HeaderBandPoints() const {
  return QFontMetricsF(FRunningFont, FDevice).height() / FUnitsPerPoint + 10;
}

double TPageFrame::LabelWidth(const THeaderBlock& block) const {
  QFontMetricsF metrics(FLabelFont, FDevice);
  double width = 0;
  for (const THeaderRow& row : block.Rows)
    width = std::max(width, metrics.horizontalAdvance(row.Label + ":"));
  return width + metrics.averageCharWidth() * 2;
}

double TPageFrame::HeaderBlockHeight(const THeaderBlock& block) const {
  return DrawBlock(nullptr, block);
}

double TPageFrame::DrawHeaderBlock(QPainter& painter, const THeaderBlock& block) const {
  const double height = HeaderBlockHeight(block);
  if (height == 0) return 0;
  // Over a page of the web engine the block stands on paper of its own.
  painter.fillRect(QRectF(FBody.left(), FBody.top(), FBody.width(), height), Qt::white);
  painter.setPen(Qt::black);
  DrawBlock(&painter, block);
  return height;
}

double TPageFrame::DrawBlock(QPainter* painter, const THeaderBlock& block) const {
  if (block.Subject.isEmpty() && block.Rows.empty()) return 0;
  const double labelWidth = LabelWidth(block);
  double y = FBody.top();
  y += DrawWrapped(painter, block.Subject, FSubjectFont, FDevice, {FBody.left(), y}, FBody.width(),
                   SubjectLines);
  y += 4 * FUnitsPerPoint;
  for (const THeaderRow& row : block.Rows) {
    DrawWrapped(painter, row.Label + ":", FLabelFont, FDevice, {FBody.left(), y}, labelWidth, 1);
    y += DrawWrapped(painter, row.Value, FValueFont, FDevice, {FBody.left() + labelWidth, y},
                     FBody.width() - labelWidth, RowLines);
  }
  y += 6 * FUnitsPerPoint;
  if (painter) {
    painter->setPen(QPen(QColor(120, 120, 120), 0.75 * FUnitsPerPoint));
    painter->drawLine(QPointF(FBody.left(), y), QPointF(FBody.right(), y));
    painter->setPen(Qt::black);
  }
  return y + 8 * FUnitsPerPoint - FBody.top(); // and the space after the rule
}

void TPageFrame::DrawRunningTexts(QPainter& painter, const TRunningTexts& texts, int page,
                                  int pages) const {
  painter.setFont(FRunningFont);
  painter.setPen(QColor(60, 60, 60));
  QFontMetricsF metrics(FRunningFont, FDevice);
  const double gap = metrics.averageCharWidth() * 3;
  // Two texts on one line: the right one whole, the left one cut to the room left.
  auto line = [&](double top, const QString& left, const QString& right) {
    const QRectF band(FBody.left(), top, FBody.width(), metrics.height());
    const double rightWidth = metrics.horizontalAdvance(right);
    const QString shown = metrics.elidedText(QString(left).replace(QRegularExpression("[\\r\\n\\t]+"), " "),
                                             Qt::ElideRight, band.width() - rightWidth - gap);
    painter.drawText(band, Qt::AlignLeft | Qt::AlignTop, shown);
    painter.drawText(band, Qt::AlignRight | Qt::AlignTop, right);
  };
  const double top = FBody.top() - HeaderBandPoints() * FUnitsPerPoint;
  line(top, texts.Subject, AnsiToQString(FormatText(GetLocalizedText("lc_PageOf"), {page, pages})));
  if (!texts.FooterLeft.isEmpty() || !texts.FooterRight.isEmpty())
    line(FBody.bottom() + 6 * FUnitsPerPoint, texts.FooterLeft, texts.FooterRight);
  const double rule = top + metrics.height() + 3 * FUnitsPerPoint;
  painter.setPen(QPen(QColor(160, 160, 160), 0.5 * FUnitsPerPoint));
  painter.drawLine(QPointF(FBody.left(), rule), QPointF(FBody.right(), rule));
  painter.setPen(Qt::black);
}

QStringList TPageFrame::WrapText(const QString& text) const {
  QStringList paragraphs = text.split(QRegularExpression("\r\n|\r|\n"));
  for (QString& paragraph : paragraphs)
    for (qsizetype tab = paragraph.indexOf('\t'); tab >= 0; tab = paragraph.indexOf('\t', tab))
      paragraph.replace(tab, 1, QString(8 - tab % 8, ' '));
  return WrapLines(paragraphs.join('\n'), FTextFont, FDevice, FBody.width());
}

namespace {

// A PDF writer into memory with the page layout and the title given.
struct TPdfTarget {
  QBuffer buffer;
  QPdfWriter writer;
  explicit TPdfTarget(const QPageLayout& layout, const QString& title) : writer(&buffer) {
    buffer.open(QIODevice::WriteOnly);
    writer.setPageLayout(layout);
    writer.setPageMargins(QMarginsF()); // the painter's origin at the paper's corner: the frame places itself
    writer.setTitle(title);
    writer.setCreator("Pellora");
  }
  std::string Bytes() const { return buffer.data().toStdString(); }
};

} // namespace

TFrameHeights FrameHeights(const THeaderBlock& block, const QPageLayout& layout) {
  TPdfTarget target(layout, {});
  TPageFrame frame(&target.writer, layout);
  return {frame.HeaderBandPoints(), frame.HeaderBlockHeight(block) / frame.Scale()};
}

std::string PlainTextPdf(const THeaderBlock& block, const TRunningTexts& running, const QString& text,
                         const QPageLayout& layout) {
  TPdfTarget target(layout, running.Subject);
  TPageFrame frame(&target.writer, layout);
  const QStringList lines = frame.WrapText(text);
  const double lineHeight = QFontMetricsF(frame.TextFont(), &target.writer).lineSpacing();
  const double blockHeight = frame.HeaderBlockHeight(block);
  // Pages first, so that each knows how many there are: the first line of each page.
  std::vector<int> pageStarts{0};
  double y = frame.Body().top() + blockHeight;
  for (int i = 0; i < lines.size(); ++i) {
    // A page takes lines while they fit, and at least one (the first page may have no room left
    // under its header block).
    if (y + lineHeight > frame.Body().bottom() && y > frame.Body().top()) {
      pageStarts.push_back(i);
      y = frame.Body().top();
    }
    y += lineHeight;
  }
  QPainter painter(&target.writer);
  const QFontMetricsF metrics(frame.TextFont(), &target.writer);
  const int pages = static_cast<int>(pageStarts.size());
  for (int p = 0; p < pages; ++p) {
    if (p > 0) target.writer.newPage();
    frame.DrawRunningTexts(painter, running, p + 1, pages);
    y = frame.Body().top();
    if (p == 0) y += frame.DrawHeaderBlock(painter, block);
    painter.setFont(frame.TextFont());
    const int end = p + 1 < pages ? pageStarts[p + 1] : static_cast<int>(lines.size());
    for (int i = pageStarts[p]; i < end; ++i) {
      painter.drawText(QPointF(frame.Body().left(), y + metrics.ascent()), lines[i]);
      y += lineHeight;
    }
  }
  painter.end();
  return target.Bytes();
}

std::string FramePdf(const THeaderBlock& block, const TRunningTexts& running, int pages,
                     const QPageLayout& layout) {
  TPdfTarget target(layout, running.Subject);
  TPageFrame frame(&target.writer, layout);
  QPainter painter(&target.writer);
  for (int p = 0; p < pages; ++p) {
    if (p > 0) target.writer.newPage();
    frame.DrawRunningTexts(painter, running, p + 1, pages);
    if (p == 0) frame.DrawHeaderBlock(painter, block);
  }
  painter.end();
  return target.Bytes();
}

} // namespace pellora
