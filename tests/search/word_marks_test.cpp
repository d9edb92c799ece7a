#include "search/word_marks.h"

#include <gtest/gtest.h>

namespace pellora {
namespace {

using TRanges = std::vector<std::pair<size_t, size_t>>;

TEST(WordMarks, RangesInText) {
  const struct {
    const char* what;
    std::string text;
    std::vector<std::string> words;
    TRanges ranges;
  } cases[] = {
      {"ASCII case folded", "Budget BUDGET budget", {"bUdGeT"}, {{0, 6}, {7, 6}, {14, 6}}},
      {"the longest word at a place", "bud budget", {"bud", "budget"}, {{0, 3}, {4, 6}}},
      {"no overlap", "aaaa", {"aa"}, {{0, 2}, {2, 2}}},
      {"inside a word too, as the filter finds it", "rebudgeted", {"budget"}, {{2, 6}}},
      {"8-bit letters compared as they are", "\xC9t\xE9 \xE9t\xE9", {"\xE9t\xE9"}, {{4, 3}}},
      {"empty words ignored", "abc", {"", "c"}, {{2, 1}}},
      {"nothing to find", "abc", {}, {}},
      {"a word longer than the rest", "ab", {"abc"}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FindWordRanges(std::string_view(c.text), c.words), c.ranges);
  }
  // A window's text: UTF-16.
  EXPECT_EQ(FindWordRanges(std::u16string_view(u"Été budget"), std::vector<std::u16string>{u"BUDGET"}),
            (TRanges{{4, 6}}));
}

TEST(WordMarks, MarksOnlyShownHtmlText) {
  const struct {
    const char* what;
    std::string html, marked;
  } cases[] = {
      {"text between tags", "<p>a budget</p>", "<p>a [budget]</p>"},
      {"not in tag names or attributes", "<budget title=\"budget\">x</budget>",
       "<budget title=\"budget\">x</budget>"},
      {"not in comments", "<!-- budget --> budget", "<!-- budget --> [budget]"},
      {"not in script, style, title or textarea",
       "<title>budget</title><STYLE>.budget{}</STYLE><script>budget()</script>budget",
       "<title>budget</title><STYLE>.budget{}</STYLE><script>budget()</script>[budget]"},
      {"character references stay whole", "amp &amp; &#97;mp amp", "[amp] &amp; &#97;[mp] [amp]"},
      {"an ampersand without a reference is text", "a & amp", "a & [amp]"},
      {"an unclosed tag runs to the end", "budget <p budget", "[budget] <p budget"},
      {"an unclosed comment runs to the end", "<!-- budget", "<!-- budget"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MarkWordsInHtml(c.html, {"budget", "amp", "mp"}, "[", "]"), c.marked);
  }
}

} // namespace
} // namespace pellora
