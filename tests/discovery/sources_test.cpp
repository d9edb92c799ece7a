// The places a Linux user's mail is found in: Windows profiles on a mounted disk, a Wine prefix,
// Thunderbird in the home folder; and all of them listed together.
#include "discovery/mail_discovery.h"
#include "discovery/store_discovery.h"
#include "discovery/windows_session.h"
#include "platform/pellora_error.h"
#include "support/discovery_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace pellora;
using pellora::test::TTempDir;

namespace {

struct TRow {
  std::string Kind, Source, Label, Path;
  bool operator==(const TRow&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TRow& row) {
  return out << row.Kind << " | " << row.Source << " | " << row.Label << " | " << row.Path;
}

std::vector<TRow> Rows(const std::vector<TDiscoveredStore>& stores) {
  std::vector<TRow> rows;
  for (const auto& s : stores)
    rows.push_back({DiscoveredKindName(s.Kind), s.Source, s.Label, s.Path});
  return rows;
}

TDiscoveryPlaces Places(const std::string& home, const std::string& wine,
                        std::vector<std::string> profiles) {
  return {home, wine, std::move(profiles)};
}

} // namespace

TEST(WindowsPaths, MappedOntoTheirMounts) {
  TTempDir dir;
  const std::string disk = dir.MakeDir("disk");
  dir.MakeDir("disk/Documents and Settings/ann/Local Settings");
  dir.MakeDir("profile");
  const std::vector<TPathMount> mounts = {{"C:\\Documents and Settings\\Ann", dir / "profile/"},
                                          {"c:", disk}};
  struct Case {
    const char* windows;
    std::string local; // "" when the path lies nowhere here
  } cases[] = {
      {"C:\\Documents and Settings\\ann\\x", dir / "profile/x"}, // the longer mount wins
      {"C:/DOCUMENTS AND SETTINGS/ANN", dir / "profile"},
      {"C:\\Documents and Settings\\bob", disk + "/Documents and Settings/bob"},
      {"c:\\documents and settings\\BOB\\local settings",
       disk + "/Documents and Settings/BOB/local settings"},
      {"C:\\x\\..\\..\\..\\..\\etc\\passwd", disk + "/etc/passwd"}, // never above the drive
      {"C:\\Documents and Settings\\ann\\..\\..\\x", disk + "/x"},
      {"C:\\.\\a\\.\\b\\", disk + "/a/b"},
      {"\\Windows", disk + "/Windows"}, // the system drive
      {"C:", disk},
      {"D:\\x", ""},
      {"relative\\x", ""},
      {"\\\\server\\share\\x", ""},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MapWindowsPath(mounts, "C:", c.windows), c.local) << c.windows;
  // Letter case of existing names comes from the disk.
  EXPECT_EQ(
      MapWindowsPath({{"C:", disk}}, "C:", "C:\\DOCUMENTS AND SETTINGS\\ANN\\local settings\\y"),
      disk + "/Documents and Settings/ann/Local Settings/y");
}

TEST(MountedProfile, WindowsXP) {
  TTempDir dir;
  const std::string profile = test::WriteXPProfile(dir / "xp");
  auto session = OpenMountedProfile(profile + "/");
  // The profile list of the disk's SOFTWARE hive names the SID and where Windows had the profile.
  EXPECT_EQ(session->Setup().Sid, "S-1-5-21-111-222-333-1003");
  EXPECT_EQ(GetUserProfileFolder(*session), "C:\\Documents and Settings\\ann");
  EXPECT_EQ(session->Setup().SystemRoot, "C:\\WINDOWS");

  const std::string local = profile + "/Local Settings/Application Data/Identities/";
  std::vector<TOEIdentity> identities;
  ListOEIdentityStores(*session, identities);
  ASSERT_EQ(identities.size(), 2u);
  EXPECT_EQ(identities[0].Label, "Main Identity");
  EXPECT_EQ(identities[0].Folder,
            local + "{1B2C3D4E-0000-0000-0000-000000000001}/Microsoft/Outlook Express/");
  EXPECT_EQ(identities[1].Label, "Work");
  EXPECT_EQ(identities[1].Folder,
            local + "{1B2C3D4E-0000-0000-0000-000000000002}/Microsoft/Outlook Express/");
  EXPECT_EQ(GetWindowsMailStore(*session), "");
  EXPECT_EQ(GetWindowsLiveMailStore(*session), "");
  std::vector<std::string> roots;
  ListThunderbirdMailRoots(*session, roots);
  // Written "ANN\...\profiles" in the preferences; spelled as on the disk.
  EXPECT_EQ(roots, std::vector<std::string>{
                       profile + "/Application Data/Thunderbird/Profiles/k3j2.default/Mail/"});
}

TEST(MountedProfile, Windows7) {
  TTempDir dir;
  const std::string profile = test::WriteWindows7Profile(dir / "w7");
  auto session = OpenMountedProfile(profile);
  EXPECT_EQ(session->Setup().Sid, "S-1-5-21-444-555-666-1001");
  EXPECT_EQ(GetUserProfileFolder(*session), "C:\\Users\\bob");
  std::vector<TOEIdentity> identities;
  ListOEIdentityStores(*session, identities);
  EXPECT_TRUE(identities.empty());
  EXPECT_EQ(GetWindowsMailStore(*session),
            profile + "/AppData/Local/Microsoft/Windows Mail/Local Folders");
  EXPECT_EQ(GetWindowsLiveMailStore(*session),
            profile + "/AppData/Local/Microsoft/Windows Live Mail/Hotmail (bob)/Sub/");
  std::vector<std::string> roots;
  ListThunderbirdMailRoots(*session, roots);
  EXPECT_EQ(roots, std::vector<std::string>{profile +
                                            "/AppData/Roaming/Thunderbird/Profiles/x9.work/Mail/"});
}

TEST(MountedProfile, WithoutReadableHives) {
  TTempDir dir;
  const std::string profile = test::WriteXPProfile(dir / "xp");
  test::WriteFileAt(profile + "/NTUSER.DAT", std::string(8192, '\0'));
  std::filesystem::remove(dir / "xp/WINDOWS/system32/config/software");
  auto session = OpenMountedProfile(profile);
  // The walk on disk finds the identities' databases; labels are their numbers.
  std::vector<TOEIdentity> identities;
  ListOEIdentityStores(*session, identities);
  ASSERT_EQ(identities.size(), 2u);
  EXPECT_EQ(identities[0].Label, "1");
  EXPECT_EQ(identities[1].Label, "2");
  EXPECT_TRUE(
      identities[0].Folder.starts_with(profile + "/Local Settings/Application Data/Identities/{"));
  EXPECT_EQ(GetUserProfileFolder(*session), "C:\\Documents and Settings\\ann");
  std::vector<std::string> roots;
  ListThunderbirdMailRoots(*session, roots);
  EXPECT_EQ(roots.size(), 1u);

  // A profile folder outside "Users" or "Documents and Settings": only the profile is mapped.
  std::filesystem::rename(profile, dir / "ann");
  auto moved = OpenMountedProfile(dir / "ann");
  ListOEIdentityStores(*moved, identities);
  EXPECT_EQ(identities.size(), 2u);
  EXPECT_EQ(moved->LocalPath("C:\\Windows"), "");

  EXPECT_EQ(
      [&] {
        try {
          OpenMountedProfile(dir / "none");
        } catch (const EPelloraError& e) {
          return std::string(e.what());
        }
        return std::string();
      }(),
      "Folder " + dir / "none" + " does not exist.");
}

TEST(WinePrefix, RegistryFilesAndDrives) {
  TTempDir dir;
  const std::string prefix = test::WriteWinePrefix(dir / "wine");
  auto session = OpenWinePrefix(prefix);
  EXPECT_EQ(session->Setup().Sid, "S-1-5-21-0-0-0-1000");
  EXPECT_EQ(session->UserName(), "carol");
  EXPECT_EQ(GetUserProfileFolder(*session), "C:\\users\\carol");
  EXPECT_EQ(session->LocalPath("Z:\\etc\\hostname"), "/etc/hostname");
  EXPECT_EQ(session->LocalPath("c:\\USERS\\carol"), prefix + "/drive_c/users/carol");

  const std::string carol = prefix + "/drive_c/users/carol";
  std::vector<TOEIdentity> identities;
  ListOEIdentityStores(*session, identities);
  ASSERT_EQ(identities.size(), 1u);
  EXPECT_EQ(identities[0].Label, "Carol \"C\" \xC3\x9Cnal");
  EXPECT_EQ(identities[0].Folder,
            carol + "/AppData/Local/Identities/"
                    "{3C4D5E6F-0000-0000-0000-000000000003}/Microsoft/Outlook Express/");
  EXPECT_EQ(GetWindowsMailStore(*session), "");
  EXPECT_EQ(GetWindowsLiveMailStore(*session),
            carol + "/AppData/Local/Microsoft/Windows Live Mail/");

  // Without system.reg and dosdevices: the SID of user.reg, drive C: in drive_c, the one user.
  std::filesystem::remove(prefix + "/system.reg");
  std::filesystem::remove_all(prefix + "/dosdevices");
  auto bare = OpenWinePrefix(prefix);
  EXPECT_EQ(bare->LocalPath("C:\\users\\carol"), carol);
  ListOEIdentityStores(*bare, identities);
  EXPECT_EQ(identities.size(), 1u);
}

TEST(StoreDiscovery, EverySourceTogether) {
  TTempDir dir;
  const std::string home = dir.MakeDir("home");
  test::WriteLinuxThunderbird(home);
  const std::string wine = test::WriteWinePrefix(dir / "wine");
  const std::string xp = test::WriteXPProfile(dir / "xp");
  const std::string w7 = test::WriteWindows7Profile(dir / "w7");
  const std::string own = home + "/.thunderbird/abcd.default-release/Mail/";
  const std::string flat =
      home + "/.var/app/org.mozilla.Thunderbird/.thunderbird/flat.default/Mail/";
  const std::string carol = wine + "/drive_c/users/carol/AppData/Local/";
  const std::string xpIds =
      xp + "/Local Settings/Application Data/Identities/{1B2C3D4E-0000-0000-0000-00000000000";
  const std::string w7Local = w7 + "/AppData/Local/Microsoft/";

  auto stores = DiscoverStores(Places(home, wine, {xp, w7 + "/"}));
  EXPECT_EQ(
      Rows(stores),
      (std::vector<TRow>{
          {"thunderbird-root", "Linux", "Mail", own},
          {"thunderbird-root", "Flatpak", "Mail", flat},
          {"oe-identity", "Wine", "Carol \"C\" \xC3\x9Cnal",
           carol + "Identities/{3C4D5E6F-0000-0000-0000-000000000003}/Microsoft/Outlook Express/"},
          {"windows-live-mail", "Wine", "Windows Live Mail",
           carol + "Microsoft/Windows Live Mail/"},
          {"oe-identity", xp, "Main Identity", xpIds + "1}/Microsoft/Outlook Express/"},
          {"oe-identity", xp, "Work", xpIds + "2}/Microsoft/Outlook Express/"},
          {"thunderbird-root", xp, "Mail",
           xp + "/Application Data/Thunderbird/Profiles/k3j2.default/Mail/"},
          {"windows-mail", w7, "Windows Mail", w7Local + "Windows Mail/Local Folders"},
          {"windows-live-mail", w7, "Windows Live Mail",
           w7Local + "Windows Live Mail/Hotmail (bob)/Sub/"},
          {"thunderbird-root", w7, "Mail",
           w7 + "/AppData/Roaming/Thunderbird/Profiles/x9.work/Mail/"},
      }));
  EXPECT_EQ(stores[0].DisplayLabel, "Mail (Linux)");
  EXPECT_EQ(stores[4].DisplayLabel, "Main Identity (" + xp + ")");

  // Only the kinds asked for; one source needs no source in its labels.
  stores = DiscoverStores(Places("", "", {w7}), 1u << dkWindowsMail);
  ASSERT_EQ(stores.size(), 1u);
  EXPECT_EQ(stores[0].DisplayLabel, "Windows Mail");

  EXPECT_TRUE(DiscoverStores(Places(dir.MakeDir("empty"), dir / "nowine", {})).empty());
  EXPECT_THROW(DiscoverStores(Places("", "", {dir / "missing"})), EPelloraError);
}

TEST(StoreDiscovery, ProfileOptions) {
  struct Case {
    std::vector<std::string> args, rest, profiles;
    bool complete;
  } cases[] = {
      {{"a.eml", "--profile", "/m/Users/ann", "b.dbx"}, {"a.eml", "b.dbx"}, {"/m/Users/ann"}, true},
      {{"--profile", "x.eml", "--profile", "/p2"},
       {},
       {"x.eml", "/p2"},
       true}, // never a path to open
      {{"a.eml", "--profile"}, {"a.eml"}, {}, false},
      {{"--json"}, {"--json"}, {}, true},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args, profiles;
    EXPECT_EQ(TakeProfileOptions(args, profiles), c.complete);
    EXPECT_EQ(args, c.rest);
    EXPECT_EQ(profiles, c.profiles);
  }
  SetCommandLineProfiles({"/m/Users/ann"});
  EXPECT_EQ(CommandLineProfiles(), std::vector<std::string>{"/m/Users/ann"});
  SetCommandLineProfiles({});
}

TEST(StoreDiscovery, OutlookDataFiles) {
  TTempDir dir;
  const std::string xp = test::WriteXPProfile(dir / "xp");
  const std::string w7 = test::WriteWindows7Profile(dir / "w7");
  const std::string xpOutlook = xp + "/Local Settings/Application Data/Microsoft/Outlook/";
  const std::string w7Outlook = w7 + "/AppData/Local/Microsoft/Outlook/";
  const std::string w7Files = w7 + "/Documents/Outlook Files/";
  for (const std::string& path :
       {xpOutlook + "outlook.pst", w7Outlook + "bob@example.org.ost", w7Outlook + "Archive.PST",
        w7Outlook + "notes.txt", w7Outlook + "extend.dat", w7Files + "Old mail.pst",
        w7Files + "copy.ost"})
    dir.Write(path.substr(dir.Path().size() + 1), "!BDN");
  std::filesystem::create_directories(w7Outlook + "folder.pst"); // a folder is no data file

  EXPECT_EQ(Rows(DiscoverStores(Places("", "", {xp, w7}), 1u << dkOutlookDataFile)),
            (std::vector<TRow>{
                {"outlook-data-file", xp, "outlook.pst", xpOutlook + "outlook.pst"},
                {"outlook-data-file", w7, "Archive.PST", w7Outlook + "Archive.PST"},
                {"outlook-data-file", w7, "bob@example.org.ost", w7Outlook + "bob@example.org.ost"},
                {"outlook-data-file", w7, "Old mail.pst", w7Files + "Old mail.pst"},
            }));
  // Among the other stores, after them within each source.
  auto all = Rows(DiscoverStores(Places("", "", {w7})));
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all[2].Kind, "outlook-data-file");
}
