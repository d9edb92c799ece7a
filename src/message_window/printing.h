#pragma once
// Printing of the message window: texts with the text printing settings, and the HTML view's
// pages with their header and footer.
#include <QByteArray>
#include <QFont>
#include <QString>

class QPrinter;

namespace pellora {

struct TTextPrintSettings {
  // Millimetres.
  double left = 25, right = 15, top = 25, bottom = 25, header = 15, footer = 15;
  bool lineNumbers = true;
  int tabWidth = 8;
};

// Prints text (lines wrapped to the page) with the editor's font; line numbers in the left margin.
void PrintText(QPrinter& printer, const QString& text, const QFont& font,
               const TTextPrintSettings& settings = {});

// Prints the pages of a PDF rendering of the HTML document, each under a header (title, then
// right-aligned "Page p of P") and over a footer (address, then right-aligned date).
void PrintHtmlPages(QPrinter& printer, const QByteArray& pdf, const QString& title,
                    const QString& address, const QString& date);

} // namespace pellora
