#include "discovery/mail_discovery.h"

#include "discovery/prefs_js.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/ini_file.h"

#include <algorithm>

namespace pellora {
namespace {

char Delim(const TUserSession& session) {
  return session.PathStyle() == TPathStyle::Windows ? '\\' : '/';
}

std::string WithDelim(std::string path, char delim) {
  if (path.empty() || path.back() != delim) path += delim;
  return path;
}

// The user's branch of the registry: HKEY_USERS\<SID>\ on the NT family, HKEY_CURRENT_USER on the
// older one. Without a SID no key of the branch opens.
class TUserBranch {
public:
  explicit TUserBranch(const TUserSession& session) : FSession(session) {
    if (!session.IsNTFamily()) {
      FRoot = TRegistryRoot::CurrentUser;
      return;
    }
    FRoot = TRegistryRoot::Users;
    std::string sid = GetAccountSidString(session, session.UserName());
    FUsable = !sid.empty();
    FPrefix = sid + "\\";
  }
  std::unique_ptr<TRegistryKey> Open(const std::string& path) const {
    return FUsable ? FSession.Registry().OpenKey(FRoot, FPrefix + path) : nullptr;
  }

private:
  const TUserSession& FSession;
  TRegistryRoot FRoot;
  std::string FPrefix;
  bool FUsable = true;
};

// The first "%UserProfile%" (any letter case) replaced by the profile folder; nothing else.
std::string ReplaceUserProfile(const TUserSession& session, std::string text) {
  constexpr std::string_view reference = "%UserProfile%";
  size_t at = FindText(text, reference);
  if (at != std::string::npos) text.replace(at, reference.size(), GetUserProfileFolder(session));
  return text;
}

// The key of a mail program in the user's branch ("Windows Mail", "Windows Live Mail").
std::unique_ptr<TRegistryKey> OpenStoreKey(const TUserSession& session, const char* program) {
  return TUserBranch(session).Open(std::string("Software\\Microsoft\\") + program);
}

// A Thunderbird preference path: the file writes every "\" as "\\".
std::string Unescaped(const std::string& value) {
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    text += value[i];
    if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\') ++i;
  }
  return text;
}

// The mail root a preference file names, as a path of this machine; "" when neither candidate
// is an existing folder.
std::string MailRootOf(const TUserSession& session, const std::string& prefsFile) {
  const char delim = Delim(session);
  TPrefsJS prefs;
  prefs.LoadFromFile(prefsFile);
  std::string root = Unescaped(prefs.FindPref("mail.root.none").Value);
  if (!root.empty()) {
    std::string local = session.LocalPath(WithDelim(root, delim));
    if (DirectoryExists(local)) return IncludeTrailingPathDelimiter(local);
  }
  std::string server = Unescaped(prefs.FindPref("mail.server.server1.directory").Value);
  while (!server.empty() && server.back() == delim)
    server.pop_back();
  size_t cut = server.rfind(delim);
  if (cut != std::string::npos) {
    std::string local = session.LocalPath(server.substr(0, cut + 1));
    if (DirectoryExists(local)) return IncludeTrailingPathDelimiter(local);
  }
  return {};
}

} // namespace

std::string GetAccountSidString(const TUserSession& session, const std::string& accountName) {
  TSid sid;
  if (!session.LookupAccountName(accountName, sid)) return {};
  std::string text = "S-1-";
  for (uint8_t part : sid.IdentifierAuthority)
    if (part != 0) text += std::to_string(part);
  for (uint32_t sub : sid.SubAuthorities)
    text += "-" + std::to_string(sub);
  return text;
}

