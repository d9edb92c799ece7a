// Growth of reading other programs' registries on inputs that once took time growing with the
// square of their size (label "scaling").
#include "platform/registry.h"
#include "platform/wine_registry.h"
#include "support/discovery_builders.h"
#include "support/scaling.h"

#include <gtest/gtest.h>

#include <string>

namespace pellora {
namespace {

using test::ExpectLinearGrowth;

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
