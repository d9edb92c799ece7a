#pragma once
// The filter of the mailbox window and the command line: which rows contain a text in a chosen
// part of their message.
#include "mime/mail_message.h"
#include "search/query.h"
#include "stores/mailbox.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// The items of the window's field list, by index.
enum TFilterField : int {
  ffFromSubjectToBody = 0,
  ffFromSubjectTo = 1,
  ffFrom = 2,
  ffSubject = 3,
  ffTo = 4,
  ffBody = 5,
  ffSource = 6,
};

// True when text contains searched: ASCII letters without regard to case, every other byte
// exactly. An empty searched text is contained in nothing.
bool FilterContains(std::string_view searched, std::string_view text);

// A searched text prepared once for the many texts of a pass; answers as FilterContains does.
// Keeps a view of searched: the text must outlive the matcher.
class TFilterMatcher {
public:
  explicit TFilterMatcher(std::string_view searched);
  bool In(std::string_view text) const;
  std::string_view Searched() const { return FSearched; }
  // Whether a match can span a line end (the searched text holds CR or LF).
  bool CrossesLines() const { return FHasLineEnd; }
  // Whether the lines, each followed by CR LF, contain the searched text. joined is scratch
  // space, used only when the searched text holds a line-end byte.
  bool InLines(const std::vector<std::string>& lines, std::string& joined) const;

private:
  std::string_view FSearched;
  bool FHasLineEnd = false;
};

// Appends value to the history unless an item equal to it without regard to case is there;
// true when it was appended.
bool AddToHistory(std::vector<std::string>& history, std::string_view value);

// Reports progress of a long pass: rows done of rows in all.
using TFilterProgress = std::function<void(size_t done, size_t total)>;

class TMailboxFilter {
public:
  explicit TMailboxFilter(TMailbox& mailbox) : FMailbox(mailbox) {}

  // Whether the row matches value in field (reads and parses the message for the fields that
  // search it; raises when it cannot be read).
  bool RowMatches(const TMessageEntry& entry, TFilterField field, std::string_view value);

  // Sets hidden[row] for every row of order (indexes into the mailbox's entries) that does not
  // match; returns the number of matching rows. A store read front to back (TStore::ReadsForward)
  // is read in its own order (of the rows' Index), so that it is read once. A row whose message
  // must be read and cannot be (a damaged database's row without text, a file gone) does not match
  // unless its columns do, and the pass goes on; at its end a note of the mailbox
  // (nkUnreadableRows) says how many rows could not be read. hidden grows to the number of
  // entries when it is shorter.
  size_t ApplyFilter(const std::vector<uint32_t>& order, TFilterField field, std::string_view value,
                     std::vector<uint8_t>& hidden, const TFilterProgress& progress = {});
  // The same for a query (search/query.h). Its column terms are answered from the rows first; a
  // row's message is read (once, whatever its terms ask) only where they leave the answer open.
  // A row whose message must be read and cannot be matches only when its column terms alone
  // make it match.
  size_t ApplyQuery(const std::vector<uint32_t>& order, const TQueryNode& query,
                    std::vector<uint8_t>& hidden, const TFilterProgress& progress = {});
  bool RowMatchesQuery(const TMessageEntry& entry, const TQueryNode& query);

  // The rows of the last pass whose message could not be read.
  size_t UnreadableRows() const { return FUnreadable; }

  // The message object that parses one row at a time.
  TMailMessage& MailMessage() { return FMessage; }

private:
  enum TTruth : uint8_t { tFalse, tTrue, tOpen };

  bool Matches(const TMessageEntry& entry, TFilterField field, const TFilterMatcher& matcher);
  // Whether the columns the field searches hold the text; false for the fields that search only
  // the message.
  bool ColumnsMatch(const TMessageEntry& entry, TFilterField field,
                    const TFilterMatcher& matcher) const;
  // A query made ready for a pass: its nodes in one array, each text term's matcher made once, and
  // the children of AND and OR with the column terms first.
  struct TPreparedNode {
    const TQueryNode* Node;
    TQueryOp Op;
    TQueryTerm Term;
    TFilterMatcher Matcher;
    bool ReadsMessage;  // it or a node under it searches the message
    uint32_t First = 0; // its children: Children[First, First + Count)
    uint32_t Count = 0;
  };
  struct TPreparedQuery {
    std::vector<TPreparedNode> Nodes; // the root first
    std::vector<uint32_t> Children;
  };
  static uint32_t Prepare(const TQueryNode& node, TPreparedQuery& prepared);
  bool RowMatchesPrepared(const TMessageEntry& entry, const TPreparedQuery& query);
  // A query's answer for a row; without read, the terms that search the message stay open.
  TTruth Evaluate(const TPreparedQuery& query, uint32_t node, const TMessageEntry& entry,
                  bool read);
  TTruth TermTruth(const TPreparedNode& term, const TMessageEntry& entry, bool read);
  // Runs matches over the rows of order (see ApplyFilter).
  size_t RunPass(const std::vector<uint32_t>& order, bool readsMessages,
                 std::vector<uint8_t>& hidden, const TFilterProgress& progress,
                 const std::function<bool(const TMessageEntry&)>& matches);

  // The message of one row, read at most once however many terms search it: BeginRow, then the
  // searches; each raises when the message cannot be read.
  void BeginRow(const TMessageEntry& entry);
  bool SourceHas(const TFilterMatcher& matcher);
  bool BodyHas(const TFilterMatcher& matcher);
  bool HeaderHas(const TFilterMatcher& matcher);
  bool AttachmentHas(const TFilterMatcher& matcher);
  void ReadText();
  void ParseRow();

  TMailbox& FMailbox;
  TMailMessage FMessage;
  std::string FText;  // one row's joined text, reused from row to row
  std::string FCarry; // the end of one piece of a row's text, searched with the next
  const TMessageEntry* FRow = nullptr;
  bool FTextRead = false; // FText holds FRow's text
  bool FParsed = false;   // FMessage holds FRow's message (its SourceText the text)
  size_t FUnreadable = 0;
};

} // namespace pellora
