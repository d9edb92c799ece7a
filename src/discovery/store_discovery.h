#pragma once
// Every store that the mail programs of the user who runs Pellora keep, from every place a Linux
// user's mail lives: their own Thunderbird (also as Flatpak or Snap), a Wine prefix, and Windows
// profile folders on mounted disks that the user names.
#include <cstdint>
#include <string>
#include <vector>

namespace pellora {

enum TDiscoveredKind : uint8_t {
  dkOEIdentity = 0,      // an Outlook Express identity's folder of databases
  dkWindowsMail = 1,     // the Windows Mail "Local Folders" folder
  dkWindowsLiveMail = 2, // the default Windows Live Mail account's folder, or the store root
  dkThunderbirdRoot = 3, // a Thunderbird mail root
  dkOutlookDataFile = 4, // an Outlook personal folder file (.pst) or offline folder file (.ost)
};
// "oe-identity", "windows-mail", "windows-live-mail", "thunderbird-root", "outlook-data-file".
const char* DiscoveredKindName(TDiscoveredKind kind);

struct TDiscoveredStore {
  TDiscoveredKind Kind = dkOEIdentity;
  std::string Source;       // "Linux", "Flatpak", "Snap", "Wine", or the profile folder's path
  std::string Label;        // the identity's label, "Windows Mail", "Windows Live Mail", or the
                            // mail root's folder name, or the data file's name
  std::string DisplayLabel; // Label, with " (Source)" after it when several sources are present
  std::string Path;         // a folder (identities and mail roots end with "/", Windows Mail not),
                            // or an Outlook data file
};

struct TDiscoveryPlaces {
  std::string Home;                  // the Linux user's home; "" for none
  std::string WinePrefix;            // used when the folder exists
  std::vector<std::string> Profiles; // Windows profile folders on mounted disks
};
// $HOME, and $WINEPREFIX or ~/.wine, with the given profile folders.
TDiscoveryPlaces CurrentUserPlaces(const std::vector<std::string>& profiles);

// One bit (1 << kind) per kind to look for.
constexpr unsigned AllDiscoveredKinds = 0x1F;
// Results by source (Linux, Flatpak, Snap, Wine, the profiles in order), then by kind in the
// order of TDiscoveredKind. Texts are UTF-8 and paths are this machine's. A profile folder that
// does not exist raises "Folder %s does not exist."; the errors of the discovery routines
// (a registry value of the wrong type, a preference file that cannot be opened) go through.
std::vector<TDiscoveredStore> DiscoverStores(const TDiscoveryPlaces& places,
                                             unsigned kinds = AllDiscoveredKinds);

// Takes every "--profile DIR" out of args and appends DIR to profiles; false when the last
// "--profile" has no folder after it (it is taken out all the same).
bool TakeProfileOptions(std::vector<std::string>& args, std::vector<std::string>& profiles);
// The profile folders the viewer was started with, kept for the store browser.
void SetCommandLineProfiles(std::vector<std::string> profiles);
const std::vector<std::string>& CommandLineProfiles();

} // namespace pellora
