#pragma once
// A Windows user's session as found on this machine: a Wine prefix or a Windows profile folder on
// a mounted disk. Its registry, special folders and environment are the ones Windows would give
// that user; its Windows paths are mapped onto the folders that hold them here.
#include "discovery/user_session.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pellora {

// A Windows folder ("C:" for a whole drive) and the folder of this machine that holds it.
struct TPathMount {
  std::string WindowsPath;
  std::string LocalFolder;
};

// Names of this machine's folders spelled as Windows would find them, without regard to ASCII
// case (a Linux file system tells letter case apart, Windows not). A folder is listed once, the
// first time a name in it is not found as spelled; the listing is kept for the object's life.
class TFolderNames {
public:
  // folder/name, with name spelled as the folder's entry that matches it when there is no exact
  // match; folder/name as given when no entry matches.
  std::string Resolve(const std::string& folder, const std::string& name);

private:
  // Per folder: its entries by upper-case name, the first of names that differ only in case.
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> FListings;
};

// windowsPath ("\" or "/" between names) as a path of this machine, without trailing delimiter:
// "." and ".." are resolved first, never above the drive's root, so a value cannot lead out of
// its mount; then the mount with the longest matching prefix is taken and each further name is
// matched to the letter case found on disk, through names when given (its listings are kept
// for the next paths). A path without drive is on systemDrive; a relative or UNC path, or one
// that no mount holds, gives "".
std::string MapWindowsPath(const std::vector<TPathMount>& mounts, std::string_view systemDrive,
                           std::string_view windowsPath, TFolderNames* names = nullptr);

struct TWindowsSessionSetup {
  std::shared_ptr<const THive> UserHive;    // the user's branch (NTUSER.DAT, user.reg)
  std::shared_ptr<const THive> MachineHive; // the machine's keys
  std::string MachineHiveKey;               // where MachineHive lies below HKEY_LOCAL_MACHINE
  std::string Sid;
  std::string UserName;
  std::string ProfilePath; // Windows path of the user's profile folder
  std::string SystemRoot = "C:\\Windows";
  std::vector<TPathMount> Mounts;
  bool NTFamily = true;
};

class TWindowsSession : public TUserSession {
public:
  explicit TWindowsSession(TWindowsSessionSetup setup);

  const TRegistry& Registry() const override { return FRegistry; }
  bool IsNTFamily() const override { return FSetup.NTFamily; }
  TPathStyle PathStyle() const override { return TPathStyle::Windows; }
  std::string UserName() const override { return FSetup.UserName; }
  bool LookupAccountName(const std::string& name, TSid& sid) const override;
  std::string SpecialFolder(int csidl) const override;
  std::vector<std::string> EnvironmentBlock() const override { return FEnvironment; }
  std::string LocalPath(const std::string& sessionPath) const override;

  const TWindowsSessionSetup& Setup() const { return FSetup; }

private:
  std::string ShellFolder(const char* valueName, const std::vector<std::string>& environment) const;

  TWindowsSessionSetup FSetup;
  std::string FSystemDrive;
  TRegistry FRegistry;
  std::vector<std::string> FEnvironment;
  std::map<int, std::string> FFolders;
  mutable TFolderNames FNames; // a session lives for one pass of discovery
};

// The session of a Wine prefix: user.reg shown as the user's branch, system.reg as the machine,
// drives as the prefix's dosdevices links give them.
std::unique_ptr<TWindowsSession> OpenWinePrefix(const std::string& prefix);
// The session of a Windows profile folder on a mounted disk (".../Users/ann",
// ".../Documents and Settings/ann"): its NTUSER.DAT and the disk's SOFTWARE hive when readable,
// the profile and the disk mapped where Windows had them. Raises "Folder %s does not exist."
// when the folder is not there.
std::unique_ptr<TWindowsSession> OpenMountedProfile(const std::string& profileFolder);

} // namespace pellora
