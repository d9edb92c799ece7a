// Every mime test runs in the zone and code page its expectations are written for, and finds
// the shared data even when the runner passed only part of the test environment.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

class TMimeEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    setenv("TZ", "Europe/Prague", 1);
    tzset();
    pellora::SetAnsiCodePage(1252);
    const char* shared = std::getenv("PELLORA_SHARED_DATA");
    if (shared == nullptr || *shared == '\0')
      setenv("PELLORA_SHARED_DATA", PELLORA_SHARED_DATA_DEFAULT, 1);
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new TMimeEnvironment);

} // namespace
