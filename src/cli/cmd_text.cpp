#include "cli/cli.h"

#include "stores/mailbox.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace pellora::cli {
namespace {

int RunText(const TArgs& input) {
  TArgs args = input;
  const TArgs rest = Positionals(args);
  if (rest.size() != 2) throw EUsage("text needs a path and an index");
  const std::string& path = rest[0];
  char* end = nullptr;
  long index = std::strtol(rest[1].c_str(), &end, 10);
  if (rest[1].empty() || *end != '\0' || index < 0 || index > INT32_MAX)
    throw EUsage("INDEX must be a number from 0");
  TOpenKind kind = TakeKindOption(args, path);
  TMailbox box;
  LoadStoreChecked(box, path, kind);
  const TMessageEntry* entry = box.FindEntry(static_cast<int32_t>(index));
  if (!entry) throw EPelloraError("There is no message with index " + rest[1] + ".");
  std::string text = box.GetEntryText(*entry);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

const TCliCommand
    textCommand("text",
                "text [--kind K] PATH INDEX   the raw text of the message whose Index is INDEX",
                RunText);

} // namespace
} // namespace pellora::cli
