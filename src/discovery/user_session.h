#pragma once
// What discovery reads of one user's session: another program's registry, the user's account,
// special folders and environment, and where the session's paths lie on this machine. A Wine
// prefix, a Windows profile on a mounted disk and the Linux user's own home each give one.
#include "discovery/registry.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// Special folders, by the shell's identifiers.
enum : int {
  CSIDL_DESKTOP = 0x00,
  CSIDL_APPDATA = 0x1A,
  CSIDL_LOCAL_APPDATA = 0x1C,
  CSIDL_PROFILE = 0x28,
};

struct TSid {
  std::array<uint8_t, 6> IdentifierAuthority{};
  std::vector<uint32_t> SubAuthorities;
};
// "S-1-5-21-..." as a SID; false when the text is not one.
bool ParseSidString(std::string_view text, TSid& sid);

// How the session writes paths: Windows ("C:\Users\ann", with drive letters) or POSIX.
enum class TPathStyle { Windows, Posix };

class TUserSession {
public:
  virtual ~TUserSession() = default;
  virtual const TRegistry& Registry() const = 0;
  // Windows NT and later; the older family keeps the user's branch in HKEY_CURRENT_USER only.
  virtual bool IsNTFamily() const { return true; }
  virtual TPathStyle PathStyle() const = 0;
  // The name of the session's user; "" when unknown.
  virtual std::string UserName() const = 0;
  // The SID of an account of the session's system; false when there is no such account.
  virtual bool LookupAccountName(const std::string& name, TSid& sid) const = 0;
  // A special folder in the session's path style, without trailing delimiter; "" when none.
  virtual std::string SpecialFolder(int csidl) const = 0;
  // NAME=VALUE entries in the order of the session's environment block.
  virtual std::vector<std::string> EnvironmentBlock() const = 0;
  // A path of the session's style as a path of this machine; "" when it lies nowhere here.
  virtual std::string LocalPath(const std::string& sessionPath) const = 0;
};

} // namespace pellora
