#include "cli/cli.h"

#include "mailbox_window/mailbox_filter.h"
#include "platform/codepage.h"

#include <cstdio>
#include <numeric>

namespace pellora::cli {
namespace {

int RunFilter(const TArgs& input) {
  TArgs args = input;
  const TArgs rest = Positionals(args);
  if (rest.size() != 3) throw EUsage("filter needs a path, a field and a value");
  const std::string& path = rest[0];
  const std::string& field = rest[1];
  if (field.size() != 1 || field[0] < '0' || field[0] > '6')
    throw EUsage("FIELD must be a number from 0 to 6");
  TOpenKind kind = TakeKindOption(args, path);
  TMailbox box;
  LoadStoreChecked(box, path, kind);
  // The rows stay in the order the load sorted them: the list's default order.
  std::vector<uint32_t> order(box.FEntries.size());
  std::iota(order.begin(), order.end(), 0u);
  std::vector<uint8_t> hidden;
  const std::string value = Utf8ToAnsi(rest[2]);
  TMailboxFilter filter(box);
  filter.ApplyFilter(order, field[0] - '0', value, hidden);
  for (uint32_t row : order)
    if (!hidden[row]) std::printf("%d\n", box.FEntries[row].Index);
  return 0;
}

const TCliCommand filterCommand(
    "filter",
    "filter [--kind K] PATH FIELD VALUE   the Index of every row that contains VALUE in FIELD "
    "(0 From+Subject+To+Body, 1 From+Subject+To, 2 From, 3 Subject, 4 To, 5 Body, 6 Source)",
    RunFilter);

} // namespace
} // namespace pellora::cli
