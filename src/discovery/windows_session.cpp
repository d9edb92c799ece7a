#include "discovery/windows_session.h"

#include "discovery/hive_file.h"
#include "discovery/mail_discovery.h"
#include "discovery/wine_registry.h"
#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "platform/ascii.h"
#include "platform/files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace pellora {
namespace {

// Wine gives every prefix's user this SID; a mounted profile whose SID is unknown gets it too.
constexpr const char* DefaultSid = "S-1-5-21-0-0-0-1000";

struct TWindowsPath {
  std::string Drive; // "C:"
  std::vector<std::string> Names;
};

bool ParseWindowsPath(std::string_view path, std::string_view systemDrive, TWindowsPath& parsed) {
  path = path.substr(0, path.find('\0'));
  std::string text(path);
  std::replace(text.begin(), text.end(), '/', '\\');
  std::string_view rest = text;
  if (rest.size() >= 2 && ((rest[0] | 0x20) >= 'a' && (rest[0] | 0x20) <= 'z') && rest[1] == ':') {
    parsed.Drive = {AsciiUpper(rest[0]), ':'};
    rest.remove_prefix(2);
  } else if (!rest.empty() && rest[0] == '\\' && (rest.size() < 2 || rest[1] != '\\')) {
    parsed.Drive = std::string(systemDrive);
  } else {
    return false; // relative, UNC or empty
  }
  if (parsed.Drive.size() != 2) return false;
  parsed.Names.clear();
  for (const auto& name : SplitKeyPath(rest)) {
    if (name == ".") continue;
    if (name == "..") {
      if (!parsed.Names.empty()) parsed.Names.pop_back();
      continue;
    }
    parsed.Names.push_back(name);
  }
  return true;
}

std::string DriveOf(std::string_view windowsPath) {
  if (windowsPath.size() >= 2 && windowsPath[1] == ':') return {AsciiUpper(windowsPath[0]), ':'};
  return "C:";
}

std::string JoinWindows(const std::string& drive, const std::vector<std::string>& names) {
  std::string path = drive;
  for (const auto& name : names)
    path += "\\" + name;
  return path;
}

bool HasDrive(std::string_view path) {
  return path.size() >= 2 && path[1] == ':';
}

} // namespace

std::string TFolderNames::Resolve(const std::string& folder, const std::string& name) {
  std::string exact = IncludeTrailingPathDelimiter(folder) + name;
  struct stat st {};
  if (lstat(exact.c_str(), &st) == 0) return exact;
  auto [listing, added] = FListings.try_emplace(folder);
  if (added) {
    if (DIR* dir = opendir(folder.c_str())) {
      while (dirent* entry = readdir(dir))
        listing->second.try_emplace(UpperCaseAscii(entry->d_name), entry->d_name);
      closedir(dir);
    }
  }
  auto found = listing->second.find(UpperCaseAscii(name));
  return found == listing->second.end() ? exact
                                        : IncludeTrailingPathDelimiter(folder) + found->second;
}

std::string MapWindowsPath(const std::vector<TPathMount>& mounts, std::string_view systemDrive,
                           std::string_view windowsPath, TFolderNames* names) {
  TWindowsPath path;
  if (!ParseWindowsPath(windowsPath, systemDrive, path)) return {};
  const TPathMount* best = nullptr;
  size_t bestDepth = 0;
  for (const auto& mount : mounts) {
    TWindowsPath prefix;
    if (!ParseWindowsPath(mount.WindowsPath, systemDrive, prefix) || prefix.Drive != path.Drive ||
        prefix.Names.size() > path.Names.size())
      continue;
    if (!std::equal(prefix.Names.begin(), prefix.Names.end(), path.Names.begin(), SameTextAscii))
      continue;
    if (!best || prefix.Names.size() > bestDepth) {
      best = &mount;
      bestDepth = prefix.Names.size();
    }
  }
  if (!best) return {};
  TFolderNames ownNames;
  if (!names) names = &ownNames;
  std::string local = ExcludeTrailingPathDelimiter(best->LocalFolder);
  for (size_t i = bestDepth; i < path.Names.size(); ++i)
    local = names->Resolve(local, path.Names[i]);
  return local;
}

