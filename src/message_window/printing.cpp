#include "message_window/printing.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextLayout>

namespace pellora {
namespace {

double MmToDevice(const QPrinter& printer, double mm) { return mm / 25.4 * printer.resolution(); }

} // namespace

void PrintText(QPrinter& printer, const QString& text, const QFont& font,
               const TTextPrintSettings& settings) {
  printer.setCopyCount(1);
  printer.setFullPage(true);
  QPainter painter;
  if (!painter.begin(&printer)) return;
  QFont printFont(font, &printer);
  painter.setFont(printFont);
  QFontMetricsF metrics(printFont, &printer);
  const QRectF page = printer.pageRect(QPrinter::DevicePixel);
  const double left = MmToDevice(printer, settings.left);
  const double right = page.width() - MmToDevice(printer, settings.right);
  const double top = MmToDevice(printer, settings.top);
  const double bottom = page.height() - MmToDevice(printer, settings.bottom);
  const QStringList lines = text.split(QRegularExpression("\r\n|\r|\n"));
  const int digits = static_cast<int>(QString::number(lines.size()).size());
  const double numberWidth = settings.lineNumbers ? metrics.horizontalAdvance(QString(digits + 1, '0')) : 0;
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  option.setTabStopDistance(metrics.horizontalAdvance(' ') * settings.tabWidth);

  double y = top;
  for (int i = 0; i < lines.size(); ++i) {
    QTextLayout layout(lines[i], printFont, &printer);
    layout.setTextOption(option);
    layout.beginLayout();
    double height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(right - left);
      line.setPosition(QPointF(0, height));
      height += line.height();
    }
    layout.endLayout();
    height = std::max(height, metrics.height());
    if (y + height > bottom && y > top) {
      printer.newPage();
      y = top;
    }
    if (settings.lineNumbers)
      painter.drawText(QRectF(left - numberWidth - metrics.horizontalAdvance(' '), y, numberWidth,
                              metrics.height()),
                       Qt::AlignRight, QString::number(i + 1));
    layout.draw(&painter, QPointF(left, y));
    y += height;
  }
  painter.end();
}

void PrintHtmlPages(QPrinter& printer, const QByteArray& pdf, const QString& title,
                    const QString& address, const QString& date) {
  QBuffer buffer;
  buffer.setData(pdf);
  buffer.open(QIODevice::ReadOnly);
  QPdfDocument document;
  document.load(&buffer);
  const int count = document.pageCount();
  printer.setFullPage(true);
  QPainter painter;
  if (count <= 0 || !painter.begin(&printer)) return;
  const QRectF page = printer.pageRect(QPrinter::DevicePixel);
  const double margin = MmToDevice(printer, 10);
  QFont font("Sans Serif", 9);
  painter.setFont(QFont(font, &printer));
  const double band = QFontMetricsF(painter.font()).height() * 1.6;
  const QRectF body(margin, margin + band, page.width() - 2 * margin,
                    page.height() - 2 * margin - 2 * band);
  for (int p = 0; p < count; ++p) {
    if (p > 0) printer.newPage();
    const QRectF header(margin, margin, body.width(), band);
    const QRectF footer(margin, body.bottom(), body.width(), band);
    painter.drawText(header, Qt::AlignLeft | Qt::AlignTop, title);
    painter.drawText(header, Qt::AlignRight | Qt::AlignTop, QString("Page %1 of %2").arg(p + 1).arg(count));
    painter.drawText(footer, Qt::AlignLeft | Qt::AlignBottom, address);
    painter.drawText(footer, Qt::AlignRight | Qt::AlignBottom, date);
    QSizeF points = document.pagePointSize(p);
    QSizeF target = points.scaled(body.size(), Qt::KeepAspectRatio);
    // About 200 dots per inch is sharp on paper and keeps a page image small.
    const double scale = std::min(1.0, 200.0 / printer.resolution());
    QImage image = document.render(p, (target * scale).toSize());
    painter.drawImage(QRectF(body.topLeft(), target), image);
  }
  painter.end();
}

} // namespace pellora
