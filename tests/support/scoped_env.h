#pragma once
#include "platform/codepage.h"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace pellora::test {

// Sets an environment variable for a scope and puts back what was there.
class TScopedEnv {
public:
  TScopedEnv(const char* name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~TScopedEnv() {
    if (FOld)
      setenv(FName.c_str(), FOld->c_str(), 1);
    else
      unsetenv(FName.c_str());
  }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
  std::string FName;
  std::optional<std::string> FOld;
};

// Local time in another zone for a scope; the zone that was set comes back afterwards.
class TScopedTimeZone {
public:
  explicit TScopedTimeZone(const char* zone) : FEnv("TZ", zone) { tzset(); }

private:
  struct TReload {
    ~TReload() { tzset(); }
  } FReload; // destroyed after FEnv has put the old zone back
  TScopedEnv FEnv;
};

// The ANSI and legacy code pages for a scope; the environment's come back afterwards.
class TScopedCodePages {
public:
  TScopedCodePages(int ansi, int legacy) {
    SetAnsiCodePage(ansi);
    SetLegacyCodePage(legacy);
  }
  ~TScopedCodePages() {
    SetAnsiCodePage(0);
    SetLegacyCodePage(0);
  }
  TScopedCodePages(const TScopedCodePages&) = delete;
  TScopedCodePages& operator=(const TScopedCodePages&) = delete;
};

} // namespace pellora::test
