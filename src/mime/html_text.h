#pragma once
// Reading an HTML body: the charset it declares, and the text it shows for the plain-text view of
// a message that has no text body.
#include <string>
#include <string_view>

namespace pellora {

// The text of an HTML document (in the code page) as a reader sees it: tags, comments, the title,
// styles and scripts left out; character references decoded into the code page (a character it
// lacks becomes "?"); blanks and line ends collapsed as a browser does, except in "<pre>"; a line
// break where a block ends (paragraph, division, list item, table row, heading) and at "<br>";
// links as their text. Lines end with CR LF, with at most one empty line between two.
std::string HtmlToText(std::string_view html);

// The charset an HTML text declares in a meta element near its start; empty when none.
std::string HtmlMetaCharset(std::string_view html);

} // namespace pellora
