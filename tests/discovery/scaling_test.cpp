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

// A Windows profile on a mounted disk whose profiles.ini names N missing profile folders beside N
// folders that are there: each missing name is looked for in every letter case.
TEST(Scaling, ThunderbirdProfilesMissing) {
  ExpectLinearGrowth(
      "Windows profile, profiles.ini naming N missing folders", 250, 1 << 16,
      [](size_t n) {
        auto dir = std::make_shared<test::TTempDir>();
        const std::string profile = *dir / "Users/bob";
        const std::string thunderbird = profile + "/AppData/Roaming/Thunderbird";
        std::string ini;
        for (size_t i = 0; i < n; ++i) {
          std::filesystem::create_directories(thunderbird + "/Profiles/present" + std::to_string(i));
          ini += "[Profile" + std::to_string(i) + "]\r\nPath=Profiles/missing" + std::to_string(i) +
                 "\r\n";
        }
        test::WriteFileAt(thunderbird + "/profiles.ini", ini);
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
