#include "message_window/printing.h"

#include "platform/pellora_error.h"
#include "platform/safe_files.h"
#include "render/pdf_pages.h"

#include <QBuffer>
#include <QFile>
#include <QPageRanges>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>

#include <cups/cups.h>

#include <vector>

namespace pellora {
namespace {

// The pages the dialog asked for, from 1; all of them when it asked for none.
std::vector<int> ChosenPages(const QPrinter& printer, int count) {
  std::vector<int> pages;
  const QPageRanges ranges = printer.pageRanges();
  for (int p = 1; p <= count; ++p)
    if (ranges.isEmpty() || ranges.contains(p)) pages.push_back(p);
  return pages;
}

} // namespace

void PrintPdf(QPrinter& printer, const std::string& pdf, const std::string& jobTitle) {
  const int count = PdfPageCount(pdf);
  const std::vector<int> pages = ChosenPages(printer, count);
  if (pages.empty()) return;
  const std::string chosen = static_cast<int>(pages.size()) == count ? pdf : PdfWithPages(pdf, pages);
  if (printer.outputFormat() == QPrinter::PdfFormat) {
    WriteWholeFile(QFile::encodeName(printer.outputFileName()).toStdString(), chosen);
    return;
  }
  // The print system takes PDF as it is: the text stays text on its way to the printer.
  const std::string file = PrivateTempFolder() + "print.pdf";
  WriteFileNoFollow(file, chosen);
  cups_option_t* options = nullptr;
  int optionCount = 0;
  optionCount = cupsAddOption("copies", std::to_string(std::max(1, printer.copyCount())).c_str(),
                              optionCount, &options);
  optionCount = cupsAddOption("multiple-document-handling",
                              printer.collateCopies() ? "separate-documents-collated-copies"
                                                      : "separate-documents-uncollated-copies",
                              optionCount, &options);
  const char* sides = "one-sided";
  if (printer.duplex() == QPrinter::DuplexLongSide || printer.duplex() == QPrinter::DuplexAuto)
    sides = "two-sided-long-edge";
  else if (printer.duplex() == QPrinter::DuplexShortSide)
    sides = "two-sided-short-edge";
  optionCount = cupsAddOption("sides", sides, optionCount, &options);
  const QByteArray name = printer.printerName().toUtf8();
  const int job = cupsPrintFile(name.constData(), file.c_str(), jobTitle.c_str(), optionCount, options);
  cupsFreeOptions(optionCount, options);
  QFile::remove(QFile::decodeName(QByteArray::fromStdString(file)));
  if (job == 0)
    throw EPelloraError("Cannot print to \"" + name.toStdString() + "\". " + cupsLastErrorString());
}

void PaintPdfPages(QPrinter& printer, const std::string& pdf) {
  QBuffer buffer;
  buffer.setData(QByteArray::fromStdString(pdf));
  buffer.open(QIODevice::ReadOnly);
  QPdfDocument document;
  document.load(&buffer);
  printer.setFullPage(true);
  QPainter painter;
  if (document.pageCount() <= 0 || !painter.begin(&printer)) return;
  const QRectF page = printer.pageRect(QPrinter::DevicePixel);
  // A picture as sharp as a screen shows it.
  const double scale = std::min(1.0, 150.0 / printer.resolution());
  const std::vector<int> pages = ChosenPages(printer, document.pageCount());
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) printer.newPage();
    QSizeF target = document.pagePointSize(pages[i] - 1).scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRectF(page.topLeft(), target),
                      document.render(pages[i] - 1, (target * scale).toSize()));
  }
  painter.end();
}

} // namespace pellora
