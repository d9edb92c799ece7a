#include "discovery/store_discovery.h"

#include "discovery/mail_discovery.h"
#include "discovery/windows_session.h"
#include "platform/files.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace pellora {
namespace {

// The Linux user's own files: no registry, only Thunderbird's folder below a home (the real one,
// or the private home of a Flatpak or Snap).
class TLinuxSession : public TUserSession {
public:
  explicit TLinuxSession(std::string home) : FHome(std::move(home)) {}
  const TRegistry& Registry() const override { return FRegistry; }
  TPathStyle PathStyle() const override { return TPathStyle::Posix; }
  std::string UserName() const override { return {}; }
  bool LookupAccountName(const std::string&, TSid&) const override { return false; }
  std::string SpecialFolder(int csidl) const override {
    return csidl == CSIDL_PROFILE ? FHome : std::string();
  }
  std::vector<std::string> EnvironmentBlock() const override { return {}; }
  std::string LocalPath(const std::string& path) const override {
    return path.starts_with('/') ? path : std::string();
  }

private:
  std::string FHome;
  TRegistry FRegistry;
};

struct TSource {
  std::string Label;
  std::unique_ptr<TUserSession> Session;
};

std::vector<TSource> OpenSources(const TDiscoveryPlaces& places) {
  std::vector<TSource> sources;
  if (!places.Home.empty()) {
    const std::string home = ExcludeTrailingPathDelimiter(places.Home);
    const std::pair<const char*, std::string> homes[] = {
        {"Linux", home},
        {"Flatpak", home + "/.var/app/org.mozilla.Thunderbird"},
        {"Snap", home + "/snap/thunderbird/common"},
    };
    for (const auto& [label, folder] : homes)
      if (DirectoryExists(folder + "/.thunderbird"))
        sources.push_back({label, std::make_unique<TLinuxSession>(folder)});
  }
  if (!places.WinePrefix.empty() && DirectoryExists(places.WinePrefix))
    sources.push_back({"Wine", OpenWinePrefix(places.WinePrefix)});
  for (const auto& profile : places.Profiles)
    sources.push_back({ExcludeTrailingPathDelimiter(profile), OpenMountedProfile(profile)});
  return sources;
}

std::vector<std::string> g_CommandLineProfiles;

} // namespace

const char* DiscoveredKindName(TDiscoveredKind kind) {
  switch (kind) {
  case dkOEIdentity:
    return "oe-identity";
  case dkWindowsMail:
    return "windows-mail";
  case dkWindowsLiveMail:
    return "windows-live-mail";
  case dkThunderbirdRoot:
    return "thunderbird-root";
  case dkOutlookDataFile:
    return "outlook-data-file";
  }
  return "";
}

TDiscoveryPlaces CurrentUserPlaces(const std::vector<std::string>& profiles) {
  TDiscoveryPlaces places;
  const char* home = std::getenv("HOME");
  if (home && *home) {
    places.Home = home;
  } else if (const passwd* user = getpwuid(getuid())) {
    places.Home = user->pw_dir ? user->pw_dir : "";
  }
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix && *prefix)
    places.WinePrefix = prefix;
  else if (!places.Home.empty())
    places.WinePrefix = IncludeTrailingPathDelimiter(places.Home) + ".wine";
  places.Profiles = profiles;
  return places;
}

std::vector<TDiscoveredStore> DiscoverStores(const TDiscoveryPlaces& places, unsigned kinds) {
  std::vector<TSource> sources = OpenSources(places);
  std::vector<TDiscoveredStore> stores;
  auto wanted = [kinds](TDiscoveredKind kind) { return (kinds & 1u << kind) != 0; };
  auto add = [&](const TSource& source, TDiscoveredKind kind, std::string label, std::string path) {
    std::string display = sources.size() > 1 ? label + " (" + source.Label + ")" : label;
    stores.push_back({kind, source.Label, std::move(label), std::move(display), std::move(path)});
  };
  for (const auto& source : sources) {
    const TUserSession& session = *source.Session;
    if (session.PathStyle() == TPathStyle::Windows) {
      if (wanted(dkOEIdentity)) {
        std::vector<TOEIdentity> identities;
        ListOEIdentityStores(session, identities);
        for (auto& identity : identities)
          add(source, dkOEIdentity, std::move(identity.Label), std::move(identity.Folder));
      }
      if (wanted(dkWindowsMail))
        if (std::string store = GetWindowsMailStore(session); !store.empty())
          add(source, dkWindowsMail, "Windows Mail", store);
      if (wanted(dkWindowsLiveMail))
        if (std::string store = GetWindowsLiveMailStore(session); !store.empty())
          add(source, dkWindowsLiveMail, "Windows Live Mail", store);
      if (wanted(dkOutlookDataFile))
        for (const std::string& file : ListOutlookDataFiles(session))
          add(source, dkOutlookDataFile, ExtractFileName(file), file);
    }
    if (wanted(dkThunderbirdRoot)) {
      std::vector<std::string> roots;
      ListThunderbirdMailRoots(session, roots);
      for (const auto& root : roots)
        add(source, dkThunderbirdRoot, ExtractFileName(ExcludeTrailingPathDelimiter(root)), root);
    }
  }
  return stores;
}

bool TakeProfileOptions(std::vector<std::string>& args, std::vector<std::string>& profiles) {
  std::vector<std::string> rest;
  bool complete = true;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--profile") {
      rest.push_back(args[i]);
    } else if (i + 1 < args.size()) {
      profiles.push_back(args[++i]);
    } else {
      complete = false;
    }
  }
  args = std::move(rest);
  return complete;
}

void SetCommandLineProfiles(std::vector<std::string> profiles) {
  g_CommandLineProfiles = std::move(profiles);
}

const std::vector<std::string>& CommandLineProfiles() {
  return g_CommandLineProfiles;
}

} // namespace pellora
