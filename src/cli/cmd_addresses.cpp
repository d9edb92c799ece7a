#include "cli/cli.h"

#include "mailbox_window/address_collection.h"
#include "stores/mailbox.h"

#include <cstdio>

namespace pellora::cli {
namespace {

int RunAddresses(const TArgs& input) {
  TArgs args = input;
  const TArgs rest = Positionals(args);
  if (rest.size() != 1) throw EUsage("addresses needs a path");
  const std::string& path = rest[0];
  TOpenKind kind = TakeKindOption(args, path);
  TMailbox box;
  LoadStoreChecked(box, path, kind);
  for (const auto& key : CollectAddresses(box.FEntries)) {
    PrintAnsi(key);
    std::printf("\n");
  }
  return 0;
}

const TCliCommand addressesCommand(
    "addresses",
    "addresses [--kind K] PATH   the store's distinct sender and recipient keys, sorted",
    RunAddresses);

} // namespace
} // namespace pellora::cli
