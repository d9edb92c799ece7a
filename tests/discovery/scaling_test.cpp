// Growth of discovery on inputs that once took time growing with the square of their size (label
// "scaling").
#include "discovery/mail_discovery.h"
#include "discovery/windows_session.h"
#include "support/discovery_builders.h"
#include "support/scaling.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace pellora {
namespace {

using test::ExpectLinearGrowth;

// A Windows profile on a mounted disk whose profiles.ini names N missing profile folders in a
// folder of N other names: each missing name is looked for in every letter case.
TEST(Scaling, ThunderbirdProfilesMissing) {
  ExpectLinearGrowth(
      "Windows profile, profiles.ini naming N missing folders", 250, 1 << 16,
      [](size_t n) {
        auto dir = std::make_shared<test::TTempDir>();
        const std::string profile = *dir / "Users/bob";
        const std::string profiles = profile + "/AppData/Roaming/Thunderbird/Profiles";
        // The other names are links to a few files: quick to make and to remove (a file takes
        // some 65,000 links).
        std::string ini, target;
        for (size_t i = 0; i < n; ++i) {
          if (i % 50000 == 0) test::WriteFileAt(target = profiles + "/x" + std::to_string(i), "");
          std::filesystem::create_hard_link(target, profiles + "/present" + std::to_string(i));
          ini += "[Profile" + std::to_string(i) + "]\r\nPath=Profiles/missing" + std::to_string(i) +
                 "\r\n";
        }
        test::WriteFileAt(profiles + "/../profiles.ini", ini);
        return dir;
      },
      [](const std::shared_ptr<test::TTempDir>& dir) {
        auto session = OpenMountedProfile(*dir / "Users/bob");
        std::vector<std::string> roots;
        ListThunderbirdMailRoots(*session, roots);
        EXPECT_TRUE(roots.empty());
      });
}

} // namespace
} // namespace pellora
