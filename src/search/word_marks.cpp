#include "search/word_marks.h"

#include "platform/ascii.h"

namespace pellora {
namespace {

// The element whose content is raw text that a tag name opens, if it is one.
std::string_view RawTextElement(std::string_view tag) {
  size_t end = 0;
  while (end < tag.size() && (IsAsciiLetter(tag[end]) || IsDigit(tag[end]))) ++end;
  const std::string_view name = tag.substr(0, end);
  for (std::string_view raw : {"script", "style", "title", "textarea"})
    if (SameTextAscii(name, raw)) return raw;
  return {};
}

// The length of a character reference at text's start ("&amp;", "&#39;"), or 0.
size_t ReferenceLength(std::string_view text) {
  size_t i = 1;
  if (i < text.size() && text[i] == '#') ++i;
  const size_t nameStart = i;
  while (i < text.size() && i < 40 && (IsAsciiLetter(text[i]) || IsDigit(text[i]))) ++i;
  return i > nameStart && i < text.size() && text[i] == ';' ? i + 1 : 0;
}

} // namespace

std::string MarkWordsInHtml(std::string_view html, const std::vector<std::string>& words,
                            std::string_view open, std::string_view close) {
  std::string marked;
  marked.reserve(html.size() + html.size() / 16);
  // The shown text between two tags, marked; references are copied whole.
  auto markText = [&](std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      const size_t reference = i < text.size() && text[i] == '&' ? ReferenceLength(text.substr(i)) : 0;
      if (i < text.size() && !reference) continue;
      const std::string_view run = text.substr(start, i - start);
      size_t done = 0;
      for (auto [at, length] : FindWordRanges(run, words)) {
        marked.append(run.substr(done, at - done));
        marked.append(open);
        marked.append(run.substr(at, length));
        marked.append(close);
        done = at + length;
      }
      marked.append(run.substr(done));
      if (reference) marked.append(text.substr(i, reference));
      i += reference ? reference - 1 : 0;
      start = i + 1;
    }
  };
  size_t i = 0;
  while (i < html.size()) {
    const size_t tag = html.find('<', i);
    markText(html.substr(i, tag == std::string_view::npos ? std::string_view::npos : tag - i));
    if (tag == std::string_view::npos) break;
    size_t end;
    if (html.substr(tag, 4) == "<!--") {
      end = html.find("-->", tag + 4);
      end = end == std::string_view::npos ? html.size() : end + 3;
    } else {
      end = html.find('>', tag);
      end = end == std::string_view::npos ? html.size() : end + 1;
      // The content of a raw-text element runs to its end tag, unmarked.
      if (const std::string_view raw = RawTextElement(html.substr(tag + 1)); !raw.empty()) {
        const size_t close = FindText(html, "</" + std::string(raw), end);
        end = close == std::string_view::npos ? html.size() : close;
      }
    }
    marked.append(html.substr(tag, end - tag));
    i = end;
  }
  return marked;
}

} // namespace pellora
