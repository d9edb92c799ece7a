#include "cli/cli.h"

#include "cli/list_rows.h"
#include "stores/mailbox.h"
#include "stores/threads.h"

#include <algorithm>

namespace pellora::cli {
namespace {

// Takes "--folder PATH" out of args; an empty path when absent.
std::string TakeFolderOption(TArgs& args) {
  auto it = std::find(args.begin(), args.end(), "--folder");
  if (it == args.end()) return {};
  if (it + 1 == args.end()) throw EUsage("--folder needs a value");
  std::string value = *(it + 1);
  args.erase(it, it + 2);
  return value.empty() ? "/" : value;
}

int RunList(const TArgs& input) {
  TArgs args = input;
  bool json = TakeFlag(args, "--json");
  const bool recover = TakeFlag(args, "--recover");
  const bool threaded = TakeFlag(args, "--threads");
  const std::string folder = TakeFolderOption(args);
  TMailbox box;
  LoadStoreArgs(args, 1, "wrong number of arguments", box, {recover});
  // A store of folders lists each row's folder and kind of item.
  const bool folders = !box.Folders().empty();
  if (!folder.empty() && !folders) throw EUsage("--folder: the store has no folders");
  TThreads threads;
  if (threaded) threads.BuildFor(box);
  std::vector<const TMessageEntry*> entries;
  for (uint32_t at : threaded ? threads.Order() : box.Order()) {
    const TMessageEntry& e = box.Entries()[at];
    if (FolderWithin(box.FolderOf(e), folder)) entries.push_back(&e);
  }
  const TRowColumns columns{
      .Folders = folders, .State = recover, .Threads = threaded ? &threads : nullptr};
  if (json) {
    nlohmann::json rows = nlohmann::json::array();
    for (const TMessageEntry* row : entries) rows.push_back(RowJson(box, *row, columns));
    PrintJson(rows);
    return 0;
  }
  PrintRowsHeader(columns);
  for (const TMessageEntry* row : entries) PrintRow(box, *row, columns);
  return 0;
}

const TCliCommand
    listCommand("list",
                "list [--kind K] [--json] [--recover] [--folder F] [--threads] PATH   the store's "
                "rows, newest first (TSV or JSON; --recover: with the messages found outside the "
                "index and the deleted ones, a State column saying which); a store of folders adds "
                "each row's folder and kind, and --folder F keeps F's rows; --threads: grouped by "
                "conversation, with Thread and Depth columns",
                RunList);

} // namespace
} // namespace pellora::cli