TWindowsSession::TWindowsSession(TWindowsSessionSetup setup) : FSetup(std::move(setup)) {
  FSystemDrive = DriveOf(FSetup.SystemRoot);
  if (FSetup.NTFamily && !FSetup.Sid.empty())
    FRegistry.Mount(TRegistryRoot::Users, FSetup.Sid, FSetup.UserHive);
  FRegistry.Mount(TRegistryRoot::CurrentUser, "", FSetup.UserHive);
  FRegistry.Mount(TRegistryRoot::LocalMachine, FSetup.MachineHiveKey, FSetup.MachineHive);

  // What Windows sets at every logon; the block is sorted by name, as Windows keeps it.
  std::string profile = FSetup.ProfilePath;
  std::vector<std::pair<std::string, std::string>> variables = {
      {"SystemDrive", FSystemDrive},
      {"SystemRoot", FSetup.SystemRoot},
      {"windir", FSetup.SystemRoot},
      {"USERPROFILE", profile},
      {"HOMEDRIVE", DriveOf(profile)},
      {"HOMEPATH", HasDrive(profile) ? profile.substr(2) : profile},
      {"USERNAME", FSetup.UserName},
  };
  auto block = [&variables] {
    std::vector<std::string> entries;
    for (const auto& [name, value] : variables)
      entries.push_back(name + "=" + value);
    return entries;
  };
  FFolders[CSIDL_PROFILE] = profile;
  FFolders[CSIDL_DESKTOP] = ShellFolder("Desktop", block());
  FFolders[CSIDL_APPDATA] = ShellFolder("AppData", block());
  FFolders[CSIDL_LOCAL_APPDATA] = ShellFolder("Local AppData", block());
  variables.emplace_back("APPDATA", FFolders[CSIDL_APPDATA]);
  variables.emplace_back("LOCALAPPDATA", FFolders[CSIDL_LOCAL_APPDATA]);

  std::sort(variables.begin(), variables.end(), [](const auto& a, const auto& b) {
    return std::lexicographical_compare(
        a.first.begin(), a.first.end(), b.first.begin(), b.first.end(),
        [](char x, char y) { return AsciiUpper(x) < AsciiUpper(y); });
  });
  FEnvironment = block();
}

std::string TWindowsSession::ShellFolder(const char* valueName,
                                         const std::vector<std::string>& environment) const {
  const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  std::string folder;
  for (const char* keyName : {"User Shell Folders", "Shell Folders"}) {
    auto key = FRegistry.OpenKey(TRegistryRoot::CurrentUser, explorer + keyName);
    std::string value;
    if (key && TryReadString(*key, valueName, value)) value = ExpandEnvVars(value, environment);
    if (HasDrive(value)) {
      folder = value;
      break;
    }
  }
  if (folder.empty()) {
    // Where Windows puts the folder: Vista and later below "AppData", XP below the profile.
    const std::string& profile = FSetup.ProfilePath;
    bool vista = !DirectoryExists(LocalPath(profile + "\\Local Settings")) ||
                 DirectoryExists(LocalPath(profile + "\\AppData"));
    std::string name = valueName;
    if (name == "Desktop")
      folder = profile + "\\Desktop";
    else if (name == "AppData")
      folder = profile + (vista ? "\\AppData\\Roaming" : "\\Application Data");
    else
      folder = profile + (vista ? "\\AppData\\Local" : "\\Local Settings\\Application Data");
  }
  while (folder.size() > 3 && folder.back() == '\\')
    folder.pop_back();
  return folder;
}

bool TWindowsSession::LookupAccountName(const std::string& name, TSid& sid) const {
  return !name.empty() && SameTextAscii(name, FSetup.UserName) && ParseSidString(FSetup.Sid, sid);
}

std::string TWindowsSession::SpecialFolder(int csidl) const {
  auto found = FFolders.find(csidl);
  return found == FFolders.end() ? std::string() : found->second;
}

std::string TWindowsSession::LocalPath(const std::string& sessionPath) const {
  return MapWindowsPath(FSetup.Mounts, FSystemDrive, sessionPath, &FNames);
}