std::string ExpandEnvVars(const std::string& text, const std::vector<std::string>& block) {
  std::string result = text;
  for (const auto& entry : block) {
    if (entry.empty()) break;
    size_t equals = entry.find('=');
    if (equals == std::string::npos) continue;
    std::string name = entry.substr(0, equals);
    if (std::all_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
      continue;
    std::string reference = "%" + name + "%";
    size_t at = FindText(result, reference);
    if (at != std::string::npos) result.replace(at, reference.size(), entry.substr(equals + 1));
  }
  return result;
}

std::string ExpandEnvVars(const TUserSession& session, const std::string& text) {
  return ExpandEnvVars(text, session.EnvironmentBlock());
}

std::string GetUserShellFolder(const TUserSession& session, int csidl) {
  std::string folder = session.SpecialFolder(csidl);
  return folder.empty() ? folder : WithDelim(folder, Delim(session));
}

std::string GetUserProfileFolder(const TUserSession& session) {
  const char delim = Delim(session);
  std::string result;
  if (session.IsNTFamily()) {
    std::string sid = GetAccountSidString(session, session.UserName());
    std::unique_ptr<TRegistryKey> key;
    if (!sid.empty())
      key = session.Registry().OpenKey(
          TRegistryRoot::LocalMachine,
          "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid);
    std::string path;
    if (key && TryReadString(*key, "ProfileImagePath", path)) result = ExpandEnvVars(session, path);
  }
  if (result.empty()) {
    std::string desktop = session.SpecialFolder(CSIDL_DESKTOP);
    size_t cut = desktop.rfind(delim);
    if (cut != std::string::npos) result = desktop.substr(0, cut);
  }
  while (result.size() > 1 && result.back() == delim)
    result.pop_back();
  return result;
}

void ListOEIdentityStores(const TUserSession& session, std::vector<TOEIdentity>& list) {
  list.clear();
  TUserBranch branch(session);
  if (auto identities = branch.Open("Identities")) {
    std::vector<std::string> names = identities->SubKeyNames();
    identities.reset();
    for (const auto& name : names) {
      auto key = branch.Open("Identities\\" + name);
      if (!key) continue;
      int32_t ordinal = 0;
      if (!TryReadInteger(*key, "Identity Ordinal", ordinal))
        ordinal = static_cast<int32_t>(list.size() + 1);
      std::string label;
      if (!TryReadString(*key, "Username", label) || label.empty()) label = std::to_string(ordinal);
      key.reset();
      auto express =
          branch.Open("Identities\\" + name + "\\Software\\Microsoft\\Outlook Express\\5.0");
      if (!express) continue;
      std::string root;
      TryReadString(*express, "Store Root", root);
      root = ReplaceUserProfile(session, root);
      if (root.empty()) continue;
      std::string local = session.LocalPath(root);
      if (!local.empty()) list.push_back({label, IncludeTrailingPathDelimiter(local)});
    }
    return;
  }
  // No identities in the registry: the databases below the local application data tell.
  std::string appData = GetUserShellFolder(session, CSIDL_LOCAL_APPDATA);
  if (appData.empty()) return;
  std::string folder = session.LocalPath(appData + "Identities");
  if (folder.empty()) return;
  std::vector<std::string> files;
  FindFiles(folder, "*.dbx", faAnyFile, true, &files);
  for (const auto& file : files) {
    std::string dir = ExtractFilePath(file);
    if (std::none_of(list.begin(), list.end(),
                     [&](const TOEIdentity& i) { return i.Folder == dir; }))
      list.push_back({std::to_string(list.size() + 1), dir});
  }
}

std::string GetWindowsMailStore(const TUserSession& session) {
  auto key = OpenStoreKey(session, "Windows Mail");
  if (!key) return {};
  std::string root;
  ReadString(*key, "Store Root", root);
  root = ReplaceUserProfile(session, root);
  // An empty root is "not found": taken as written it would name the root of the drive.
  if (root.empty()) return {};
  return session.LocalPath(WithDelim(root, Delim(session)) + "Local Folders");
}

std::string GetWindowsLiveMailStore(const TUserSession& session) {
  auto key = OpenStoreKey(session, "Windows Live Mail");
  if (!key) return {};
  std::string root, account;
  ReadString(*key, "Store Root", root);
  ReadString(*key, "Default Mail Account", account);
  root = ReplaceUserProfile(session, root);
  if (root.empty()) return {};
  std::string local = session.LocalPath(root);
  if (local.empty()) return {};
  local = IncludeTrailingPathDelimiter(local);
  std::vector<std::string> files;
  FindFiles(local, "*.oeaccount", faAnyFile, true, &files);
  for (const auto& file : files)
    if (SameTextAscii(ExtractFileName(file), account)) return ExtractFilePath(file);
  return local;
}

std::vector<std::string> ListOutlookDataFiles(const TUserSession& session) {
  const char delim = Delim(session);
  const std::string appData = GetUserShellFolder(session, CSIDL_LOCAL_APPDATA);
  const std::string profile = GetUserProfileFolder(session);
  struct TPlace {
    std::string Folder;
    std::vector<const char*> Masks;
  };
  const TPlace places[] = {
      {appData.empty() ? "" : appData + "Microsoft" + delim + "Outlook", {"*.pst", "*.ost"}},
      {profile.empty() ? "" : profile + delim + "Documents" + delim + "Outlook Files", {"*.pst"}},
  };
  std::vector<std::string> files;
  for (const TPlace& place : places) {
    const std::string folder = place.Folder.empty() ? "" : session.LocalPath(place.Folder);
    if (folder.empty()) continue;
    std::vector<std::string> found;
    for (const char* mask : place.Masks)
      FindFiles(folder, mask, faAnyFile, false, &found);
    std::erase_if(found, [](const std::string& path) { return !FileExists(path); });
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return files;
}

void ListThunderbirdMailRoots(const TUserSession& session, std::vector<std::string>& list) {
  list.clear();
  const bool windows = session.PathStyle() == TPathStyle::Windows;
  const char delim = Delim(session);
  // Thunderbird's own folder: %APPDATA%\Thunderbird\ on Windows, ~/.thunderbird/ elsewhere.
  std::string folder = GetUserShellFolder(session, windows ? CSIDL_APPDATA : CSIDL_PROFILE);
  if (folder.empty()) return;
  folder += windows ? "Thunderbird\\" : ".thunderbird/";
  std::string iniFile = session.LocalPath(folder + "profiles.ini");
  if (!FileExists(iniFile)) return;
  TIniFile profiles(iniFile);

  std::vector<std::string> prefsFiles;
  for (int n = 0;; ++n) {
    std::string path = profiles.ReadString("Profile" + std::to_string(n), "Path", "");
    if (windows) std::replace(path.begin(), path.end(), '/', '\\');
    // An absolute path has a drive (":") on Windows and starts with "/" elsewhere.
    bool absolute = windows ? path.find(':') != std::string::npos : path.starts_with('/');
    std::string base = absolute ? WithDelim(path, delim) : folder + path;
    std::string local = session.LocalPath(base);
    if (!local.empty()) {
      local = IncludeTrailingPathDelimiter(local);
      for (const char* name : {"prefs.js.init", "prefs.js"})
        if (FileExists(local + name)) prefsFiles.push_back(local + name);
    }
    if (!prefsFiles.empty() || path.empty()) break;
  }

  for (const auto& file : prefsFiles) {
    std::string root = MailRootOf(session, file);
    if (!root.empty()) {
      list.push_back(root);
      return;
    }
  }
}

} // namespace pellora
