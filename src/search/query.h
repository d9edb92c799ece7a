#pragma once
// The search box's query language: words and phrases, field terms (from:, subject:, body:, ...),
// flags, dates and sizes, "-" for not, OR and parentheses, parsed into a small tree that
// TMailboxFilter::ApplyQuery evaluates over a mailbox's rows.
#include "platform/date_time.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

enum TQueryOp : uint8_t { qoAnd, qoOr, qoNot, qoTerm };

enum TQueryTerm : uint8_t {
  qtWords,      // a plain word or phrase: the From, Subject and To columns
  qtFrom,       // the From column
  qtTo,         // the To column and the Cc field
  qtCc,         // the Cc field
  qtSubject,    // the Subject column
  qtBody,       // the text body, as the Body filter searches it
  qtSource,     // the raw text, as the Source filter searches it
  qtHeader,     // every header field of the message, as written and with encoded words decoded
  qtAttachment, // the attachments' file names
  qtHasAttachment,
  qtUnread,
  qtFlagged,
  qtBefore,  // dated before the start of Date
  qtAfter,   // dated on or after the start of Date
  qtLarger,  // more than Size bytes
  qtSmaller, // fewer than Size bytes
};

struct TQueryNode {
  TQueryOp Op = qoTerm;
  TQueryTerm Term = qtWords;
  std::string Text;                 // the searched text of a text term
  TDateTime Date = 0;               // qtBefore, qtAfter: the local start of the day
  int64_t Size = 0;                 // qtLarger, qtSmaller
  size_t Offset = 0;                // where the node begins in the query's text
  std::vector<TQueryNode> Children; // qoAnd, qoOr: two or more; qoNot: one
};

struct TQueryParse {
  bool Ok = false;
  TQueryNode Root;
  std::string Error;      // what is wrong, when not Ok
  size_t ErrorOffset = 0; // where, as a byte offset in the text
  // The text is nothing but plain words (no field, quote, "-", OR or parenthesis): the field
  // filter searches it as one text, as it always did.
  bool PlainWords = false;
};

// Parses a query. shortDateFormat is the user's short date pattern (d, dd, M, MM, yy, yyyy and
// separators, such as "dd.MM.yyyy"), accepted by before: and after: beside ISO 8601 when it
// writes dates in digits alone; empty: ISO 8601 only.
TQueryParse ParseQuery(std::string_view text, std::string_view shortDateFormat = {});

// Whether the query's terms are all answered by the rows' columns, without reading messages.
bool QueryNeedsMessages(const TQueryNode& node);
// The texts of the query's terms of one kind that a matching row may hold (none under a "-"):
// for qtWords the plain words and phrases, for highlighting.
std::vector<std::string> QueryTexts(const TQueryNode& node, TQueryTerm term);
inline std::vector<std::string> QueryWords(const TQueryNode& node) {
  return QueryTexts(node, qtWords);
}
// The tree as text, such as (and (from "ann") (not (words "x"))): what the tests compare.
std::string QueryTreeText(const TQueryNode& node);

} // namespace pellora
