#pragma once
// A message on pages: the header block above its text, the subject and the page number at the
// top of every page. Drawn with a QPainter on a PDF writer; the HTML body's pages come from the
// web engine and get the same frame drawn over them.
#include <QFont>
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

class QPainter;
class QPaintDevice;
class QPdfWriter;

namespace pellora {

class TMailMessage;

struct THeaderRow {
  QString Label; // "From", "To", ... in the language on view
  QString Value; // may hold line breaks (one attachment a line)
};

// The texts of every page: the subject at the top, and at the foot, when given, where the message
// came from and the day it was printed.
struct TRunningTexts {
  QString Subject;
  QString FooterLeft, FooterRight;
};

// What stands above a printed message: its subject, then From, To, CC, Date and the
// attachments (rows without a value are left out).
struct THeaderBlock {
  QString Subject;
  std::vector<THeaderRow> Rows;
};
THeaderBlock MessageHeaderBlock(const TMailMessage& message);

// "12,345 B": the number in the locale's way, the unit in the language's words.
QString ByteSizeText(uint64_t bytes);
// "Name <address>", the name or the address alone when the other is missing.
QString AddressText(const std::string& name, const std::string& address);

// The paper with margins of 15 mm.
QPageLayout MessagePageLayout(const QPageSize& size, QPageLayout::Orientation orientation);
// The paper in the user's measure: Letter where the locale measures in inches, else A4, upright.
QPageLayout DefaultPageLayout();

// The geometry and fonts of printed pages on one device, in its units.
class TPageFrame {
public:
  TPageFrame(QPaintDevice* device, const QPageLayout& layout);

  // The whole page and the part the text takes below the running header.
  QRectF Page() const { return FPage; }
  QRectF Body() const { return FBody; }
  // Points of paper at the top of the text part that the running header takes.
  double HeaderBandPoints() const;
  double Scale() const { return FUnitsPerPoint; }
  const QFont& TextFont() const { return FTextFont; }

  // The header block's height at the top of the text part.
  double HeaderBlockHeight(const THeaderBlock& block) const;
  // Draws the header block at the top of the text part; returns its height.
  double DrawHeaderBlock(QPainter& painter, const THeaderBlock& block) const;
  // The subject on the left and "Page p of P" on the right, over a thin line; the footer texts
  // left and right in the bottom margin.
  void DrawRunningTexts(QPainter& painter, const TRunningTexts& texts, int page, int pages) const;

  // Plain text as lines of the page width: long lines wrap at word boundaries (anywhere in a
  // word wider than the page), tabs stop every eight characters, empty lines stay.
  QStringList WrapText(const QString& text) const;

private:
  double LabelWidth(const THeaderBlock& block) const;
  // Draws the header block (a null painter only measures); returns its height.
  double DrawBlock(QPainter* painter, const THeaderBlock& block) const;

  QPaintDevice* FDevice;
  double FUnitsPerPoint;
  QRectF FPage, FBody;
  QFont FTextFont, FSubjectFont, FLabelFont, FValueFont, FRunningFont;
};

// Points of paper the running header and the header block take at the top of the first page.
struct TFrameHeights {
  double Band = 0, Block = 0;
};
TFrameHeights FrameHeights(const THeaderBlock& block, const QPageLayout& layout);

// A PDF of text pages: the header block (unless empty) and the text, framed. Page size, margins
// and the title come from the arguments; the text is laid out in the fixed-width font.
std::string PlainTextPdf(const THeaderBlock& block, const TRunningTexts& running, const QString& text,
                         const QPageLayout& layout);
// A PDF of frames only, one page per page of an HTML body: the running header on each, the
// header block on the first.
std::string FramePdf(const THeaderBlock& block, const TRunningTexts& running, int pages,
                     const QPageLayout& layout);

} // namespace pellora
