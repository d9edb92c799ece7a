#pragma once
// Where words a reader searched for stand in a message's text, to mark them where it is shown:
// ASCII case-insensitive, as the filter matches.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pellora {

// The ranges (start, length) of the words in text, left to right, none overlapping: at each place
// the longest word that starts there. Empty words are ignored. Char is char (8-bit or UTF-8
// text) or char16_t (a window's text).
template <class Char>
std::vector<std::pair<size_t, size_t>> FindWordRanges(std::basic_string_view<Char> text,
                                                      const std::vector<std::basic_string<Char>>& words) {
  auto lower = [](Char c) { return c >= 'A' && c <= 'Z' ? static_cast<Char>(c + 32) : c; };
  std::vector<std::basic_string<Char>> folded;
  for (const auto& word : words) {
    if (word.empty()) continue;
    std::basic_string<Char> f(word);
    for (Char& c : f) c = lower(c);
    folded.push_back(std::move(f));
  }
  std::vector<std::pair<size_t, size_t>> ranges;
  if (folded.empty()) return ranges;
  for (size_t i = 0; i < text.size();) {
    size_t longest = 0;
    const Char first = lower(text[i]);
    for (const auto& word : folded) {
      if (word[0] != first || word.size() <= longest || word.size() > text.size() - i) continue;
      size_t k = 1;
      while (k < word.size() && lower(text[i + k]) == word[k]) ++k;
      if (k == word.size()) longest = k;
    }
    if (longest) {
      ranges.emplace_back(i, longest);
      i += longest;
    } else {
      ++i;
    }
  }
  return ranges;
}

// html with each word of its shown text between open and close: text inside tags, comments,
// character references, and the elements whose content is not shown as text (script, style,
// title, textarea) stays as it is.
std::string MarkWordsInHtml(std::string_view html, const std::vector<std::string>& words,
                            std::string_view open, std::string_view close);

} // namespace pellora
