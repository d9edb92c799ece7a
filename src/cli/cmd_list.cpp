#include "cli/cli.h"

#include "platform/codepage.h"
#include "stores/mailbox.h"
#include "stores/threads.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace pellora::cli {
namespace {

std::string ReceivedText(const TMessageEntry& entry) {
  return entry.Header.Date != 0 ? FormatIsoDateTime(entry.Header.Date) : entry.Header.DateText.str();
}

std::string FlagsText(const TMailbox& box, const TMessageEntry& entry) {
  if (!EntryHasFlags(entry)) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%X", box.Flags(entry));
  return text;
}

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
  // Threads numbered from 1 in the order listed; depth 0 for a thread's first messages.
  auto threadOf = [&](const TMessageEntry& e) {
    return threads.ThreadOf(static_cast<uint32_t>(&e - box.Entries().data())) + 1;
  };
  auto depthOf = [&](const TMessageEntry& e) {
    return threads.DepthOf(static_cast<uint32_t>(&e - box.Entries().data()));
  };
  if (json) {
    nlohmann::json rows = nlohmann::json::array();
    for (const TMessageEntry* row : entries) {
      const TMessageEntry& e = *row;
      rows.push_back({{"#", e.Index + 1},
                      {"From", AnsiToUtf8(box.FromText(e))},
                      {"Subject", AnsiToUtf8(e.Header.Subject)},
                      {"To", AnsiToUtf8(e.Header.To)},
                      {"Received", AnsiToUtf8(ReceivedText(e))},
                      {"Size", e.Header.Size},
                      {"Priority", e.Header.Priority},
                      {"Flags", FlagsText(box, e)}});
      if (folders) {
        rows.back()["Folder"] = std::string(box.FolderOf(e));
        rows.back()["Kind"] = std::string(box.ItemKindOf(e));
      }
      if (recover) rows.back()["State"] = AnsiToUtf8(RowStateText(e.State));
      if (threaded) {
        rows.back()["Thread"] = threadOf(e);
        rows.back()["Depth"] = depthOf(e);
      }
    }
    std::string out = rows.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", out.c_str());
    return 0;
  }
  std::printf("#\t%sFrom\tSubject\tTo\tReceived\tSize\tPriority\tFlags%s%s\n",
              folders ? "Folder\tKind\t" : "", recover ? "\tState" : "",
              threaded ? "\tThread\tDepth" : "");
  for (const TMessageEntry* row : entries) {
    const TMessageEntry& e = *row;
    if (folders)
      std::printf("%d\t%s\t%s\t", e.Index + 1, TsvCell(std::string(box.FolderOf(e))).c_str(),
                  TsvCell(std::string(box.ItemKindOf(e))).c_str());
    else
      std::printf("%d\t", e.Index + 1);
    std::printf("%s\t%s\t%s\t%s\t%lld\t%d\t%s%s", TsvCell(AnsiToUtf8(box.FromText(e))).c_str(),
                TsvCell(AnsiToUtf8(e.Header.Subject)).c_str(), TsvCell(AnsiToUtf8(e.Header.To)).c_str(),
                TsvCell(AnsiToUtf8(ReceivedText(e))).c_str(), static_cast<long long>(e.Header.Size),
                e.Header.Priority, FlagsText(box, e).c_str(),
                recover ? ("\t" + AnsiToUtf8(RowStateText(e.State))).c_str() : "");
    if (threaded) std::printf("\t%u\t%u", threadOf(e), depthOf(e));
    std::printf("\n");
  }
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
