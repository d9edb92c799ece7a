#include "cli/cli.h"

#include "cli/list_rows.h"
#include "platform/codepage.h"
#include "platform/qt_locale.h"
#include "search/mailbox_filter.h"
#include "search/query.h"

#include <cstdio>
#include <memory>

namespace pellora::cli {
namespace {

// Characters, not bytes, before offset of the program-text query: what a user counts.
size_t CharactersBefore(const std::string& query, size_t offset) {
  const std::string utf8 = AnsiToUtf8(query.substr(0, offset));
  size_t count = 0;
  for (unsigned char c : utf8)
    count += (c & 0xC0) != 0x80;
  return count;
}

int RunSearch(const TArgs& input) {
  TArgs args = input;
  const bool json = TakeFlag(args, "--json");
  const TArgs positionals = Positionals(args);
  if (positionals.size() < 2) throw EUsage("search needs a path and a query");
  const std::string query = Utf8ToAnsi(positionals.back());
  const TQueryParse parse = ParseQuery(query, ShortDatePattern());
  if (!parse.Ok)
    throw EUsage("error in the query at character " +
                 std::to_string(CharactersBefore(query, parse.ErrorOffset)) + ": " + parse.Error);
  // Every store is loaded before anything is printed: a store that cannot be read prints none.
  std::vector<std::unique_ptr<TMailbox>> boxes;
  TRowColumns columns{.Path = positionals.size() > 2};
  for (size_t i = 0; i + 1 < positionals.size(); ++i) {
    TArgs options = args;
    auto& box = boxes.emplace_back(std::make_unique<TMailbox>());
    LoadStoreChecked(*box, positionals[i], TakeKindOption(options, positionals[i]));
    columns.Folders = columns.Folders || !box->Folders().empty();
  }
  nlohmann::json rows = nlohmann::json::array();
  if (!json) PrintRowsHeader(columns);
  for (const auto& box : boxes) {
    const size_t notesBefore = box->Notes().size();
    std::vector<uint8_t> hidden;
    TMailboxFilter(*box).ApplyQuery(box->Order(), parse.Root, hidden);
    for (uint32_t row : box->Order()) {
      if (hidden[row]) continue;
      if (json)
        rows.push_back(RowJson(*box, box->Entries()[row], columns));
      else
        PrintRow(*box, box->Entries()[row], columns);
    }
    // Rows that could not be read are a warning: the rows found are the answer.
    std::fflush(stdout);
    PrintNotes(box->Notes(), notesBefore);
  }
  if (json) PrintJson(rows);
  return 0;
}

const TCliCommand searchCommand(
    "search",
    "search [--kind K] [--json] PATH... QUERY   the rows of the stores that match QUERY (words, "
    "from: to: cc: subject: body: source: header: attachment: has:attachment is:unread "
    "is:flagged before: after: larger: smaller:, \"phrases\", -term, OR, parentheses), as list "
    "prints them; the store's path first when there are several",
    RunSearch);

} // namespace
} // namespace pellora::cli
