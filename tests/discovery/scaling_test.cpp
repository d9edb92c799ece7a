// Growth of discovery on inputs that once took time growing with the square of their size (label
// "scaling").
#include "discovery/mail_discovery.h"
#include "discovery/windows_session.h"
#include "discovery/wine_registry.h"
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

// A Wine user.reg whose one key holds N values, each then read by its name.
TEST(Scaling, RegistryValuesInOneKey) {
  ExpectLinearGrowth(
      "Wine registry, N values in one key", 1000, 1 << 22,
      [](size_t n) {
        test::TWineRegWriter writer("\\User\\S-1-5-21-0-0-0-1000");
        writer.Key("Software\\Many");
        for (size_t i = 0; i < n; ++i)
          writer.Dword("Value" + std::to_string(i), static_cast<uint32_t>(i));
        return writer.Text();
      },
      [](const std::string& text) {
        TWineRegistryFile file = ParseWineRegistry(text);
        auto key = file.Hive->OpenKey("software\\many");
        ASSERT_TRUE(key);
        // Each value found by its name, in other letter case.
        size_t found = 0;
        TRegistryValue value;
        while (key->GetValue("VALUE" + std::to_string(found), value))
          ++found;
        EXPECT_GT(found, 0u);
      });
}

} // namespace
} // namespace pellora
