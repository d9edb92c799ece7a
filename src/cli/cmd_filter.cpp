#include "cli/cli.h"

#include "search/mailbox_filter.h"
#include "platform/codepage.h"

#include <cstdio>

namespace pellora::cli {
namespace {

int RunFilter(const TArgs& args) {
  const TArgs positionals = Positionals(args);
  if (positionals.size() == 3) {
    const std::string& field = positionals[1];
    if (field.size() != 1 || field[0] < '0' || field[0] > '6')
      throw EUsage("FIELD must be a number from 0 to 6");
  }
  TMailbox box;
  const TArgs rest = LoadStoreArgs(args, 3, "filter needs a path, a field and a value", box);
  std::vector<uint8_t> hidden;
  const std::string value = Utf8ToAnsi(rest[2]);
  TMailboxFilter filter(box);
  const size_t notesBefore = box.Notes().size();
  filter.ApplyFilter(box.Order(), static_cast<TFilterField>(rest[1][0] - '0'), value, hidden);
  for (uint32_t row : box.Order())
    if (!hidden[row]) std::printf("%d\n", box.Entries()[row].Index);
  // Rows that could not be read are a warning: the rows found are the answer.
  std::fflush(stdout);
  PrintNotes(box.Notes(), notesBefore);
  return 0;
}

const TCliCommand filterCommand(
    "filter",
    "filter [--kind K] PATH FIELD VALUE   the Index of every row that contains VALUE in FIELD "
    "(0 From+Subject+To+Body, 1 From+Subject+To, 2 From, 3 Subject, 4 To, 5 Body, 6 Source); "
    "rows that cannot be read match none and are counted on stderr",
    RunFilter);

} // namespace
} // namespace pellora::cli
