// Inputs that once broke a discovery fuzz target; each must now run clean under the same code.
#include "discovery/fuzz_bodies.h"

#include "support/fuzz_replay.h"

namespace pellora {
namespace {

TEST(DiscoveryFuzzRegressions, ReplayKeptInputs) {
  test::ReplayKeptInputs(PELLORA_DISCOVERY_REGRESSIONS, {{"prefs-", fuzz::RunPrefsJS},
                                                        {"wine-", fuzz::RunWineRegistry},
                                                        {"hive-", fuzz::RunHive}});
}

} // namespace
} // namespace pellora
