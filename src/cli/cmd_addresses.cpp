#include "cli/cli.h"

#include "mailbox_window/address_collection.h"
#include "stores/mailbox.h"

#include <cstdio>

namespace pellora::cli {
namespace {

int RunAddresses(const TArgs& args) {
  TMailbox box;
  LoadStoreArgs(args, 1, "addresses needs a path", box);
  for (const auto& address : CollectAddresses(box.Entries(), box.Order(), *box.Store())) {
    PrintAnsi(AddressLine(address));
    std::printf("\n");
  }
  return 0;
}

const TCliCommand addressesCommand(
    "addresses",
    "addresses [--kind K] PATH   the store's distinct senders and recipients, sorted",
    RunAddresses);

} // namespace
} // namespace pellora::cli
