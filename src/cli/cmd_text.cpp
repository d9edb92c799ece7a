#include "cli/cli.h"

#include "platform/ascii.h"
#include "stores/mailbox.h"

#include <cstdio>

namespace pellora::cli {
namespace {

int RunText(const TArgs& args) {
  const TArgs positionals = Positionals(args);
  int32_t index = -1;
  if (positionals.size() == 2 && (!TryParseInt32(positionals[1], index) || index < 0))
    throw EUsage("INDEX must be a number from 0");
  TMailbox box;
  const TArgs rest = LoadStoreArgs(args, 2, "text needs a path and an index", box);
  const TMessageEntry* entry = box.FindEntry(index);
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
