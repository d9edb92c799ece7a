// Inputs that once broke a store fuzz target; each must now run clean under the same code.
#include "stores/fuzz_bodies.h"

#include "support/fuzz_replay.h"

namespace pellora {
namespace {

TEST(StoresFuzzRegressions, ReplayKeptInputs) {
  test::ReplayKeptInputs(PELLORA_STORES_REGRESSIONS, {{"dbx-", fuzz::RunDbxReader},
                                                     {"mbx-", fuzz::RunMbxReader},
                                                     {"mailbox-", fuzz::RunMailboxFile},
                                                     {"scan-", fuzz::RunHeaderScanner},
                                                     {"compressed-", fuzz::RunCompressedMailbox},
                                                     {"emlx-", fuzz::RunEmlx},
                                                     {"outlook-", fuzz::RunOutlook},
                                                     {"row_cache-", fuzz::RunRowCache}});
}

} // namespace
} // namespace pellora