namespace {

// The drives of a Wine prefix: its dosdevices links ("c:" -> "../drive_c", "z:" -> "/").
std::vector<TPathMount> WineDrives(const std::string& prefix) {
  std::vector<TPathMount> mounts;
  std::string devices = prefix + "/dosdevices";
  if (DIR* dir = opendir(devices.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() != 2 || name[1] != ':' || (name[0] | 0x20) < 'a' || (name[0] | 0x20) > 'z')
        continue;
      char target[4096];
      ssize_t length = readlink((devices + "/" + name).c_str(), target, sizeof target - 1);
      if (length <= 0) continue;
      std::filesystem::path link(std::string(target, static_cast<size_t>(length)));
      if (link.is_relative()) link = std::filesystem::path(devices) / link;
      mounts.push_back({std::string{AsciiUpper(name[0]), ':'}, link.lexically_normal().string()});
    }
    closedir(dir);
  }
  std::sort(mounts.begin(), mounts.end(),
            [](const auto& a, const auto& b) { return a.WindowsPath < b.WindowsPath; });
  if (std::none_of(mounts.begin(), mounts.end(),
                   [](const auto& m) { return m.WindowsPath == "C:"; }))
    mounts.push_back({"C:", prefix + "/drive_c"});
  return mounts;
}

// Wine names the profile after the Unix user; the one user folder of the prefix tells otherwise.
std::string WineUserName(const std::string& prefix) {
  const char* unixUser = std::getenv("USER");
  std::string users = prefix + "/drive_c/users";
  if (unixUser && *unixUser && DirectoryExists(users + "/" + unixUser)) return unixUser;
  std::vector<std::string> folders;
  FindFiles(users, "*", faDirectory, false, &folders);
  std::erase_if(folders, [](const std::string& f) {
    std::string name = ExtractFileName(f);
    return SameTextAscii(name, "Public") || SameTextAscii(name, "Default") ||
           SameTextAscii(name, "All Users") || SameTextAscii(name, "Default User");
  });
  if (folders.size() == 1) return ExtractFileName(folders[0]);
  return unixUser ? unixUser : "";
}

// The last name of a key path ("\User\S-1-5-21-..." gives the SID).
std::string LastKeyName(std::string_view path) {
  std::vector<std::string> names = SplitKeyPath(path);
  return names.empty() ? std::string() : names.back();
}

std::vector<std::string> SystemBlock(const std::string& systemRoot) {
  return {"SystemDrive=" + DriveOf(systemRoot), "SystemRoot=" + systemRoot};
}

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\')
    path.pop_back();
  return path;
}

} // namespace

