#pragma once
// What poppler's tools read back from a PDF file: its text, its pages, its bookmarks.
#include "support/run_command.h"

#include <regex>
#include <string>
#include <vector>

namespace pellora::test {

inline std::string PopplerText(const std::string& path, const char* options = "-layout") {
  return RunCommand(std::string("pdftotext ") + options + " " + ShellQuote(path) + " -").out;
}

// -1 when pdfinfo finds no PDF.
inline int PopplerPages(const std::string& path) {
  const std::string info = RunCommand("pdfinfo " + ShellQuote(path) + " 2>/dev/null").out;
  std::smatch m;
  return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
}

// The bookmarks, "page title" each, as pdftohtml lists the outline (titles as XML text).
inline std::vector<std::string> PopplerOutline(const std::string& path) {
  const std::string xml = RunCommand("pdftohtml -xml -stdout -i -q " + ShellQuote(path)).out;
  std::vector<std::string> items;
  const std::regex item("<item page=\"(\\d+)\">([^<]*)</item>");
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), item); it != std::sregex_iterator(); ++it)
    items.push_back((*it)[1].str() + " " + (*it)[2].str());
  return items;
}

} // namespace pellora::test
