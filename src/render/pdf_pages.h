#pragma once
// PDF files taken apart and put together at the level of their pages: one page drawn over
// another, documents joined with a bookmark each. Raise EPelloraError on a PDF that cannot be
// read.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

int PdfPageCount(const std::string& pdf);
// pdf with only the pages given (numbered from 1, in ascending order).
std::string PdfWithPages(const std::string& pdf, const std::vector<int>& pages);

// How much the first text of the first page is scaled from the points its drawing is given in:
// below 1 where a web page too wide for the paper was shrunk to fit. 1 when the page has no text.
double PdfFirstTextScale(const std::string& pdf);

// under with page i of over drawn on its page i (over may have fewer pages), and title (UTF-8)
// as its title.
std::string OverlayPdf(const std::string& under, const std::string& over, const std::string& title);

// Many documents in one: each starts on a page of its own and has a bookmark (an outline entry)
// on its first page, in the order they were added.
class TPdfBook {
public:
  TPdfBook();
  ~TPdfBook();
  TPdfBook(const TPdfBook&) = delete;
  TPdfBook& operator=(const TPdfBook&) = delete;

  // Appends the pages of pdf, bookmarked with title (UTF-8).
  void Add(const std::string& pdf, const std::string& title);
  int Pages() const;
  int Documents() const;
  // The whole book, piece by piece; the book opens with its bookmarks shown.
  void Write(const std::function<void(std::string_view bytes)>& sink, const std::string& title);
  // The same as the file path, written safely: the file appears whole or not at all (a file of
  // that name is replaced).
  void Save(const std::string& path, const std::string& title);

private:
  struct TData;
  std::unique_ptr<TData> FData;
};

} // namespace pellora
