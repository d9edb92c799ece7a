#include "cli/cli.h"

#include "platform/ascii.h"
#include "platform/pellora_error.h"
#include "stores/mailbox.h"

#include <cstdio>

namespace pellora::cli {
namespace {

int RunText(const TArgs& input) {
  TArgs args = input;
  const bool lines = TakeFlag(args, "--lines");
  const bool recover = TakeFlag(args, "--recover");
  const TArgs positionals = Positionals(args);
  int32_t index = -1;
  if (positionals.size() == 2 && (!TryParseInt32(positionals[1], index) || index < 0))
    throw EUsage("INDEX must be a number from 0");
  TMailbox box;
  const TArgs rest = LoadStoreArgs(args, 2, "text needs a path and an index", box, {recover});
  const TMessageEntry* entry = box.FindEntry(index);
  if (!entry) throw EPelloraError("There is no message with index " + rest[1] + ".");
  // The bytes as the store holds them (what export --eml writes), or the lines the viewer reads.
  if (lines) {
    std::string text = box.GetEntryText(*entry);
    std::fwrite(text.data(), 1, text.size(), stdout);
  } else {
    box.ReadStored(
        *entry, [](std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); });
  }
  return 0;
}

const TCliCommand textCommand(
    "text",
    "text [--kind K] [--lines] [--recover] PATH INDEX   the message whose Index is INDEX as the "
    "store holds it (--lines: its lines as the viewer reads them, a mailbox file's separator "
    "line first, each ending CR LF; --recover: the indexes of list --recover)",
    RunText);

} // namespace
} // namespace pellora::cli
