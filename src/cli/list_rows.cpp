#include "cli/list_rows.h"

#include "cli/cli.h"
#include "platform/codepage.h"
#include "stores/mailbox.h"
#include "stores/threads.h"

#include <cstdio>

namespace pellora::cli {
namespace {

std::string ReceivedText(const TMessageEntry& entry) {
  return entry.Header.Date != 0 ? FormatIsoDateTime(entry.Header.Date)
                                : entry.Header.DateText.str();
}

std::string FlagsText(const TMailbox& box, const TMessageEntry& entry) {
  if (!EntryHasFlags(entry)) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%X", box.Flags(entry));
  return text;
}

uint32_t EntryOf(const TMailbox& box, const TMessageEntry& entry) {
  return static_cast<uint32_t>(&entry - box.Entries().data());
}

} // namespace

void PrintRowsHeader(const TRowColumns& columns) {
  std::printf("%s#\t%sFrom\tSubject\tTo\tReceived\tSize\tPriority\tFlags%s%s\n",
              columns.Path ? "Path\t" : "", columns.Folders ? "Folder\tKind\t" : "",
              columns.State ? "\tState" : "", columns.Threads ? "\tThread\tDepth" : "");
}

void PrintRow(const TMailbox& box, const TMessageEntry& e, const TRowColumns& columns) {
  if (columns.Path) std::printf("%s\t", TsvCell(box.Path()).c_str());
  std::printf("%d\t", e.Index + 1);
  if (columns.Folders)
    std::printf("%s\t%s\t", TsvCell(std::string(box.FolderOf(e))).c_str(),
                TsvCell(std::string(box.ItemKindOf(e))).c_str());
  std::printf("%s\t%s\t%s\t%s\t%lld\t%d\t%s%s", TsvCell(AnsiToUtf8(box.FromText(e))).c_str(),
              TsvCell(AnsiToUtf8(e.Header.Subject)).c_str(),
              TsvCell(AnsiToUtf8(e.Header.To)).c_str(),
              TsvCell(AnsiToUtf8(ReceivedText(e))).c_str(), static_cast<long long>(e.Header.Size),
              e.Header.Priority, FlagsText(box, e).c_str(),
              columns.State ? ("\t" + AnsiToUtf8(RowStateText(e.State))).c_str() : "");
  if (columns.Threads)
    std::printf("\t%u\t%u", columns.Threads->ThreadOf(EntryOf(box, e)) + 1,
                columns.Threads->DepthOf(EntryOf(box, e)));
  std::printf("\n");
}

nlohmann::json RowJson(const TMailbox& box, const TMessageEntry& e, const TRowColumns& columns) {
  nlohmann::json row = {{"#", e.Index + 1},
                        {"From", AnsiToUtf8(box.FromText(e))},
                        {"Subject", AnsiToUtf8(e.Header.Subject)},
                        {"To", AnsiToUtf8(e.Header.To)},
                        {"Received", AnsiToUtf8(ReceivedText(e))},
                        {"Size", e.Header.Size},
                        {"Priority", e.Header.Priority},
                        {"Flags", FlagsText(box, e)}};
  if (columns.Path) row["Path"] = box.Path();
  if (columns.Folders) {
    row["Folder"] = std::string(box.FolderOf(e));
    row["Kind"] = std::string(box.ItemKindOf(e));
  }
  if (columns.State) row["State"] = AnsiToUtf8(RowStateText(e.State));
  if (columns.Threads) {
    row["Thread"] = columns.Threads->ThreadOf(EntryOf(box, e)) + 1;
    row["Depth"] = columns.Threads->DepthOf(EntryOf(box, e));
  }
  return row;
}

void PrintJson(const nlohmann::json& rows) {
  std::string out = rows.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  std::printf("%s\n", out.c_str());
}

} // namespace pellora::cli