std::unique_ptr<TWindowsSession> OpenWinePrefix(const std::string& prefixFolder) {
  std::string prefix = ExcludeTrailingPathDelimiter(prefixFolder);
  TWineRegistryFile user = LoadWineRegistry(prefix + "/user.reg");
  TWineRegistryFile system = LoadWineRegistry(prefix + "/system.reg");
  TWindowsSessionSetup setup;
  setup.UserHive = user.Hive;
  setup.MachineHive = system.Hive;
  TSid sid;
  setup.Sid = LastKeyName(user.RelativeTo);
  if (!ParseSidString(setup.Sid, sid)) setup.Sid = DefaultSid;
  setup.Mounts = WineDrives(prefix);

  std::string value;
  auto version = system.Hive->OpenKey("Software\\Microsoft\\Windows NT\\CurrentVersion");
  setup.SystemRoot = version && TryReadString(*version, "SystemRoot", value) && HasDrive(value)
                         ? WithoutTrailingBackslash(value)
                         : "C:\\windows";
  std::string profile;
  if (auto entry = system.Hive->OpenKey(
          "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + setup.Sid))
    if (TryReadString(*entry, "ProfileImagePath", value))
      profile = ExpandEnvVars(value, SystemBlock(setup.SystemRoot));
  if (!HasDrive(profile)) profile = "C:\\users\\" + WineUserName(prefix);
  setup.ProfilePath = WithoutTrailingBackslash(profile);
  setup.UserName = LastKeyName(setup.ProfilePath);
  return std::make_unique<TWindowsSession>(std::move(setup));
}

std::unique_ptr<TWindowsSession> OpenMountedProfile(const std::string& profileFolder) {
  if (!DirectoryExists(profileFolder))
    throw EPelloraError(FormatText(GetLocalizedText("lc_FolderNotExists"), {profileFolder}));
  std::string profile = ExcludeTrailingPathDelimiter(
      std::filesystem::absolute(profileFolder).lexically_normal().string());
  std::string name = ExtractFileName(profile);
  std::string parent = ExcludeTrailingPathDelimiter(ExtractFilePath(profile));
  std::string parentName = ExtractFileName(parent);
  // The profile lies in the disk's "Users" (Vista and later) or "Documents and Settings" (XP).
  std::string disk;
  if (SameTextAscii(parentName, "Users") || SameTextAscii(parentName, "Documents and Settings"))
    disk = ExcludeTrailingPathDelimiter(ExtractFilePath(parent));

  TFolderNames names;
  TWindowsSessionSetup setup;
  setup.UserHive = THiveFile::Open(names.Resolve(profile, "NTUSER.DAT"));
  setup.MachineHiveKey = "SOFTWARE";
  std::string windowsFolder = "Windows";
  for (const char* candidate : {"Windows", "WINNT"}) {
    std::string folder = disk.empty() ? std::string() : names.Resolve(disk, candidate);
    if (!DirectoryExists(folder)) continue;
    windowsFolder = ExtractFileName(folder);
    std::string config = names.Resolve(names.Resolve(folder, "System32"), "config");
    setup.MachineHive = THiveFile::Open(names.Resolve(config, "SOFTWARE"));
    break;
  }

  std::string value;
  auto version = setup.MachineHive
                     ? setup.MachineHive->OpenKey("Microsoft\\Windows NT\\CurrentVersion")
                     : nullptr;
  setup.SystemRoot = version && TryReadString(*version, "SystemRoot", value) && HasDrive(value)
                         ? WithoutTrailingBackslash(value)
                         : "C:\\" + windowsFolder;
  const std::string systemDrive = DriveOf(setup.SystemRoot);

  // The profile's SID and Windows path: the entry of the machine's profile list that names it.
  std::string windowsProfile;
  const std::string profileList = "Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  if (auto list = setup.MachineHive ? setup.MachineHive->OpenKey(profileList) : nullptr) {
    for (const auto& sidName : list->SubKeyNames()) {
      auto entry = setup.MachineHive->OpenKey(profileList + "\\" + sidName);
      TWindowsPath path;
      if (!entry || !TryReadString(*entry, "ProfileImagePath", value) ||
          !ParseWindowsPath(ExpandEnvVars(value, SystemBlock(setup.SystemRoot)), systemDrive, path))
        continue;
      size_t n = path.Names.size();
      if (n >= 2 && SameTextAscii(path.Names[n - 1], name) &&
          SameTextAscii(path.Names[n - 2], parentName)) {
        setup.Sid = sidName;
        windowsProfile = JoinWindows(path.Drive, path.Names);
        break;
      }
    }
  }
  TSid sid;
  if (!ParseSidString(setup.Sid, sid)) setup.Sid = DefaultSid;
  if (windowsProfile.empty() && !disk.empty())
    windowsProfile = systemDrive + "\\" + parentName + "\\" + name;
  if (windowsProfile.empty() && setup.UserHive) {
    // Without the disk, the user's own desktop folder tells where the profile was.
    auto folders = setup.UserHive->OpenKey(
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    TWindowsPath desktop;
    if (folders && TryReadString(*folders, "Desktop", value) &&
        ParseWindowsPath(value, systemDrive, desktop) && desktop.Names.size() >= 2) {
      desktop.Names.pop_back();
      windowsProfile = JoinWindows(desktop.Drive, desktop.Names);
    }
  }
  if (windowsProfile.empty()) windowsProfile = systemDrive + "\\Users\\" + name;

  setup.ProfilePath = windowsProfile;
  setup.UserName = name;
  setup.Mounts.push_back({windowsProfile, profile});
  if (!disk.empty()) setup.Mounts.push_back({systemDrive, disk});
  return std::make_unique<TWindowsSession>(std::move(setup));
}

} // namespace pellora
