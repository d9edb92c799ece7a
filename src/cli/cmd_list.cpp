#include "cli/cli.h"

#include "platform/codepage.h"
#include "stores/mailbox.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace pellora::cli {
namespace {

// The path is the one argument that is no option.
std::string TakePath(TArgs& args, size_t positional) {
  const TArgs rest = Positionals(args);
  if (rest.size() != positional) throw EUsage("wrong number of arguments");
  return rest[0];
}

std::string ReceivedText(const TMessageEntry& entry) {
  return entry.Header.Date != 0 ? FormatIsoDateTime(entry.Header.Date) : entry.Header.DateText;
}

std::string FlagsText(TMailbox& box, const TMessageEntry& entry) {
  if (entry.Kind != ekDatabase || !box.FReader) return {};
  TMessageInfo info;
  box.FReader->GetMessageInfo(entry.Index, info);
  char text[16];
  std::snprintf(text, sizeof text, "%X", info.Flags);
  return text;
}

// A TSV cell: tabs and line ends would break the row.
std::string Cell(const std::string& ansi) {
  std::string text = AnsiToUtf8(ansi);
  for (auto& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

int RunList(const TArgs& input) {
  TArgs args = input;
  bool json = TakeFlag(args, "--json");
  std::string path = TakePath(args, 1);
  TOpenKind kind = TakeKindOption(args, path);
  TMailbox box;
  LoadStoreChecked(box, path, kind);
  if (json) {
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& e : box.FEntries) {
      rows.push_back({{"#", e.Index + 1},
                      {"From", AnsiToUtf8(EntryFromText(e))},
                      {"Subject", AnsiToUtf8(e.Header.Subject)},
                      {"To", AnsiToUtf8(e.Header.To)},
                      {"Received", AnsiToUtf8(ReceivedText(e))},
                      {"Size", e.Header.Size},
                      {"Priority", e.Header.Priority},
                      {"Flags", FlagsText(box, e)}});
    }
    std::string out = rows.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", out.c_str());
    return 0;
  }
  std::printf("#\tFrom\tSubject\tTo\tReceived\tSize\tPriority\tFlags\n");
  for (const auto& e : box.FEntries) {
    std::printf("%d\t%s\t%s\t%s\t%s\t%lld\t%d\t%s\n", e.Index + 1, Cell(EntryFromText(e)).c_str(),
                Cell(e.Header.Subject).c_str(), Cell(e.Header.To).c_str(),
                Cell(ReceivedText(e)).c_str(), static_cast<long long>(e.Header.Size),
                e.Header.Priority, FlagsText(box, e).c_str());
  }
  return 0;
}

const TCliCommand
    listCommand("list",
                "list [--kind K] [--json] PATH   the store's rows, newest first (TSV or JSON)",
                RunList);

} // namespace
} // namespace pellora::cli
