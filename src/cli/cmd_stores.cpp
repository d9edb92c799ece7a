#include "cli/cli.h"

#include "discovery/store_discovery.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace pellora::cli {
namespace {

// A TSV cell of UTF-8 text: tabs and line ends would break the row.
int RunStores(const TArgs& input) {
  TArgs args = input;
  bool json = TakeFlag(args, "--json");
  std::vector<std::string> profiles;
  if (!TakeProfileOptions(args, profiles)) throw EUsage("--profile needs a folder");
  if (!args.empty()) throw EUsage("unexpected argument: " + args[0]);
  const auto stores = DiscoverStores(CurrentUserPlaces(profiles));
  if (json) {
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& store : stores)
      rows.push_back({{"Kind", DiscoveredKindName(store.Kind)},
                      {"Source", store.Source},
                      {"Label", store.Label},
                      {"Path", store.Path}});
    std::string out = rows.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", out.c_str());
    return 0;
  }
  std::printf("Kind\tSource\tLabel\tPath\n");
  for (const auto& store : stores)
    std::printf("%s\t%s\t%s\t%s\n", DiscoveredKindName(store.Kind), TsvCell(store.Source).c_str(),
                TsvCell(store.Label).c_str(), TsvCell(store.Path).c_str());
  return 0;
}

const TCliCommand storesCommand(
    "stores",
    "stores [--profile DIR]... [--json]   the current user's mail stores (and those of a Windows "
    "profile folder)",
    RunStores);

} // namespace
} // namespace pellora::cli
