#pragma once
// A message's PDF on its way to paper: as it is into the PDF file the print dialog chose, as PDF
// to a printer through the print system, and as page pictures in the print preview.
#include <string>

class QPrinter;

namespace pellora {

// Prints a PDF made for the printer's page layout with the dialog's choices (pages, copies,
// both sides). Raises EPelloraError when the file cannot be written or the print system refuses.
void PrintPdf(QPrinter& printer, const std::string& pdf, const std::string& jobTitle);
// Draws the PDF's pages on the printer as pictures: what the print preview shows.
void PaintPdfPages(QPrinter& printer, const std::string& pdf);

} // namespace pellora
