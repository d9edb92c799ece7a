#include "cli/cli.h"

#include <cstdio>

namespace pellora::cli {
namespace {

int RunKind(const TArgs& args) {
  if (args.empty()) throw EUsage("kind needs at least one path");
  for (const auto& path : args) {
    std::printf("%d\t", static_cast<int>(KindOfPath(path)));
    PrintAnsi(path);
    std::printf("\n");
  }
  return 0;
}

const TCliCommand command("kind", "kind PATH...   the open kind of each path (0-3, 255)", RunKind);

} // namespace
} // namespace pellora::cli
