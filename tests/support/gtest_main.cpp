// The core tests' entry: a fixed time zone, code page and locale whatever the machine's, and no
// row cache, so that the binaries behave the same under ctest and when run by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
  setenv("TZ", "Europe/Prague", 1);
  tzset();
  setenv("PELLORA_CODEPAGE", "1252", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  setenv("PELLORA_SHARED_DATA", PELLORA_SHARED_DATA_DIR, 0);
  // No row cache, and never the user's: a test that wants one names its own folder.
  setenv("PELLORA_CACHE_DIR", "", 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
