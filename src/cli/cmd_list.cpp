#include "cli/cli.h"

#include "platform/codepage.h"
#include "stores/mailbox.h"

#include <nlohmann/json.hpp>

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

int RunList(const TArgs& input) {
  TArgs args = input;
  bool json = TakeFlag(args, "--json");
  const bool recover = TakeFlag(args, "--recover");
  TMailbox box;
  LoadStoreArgs(args, 1, "wrong number of arguments", box, {recover});
  if (json) {
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& e : box.Entries()) {
      rows.push_back({{"#", e.Index + 1},
                      {"From", AnsiToUtf8(box.FromText(e))},
                      {"Subject", AnsiToUtf8(e.Header.Subject)},
                      {"To", AnsiToUtf8(e.Header.To)},
                      {"Received", AnsiToUtf8(ReceivedText(e))},
                      {"Size", e.Header.Size},
                      {"Priority", e.Header.Priority},
                      {"Flags", FlagsText(box, e)}});
      if (recover) rows.back()["State"] = AnsiToUtf8(RowStateText(e.State));
    }
    std::string out = rows.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", out.c_str());
    return 0;
  }
  std::printf("#\tFrom\tSubject\tTo\tReceived\tSize\tPriority\tFlags%s\n", recover ? "\tState" : "");
  for (const auto& e : box.Entries()) {
    std::printf("%d\t%s\t%s\t%s\t%s\t%lld\t%d\t%s%s\n", e.Index + 1, TsvCell(AnsiToUtf8(box.FromText(e))).c_str(),
                TsvCell(AnsiToUtf8(e.Header.Subject)).c_str(), TsvCell(AnsiToUtf8(e.Header.To)).c_str(),
                TsvCell(AnsiToUtf8(ReceivedText(e))).c_str(), static_cast<long long>(e.Header.Size),
                e.Header.Priority, FlagsText(box, e).c_str(),
                recover ? ("\t" + AnsiToUtf8(RowStateText(e.State))).c_str() : "");
  }
  return 0;
}

const TCliCommand
    listCommand("list",
                "list [--kind K] [--json] [--recover] PATH   the store's rows, newest first (TSV or "
                "JSON; --recover: with the messages found outside the index and the deleted ones, "
                "a State column saying which)",
                RunList);

} // namespace
} // namespace pellora::cli
