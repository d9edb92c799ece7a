#include "cli/cli.h"

#include "export/list_csv.h"
#include "export/message_export.h"
#include "search/mailbox_filter.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/safe_files.h"
#include "stores/mailbox.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

namespace pellora::cli {
namespace {

// Takes "option VALUE" out of args; false when absent.
bool TakeValue(TArgs& args, const std::string& option, std::string& value) {
  auto it = std::find(args.begin(), args.end(), option);
  if (it == args.end()) return false;
  if (it + 1 == args.end()) throw EUsage(option + " needs a value");
  value = *(it + 1);
  args.erase(it, it + 2);
  return true;
}

class TCliExportObserver : public TExportObserver {
public:
  explicit TCliExportObserver(bool overwrite) : FOverwrite(overwrite) {}
  bool Overwrite(const std::string& path) override { return FOverwrite; }
  void Written(const std::string& path) override {
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
  }

private:
  bool FOverwrite;
};

int RunExport(const TArgs& given) {
  TArgs args = given;
  const bool overwrite = TakeFlag(args, "--overwrite");
  const bool recover = TakeFlag(args, "--recover");
  std::string target;
  TExportFormat format = efEml;
  bool csv = false; // the list, not the messages
  int formats = 0;
  for (auto [option, kind] : {std::pair{"--eml", efEml}, std::pair{"--mbox", efMbox},
                              std::pair{"--attachments", efAttachments}, std::pair{"--pdf", efPdf},
                              std::pair{"--pdf-one", efPdfOne}, std::pair{"--csv", efEml}}) {
    std::string value;
    while (TakeValue(args, option, value)) {
      target = value;
      format = kind;
      csv = std::string_view(option) == "--csv";
      ++formats;
    }
  }
  if (formats != 1)
    throw EUsage("export needs one of --eml DIR, --mbox FILE, --attachments DIR, --pdf DIR, "
                 "--pdf-one FILE, --csv FILE");
  const bool oneFile = csv || format == efMbox || format == efPdfOne;
  std::set<int32_t> indexes;
  std::string value;
  while (TakeValue(args, "--index", value)) {
    int32_t index = -1;
    if (!TryParseInt32(value, index) || index < 0) throw EUsage("--index must be a number from 0");
    indexes.insert(index);
  }
  std::optional<TFilterField> field;
  std::string filterValue;
  if (auto it = std::find(args.begin(), args.end(), "--filter"); it != args.end()) {
    if (args.end() - it < 3) throw EUsage("--filter needs a field and a value");
    const std::string& f = *(it + 1);
    if (f.size() != 1 || f[0] < '0' || f[0] > '6') throw EUsage("FIELD must be a number from 0 to 6");
    field = static_cast<TFilterField>(f[0] - '0');
    filterValue = Utf8ToAnsi(*(it + 2));
    args.erase(it, it + 3);
  }
  for (const auto& arg : Positionals(args))
    if (arg.starts_with("--")) throw EUsage("Unknown option " + arg);

  TMailbox box;
  LoadStoreArgs(args, 1, "export needs one store path", box, {recover});
  const size_t notesBefore = box.Notes().size();
  std::vector<uint8_t> hidden(box.Entries().size(), 0);
  if (field) TMailboxFilter(box).ApplyFilter(box.Order(), *field, filterValue, hidden);
  for (int32_t index : indexes)
    if (!box.FindEntry(index))
      throw EPelloraError("There is no message with index " + std::to_string(index) + ".");
  std::vector<uint32_t> rows;
  for (uint32_t row : box.Order()) {
    if (hidden[row]) continue;
    if (!indexes.empty() && !indexes.count(box.Entries()[row].Index)) continue;
    rows.push_back(row);
  }

  if (oneFile && EntryExists(target) && !overwrite)
    throw EPelloraError("File already exists \"" + Utf8ToAnsi(target) + "\". Use --overwrite to replace it.");
  TCliExportObserver observer(overwrite);
  if (csv) {
    SaveListCsv(box, rows, target);
    observer.Written(target);
    PrintNotes(box.Notes(), notesBefore);
    return 0;
  }
  if (!oneFile) std::filesystem::create_directories(target);
  std::unique_ptr<TPdfMaker> pdf;
  if (format == efPdf || format == efPdfOne) pdf = MakePdfMaker(box.Store()->Caption(box.Path()));
  TExportResult result = ExportMessages(box, rows, format, target, &observer, pdf.get());
  PrintNotes(box.Notes(), notesBefore);
  PrintNotes(result.Skipped);
  return result.Skipped.empty() ? 0 : 1;
}

const TCliCommand exportCommand(
    "export",
    "export [--kind K] PATH (--eml DIR | --mbox FILE | --attachments DIR | --pdf DIR | "
    "--pdf-one FILE | --csv FILE) [--index N]... [--filter FIELD VALUE] [--overwrite] [--recover]   "
    "writes the messages (all rows, or those given) out, or their rows of the list as CSV; prints "
    "each file written (--recover: the rows of list --recover)",
    RunExport);

} // namespace
} // namespace pellora::cli
