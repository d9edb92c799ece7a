#include "mime/html_text.h"

#include "platform/codepage.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

using namespace pellora;

TEST(HtmlToText, WhatAReaderSees) {
  test::TScopedCodePages pages(1252, 1252);
  struct {
    const char* name;
    const char* html;
    std::string text;
  } cases[] = {
      {"tags go, text stays", "<html><body><p>Hello <b>Bob</b>,</p></body></html>", "Hello Bob,"},
      {"title, styles, scripts and comments go",
       "<head><title>T</title><style>p{color:red}</style></head><script>x<1</script>"
       "<!-- <p>hidden</p> --><p>shown</p><noscript>n</noscript>",
       "shown"},
      {"text in the head shows, as in a browser", "<html><head>in head</head></html>", "in head"},
      {"a style outside the head goes too", "<p>a</p><STYLE type=\"text/css\">.c{}</STYLE><p>b</p>",
       "a\r\nb"},
      {"blanks collapse as in a browser", "  one \r\n\t two  ", "one two"},
      {"block ends and breaks",
       "<div>a</div><div>b</div><p>c<br>d<br><br>e</p><ul><li>f</li><li>g</li></ul>"
       "<h1>h</h1><table><tr><td>i</td><td>j</td></tr><tr><td>k</td></tr></table>",
       "a\r\nb\r\nc\r\nd\r\n\r\ne\r\nf\r\ng\r\nh\r\ni j\r\nk"},
      {"at most one empty line", "a<br><br><br><br>b", "a\r\n\r\nb"},
      {"links as their text", "see <a href=\"http://x/?a=1&amp;b=2\" title='a > b'>the page</a>.",
       "see the page."},
      {"character references", "&lt;&amp;&gt; &quot;&#39;&#x41;&eacute;&euro;&hellip; &AMP;",
       "<&> \"'A\xE9\x80\x85 &"},
      {"unknown references stay", "a & b &nosuch; &#xZZ; &", "a & b &nosuch; &#xZZ; &"},
      {"a character the code page lacks", "&#x4E2D;", "?"},
      {"a no-break space is a blank that stays", "a&nbsp;&nbsp;b", "a  b"},
      {"preformatted text keeps its lines", "<pre>\r\n  a\n\n  b</pre>c", "  a\r\n\r\n  b\r\nc"},
      {"a lone < is text", "1 < 2 <3", "1 < 2 <3"},
      {"a tag cut short ends the text", "a<p class=\"x", "a"},
      {"a style never closed hides nothing", "a<style>b<p>c", "ab\r\nc"},
      {"declarations go", "<!DOCTYPE html><?xml version=\"1.0\"?>x", "x"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HtmlToText(c.html), c.text) << c.name;
}
