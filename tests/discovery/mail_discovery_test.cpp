// The discovery routines against an in-memory registry, with the session's C: and D: drives
// mapped onto temporary folders.
#include "discovery/mail_discovery.h"
#include "discovery/windows_session.h"
#include "platform/files.h"
#include "platform/pellora_error.h"
#include "support/discovery_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

using namespace pellora;
using pellora::test::TTempDir;
using pellora::test::WriteFileAt;

namespace {

const char* const ProfileListKey =
    "Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-1-2-3-1001";
const char* const UserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char* const ShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const OEKey = "\\Software\\Microsoft\\Outlook Express\\5.0";

// User user1 of an XP machine: profile C:\Documents and Settings\user1.
struct TFakeWindows {
  TTempDir Dir;
  std::shared_ptr<TMemoryHive> User = std::make_shared<TMemoryHive>();
  std::shared_ptr<TMemoryHive> Machine = std::make_shared<TMemoryHive>();
  TWindowsSessionSetup Setup;

  TFakeWindows() {
    Setup.UserHive = User;
    Setup.MachineHive = Machine;
    Setup.MachineHiveKey = "SOFTWARE";
    Setup.Sid = "S-1-5-21-1-2-3-1001";
    Setup.UserName = "user1";
    Setup.ProfilePath = "C:\\Documents and Settings\\user1";
    Setup.SystemRoot = "C:\\WINDOWS";
    Setup.Mounts = {{"C:", Dir / "c"}, {"D:", Dir / "d"}};
    Machine->SetString(ProfileListKey, "ProfileImagePath",
                       "%systemdrive%\\Documents and Settings\\user1", REG_EXPAND_SZ);
    User->SetString(UserShellFolders, "AppData", "%USERPROFILE%\\Application Data", REG_EXPAND_SZ);
    User->SetString(UserShellFolders, "Local AppData",
                    "%USERPROFILE%\\Local Settings\\Application Data", REG_EXPAND_SZ);
  }
  // The session reads its special folders when made: fill the registry first.
  std::unique_ptr<TWindowsSession> Session() const {
    return std::make_unique<TWindowsSession>(Setup);
  }
  // The local path of a path on C: (written with "/").
  std::string C(std::string_view rest) const { return Dir / ("c/" + std::string(rest)); }
  std::string Profile(std::string_view rest) const {
    return C("Documents and Settings/user1/" + std::string(rest));
  }
};

using TLines = std::vector<std::pair<std::string, std::string>>;

TLines Identities(const TUserSession& session) {
  std::vector<TOEIdentity> list = {{"stale", "/x/"}};
  ListOEIdentityStores(session, list);
  TLines lines;
  for (const auto& i : list)
    lines.emplace_back(i.Label, i.Folder);
  return lines;
}

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EPelloraError& e) {
    return e.what();
  }
  return "<none>";
}

} // namespace

TEST(MailDiscovery, OEIdentitiesFromTheRegistry) {
  const std::string oeRoot = "%UserProfile%\\Local Settings\\Application Data\\Identities\\{X}"
                             "\\Microsoft\\Outlook Express";
  const std::string oeFolder =
      "Local Settings/Application Data/Identities/{X}/Microsoft/Outlook Express/";
  struct Case {
    const char* what;
    std::function<void(TMemoryHive&)> fill;
    std::function<TLines(const TFakeWindows&)> expected;
  } cases[] = {
      {"label and %UserProfile%",
       [&](TMemoryHive& h) {
         h.SetString("Identities\\{X}", "Username", "Main Identity");
         h.SetString(std::string("Identities\\{X}") + OEKey, "Store Root", oeRoot, REG_EXPAND_SZ);
       },
       [&](const TFakeWindows& w) {
         return TLines{{"Main Identity", w.Profile(oeFolder)}};
       }},
      {"ordinal labels",
       [](TMemoryHive& h) {
         h.SetString("Identities\\{A}", "Username", "");
         h.SetInteger("Identities\\{A}", "Identity Ordinal", 3);
         h.SetString(std::string("Identities\\{A}") + OEKey, "Store Root", "C:\\a");
         h.SetString(std::string("Identities\\{B}") + OEKey, "Store Root", "C:\\b");
         h.SetString(std::string("Identities\\{C}") + OEKey, "Store Root", "C:\\c");
       },
       [](const TFakeWindows& w) {
         // {B} and {C} have neither value: the count so far plus one.
         return TLines{{"3", w.C("a/")}, {"2", w.C("b/")}, {"3", w.C("c/")}};
       }},
      {"no store, no line",
       [](TMemoryHive& h) {
         h.SetString("Identities\\{A}", "Username", "No key");
         h.SetString(std::string("Identities\\{B}") + OEKey, "Store Root", "");
         h.SetString(std::string("Identities\\{C}") + OEKey, "Other", "C:\\c");
         h.SetString(std::string("Identities\\{D}") + OEKey, "Store Root", "relative\\path");
         h.SetString(std::string("Identities\\{E}") + OEKey, "Store Root", "C:\\e");
       },
       [](const TFakeWindows& w) {
         return TLines{{"1", w.C("e/")}};
       }},
      {"first reference only, any case",
       [](TMemoryHive& h) {
         h.SetString(std::string("Identities\\{A}") + OEKey, "Store Root",
                     "%USERPROFILE%\\x\\%UserProfile%\\%SystemDrive%");
       },
       [](const TFakeWindows& w) {
         return TLines{{"1", w.Profile("x/%UserProfile%/%SystemDrive%/")}};
       }},
      {"values of the wrong type are absent",
       [](TMemoryHive& h) {
         h.SetInteger("Identities\\{A}", "Username", 5);
         h.SetString("Identities\\{A}", "Identity Ordinal", "7");
         h.SetString(std::string("Identities\\{A}") + OEKey, "Store Root", "C:\\a");
         h.SetInteger(std::string("Identities\\{B}") + OEKey, "Store Root", 1);
       },
       [](const TFakeWindows& w) {
         return TLines{{"1", w.C("a/")}};
       }},
  };
  for (const auto& c : cases) {
    TFakeWindows windows;
    c.fill(*windows.User);
    EXPECT_EQ(Identities(*windows.Session()), c.expected(windows)) << c.what;
  }
}

TEST(MailDiscovery, OEIdentitiesFoundOnDisk) {
  TFakeWindows windows;
  const std::string identities = windows.Profile("Local Settings/Application Data/Identities/");
  const std::string a = identities + "{A}/Microsoft/Outlook Express/";
  const std::string b = identities + "{B}/Microsoft/Outlook Express/";
  for (const char* name : {"Inbox.dbx", "Outbox.dbx", "Sent Items.dbx", "Folders.dbx", "x.DBX"})
    WriteFileAt(a + name, "db");
  WriteFileAt(b + "Inbox.dbx", "db");
  WriteFileAt(identities + "{C}/notes.txt", "");

  std::vector<std::string> files;
  FindFiles(identities, "*.dbx", faAnyFile, true, &files);
  ASSERT_EQ(files.size(), 6u);
  // Each folder once, numbered in the order the walk meets it.
  std::string first = ExtractFilePath(files[0]);
  std::string second = first == a ? b : a;
  EXPECT_EQ(Identities(*windows.Session()), (TLines{{"1", first}, {"2", second}}));

  // An "Identities" key, even an empty one, keeps the walk from running.
  windows.User->AddKey("Identities");
  EXPECT_TRUE(Identities(*windows.Session()).empty());
}

TEST(MailDiscovery, WindowsMailStores) {
  TFakeWindows windows;
  windows.Machine->SetString(ProfileListKey, "ProfileImagePath", "%SystemDrive%\\Users\\user1");
  auto session = windows.Session();
  EXPECT_EQ(GetWindowsMailStore(*session), "");
  EXPECT_EQ(GetWindowsLiveMailStore(*session), "");

  const char* mail = "Software\\Microsoft\\Windows Mail";
  const char* live = "Software\\Microsoft\\Windows Live Mail";
  windows.User->SetString(mail, "Store Root",
                          "%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows Mail", REG_EXPAND_SZ);
  EXPECT_EQ(GetWindowsMailStore(*session),
            windows.C("Users/user1/AppData/Local/Microsoft/Windows Mail/Local Folders"));

  const std::string liveRoot = windows.C("Users/user1/AppData/Local/Microsoft/Windows Live Mail/");
  windows.User->SetString(live, "Store Root",
                          "%UserProfile%\\AppData\\Local\\Microsoft\\Windows Live Mail");
  windows.User->SetString(live, "Default Mail Account", "ACCOUNT{B}.oeaccount");
  WriteFileAt(liveRoot + "One/account{A}.oeaccount", "");
  WriteFileAt(liveRoot + "Two/Deeper/account{b}.oeaccount", "");
  EXPECT_EQ(GetWindowsLiveMailStore(*session), liveRoot + "Two/Deeper/");
  windows.User->SetString(live, "Default Mail Account", "account{none}.oeaccount");
  EXPECT_EQ(GetWindowsLiveMailStore(*session), liveRoot);

  // An empty root is not taken for the drive's root.
  windows.User->SetString(mail, "Store Root", "");
  windows.User->SetString(live, "Store Root", "");
  EXPECT_EQ(GetWindowsMailStore(*session), "");
  EXPECT_EQ(GetWindowsLiveMailStore(*session), "");

  // Values of the wrong type are the registry error, which goes through.
  windows.User->SetInteger(mail, "Store Root", 1);
  EXPECT_EQ(ErrorOf([&] { GetWindowsMailStore(*session); }), "Invalid data type for 'Store Root'");
  windows.User->SetString(live, "Store Root", "C:\\x");
  windows.User->SetValue(live, "Default Mail Account", {REG_BINARY, "ab"});
  EXPECT_EQ(ErrorOf([&] { GetWindowsLiveMailStore(*session); }),
            "Invalid data type for 'Default Mail Account'");
}

TEST(MailDiscovery, ProfileFolderSidAndEnvironment) {
  TFakeWindows windows;
  windows.User->SetString(ShellFolders, "Desktop", "C:\\Elsewhere\\user1\\Desktop");
  auto session = windows.Session();
  EXPECT_EQ(GetAccountSidString(*session, "USER1"), "S-1-5-21-1-2-3-1001");
  EXPECT_EQ(GetAccountSidString(*session, "nobody"), "");
  // %systemdrive% in the profile list, in whatever letter case.
  EXPECT_EQ(GetUserProfileFolder(*session), "C:\\Documents and Settings\\user1");

  windows.Machine->SetValue(ProfileListKey, "ProfileImagePath", {REG_DWORD, "1234"});
  EXPECT_EQ(GetUserProfileFolder(*session), "C:\\Elsewhere\\user1"); // the Desktop's parent

  // Without a SID the user's branch is closed: no registry results, the walk on disk instead.
  windows.Setup.Sid = "";
  windows.User->SetString("Software\\Microsoft\\Windows Mail", "Store Root", "C:\\wm");
  windows.User->SetString(std::string("Identities\\{A}") + OEKey, "Store Root", "C:\\a");
  WriteFileAt(windows.Profile("Local Settings/Application Data/Identities/{A}/Inbox.dbx"), "");
  auto noSid = windows.Session();
  EXPECT_EQ(GetWindowsMailStore(*noSid), "");
  EXPECT_EQ(Identities(*noSid),
            (TLines{{"1", windows.Profile("Local Settings/Application Data/Identities/{A}/")}}));
  EXPECT_EQ(GetUserProfileFolder(*noSid), "C:\\Elsewhere\\user1");

  // The older family keeps the user's branch in HKEY_CURRENT_USER and has no profile list.
  windows.Setup.NTFamily = false;
  windows.Machine->SetString(ProfileListKey, "ProfileImagePath", "C:\\Never");
  auto older = windows.Session();
  EXPECT_EQ(GetWindowsMailStore(*older), windows.C("wm/Local Folders"));
  EXPECT_EQ(Identities(*older), (TLines{{"1", windows.C("a/")}}));
  EXPECT_EQ(GetUserProfileFolder(*older), "C:\\Elsewhere\\user1");

  TSid sid;
  sid.IdentifierAuthority = {0, 0, 0, 0, 1, 5};
  sid.SubAuthorities = {21, 4294967295u};
  struct TSidSession : TWindowsSession {
    TSid Sid;
    TSidSession(TWindowsSessionSetup setup, TSid sid) : TWindowsSession(setup), Sid(sid) {}
    bool LookupAccountName(const std::string&, TSid& out) const override {
      out = Sid;
      return true;
    }
  } custom(windows.Setup, sid);
  // Every non-zero byte of the authority in decimal, one after the other.
  EXPECT_EQ(GetAccountSidString(custom, "x"), "S-1-15-21-4294967295");
}

TEST(MailDiscovery, ExpandEnvVars) {
  const std::vector<std::string> block = {"=C:=C:\\",
                                          "SystemDrive=C:",
                                          "USERPROFILE=C:\\Users\\u",
                                          "A=%B%",
                                          "B=b",
                                          " =blank",
                                          "NOEQUALS",
                                          "",
                                          "LATE=never"};
  struct Case {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"%systemdrive%\\Users\\x", "C:\\Users\\x"},
      {"%SystemDrive%%SYSTEMDRIVE%", "C:%SYSTEMDRIVE%"}, // one reference per variable
      {"%A%", "b"},                                      // later entries see earlier values
      {"%B%%A%", "b%B%"},
      {"%LATE%", "%LATE%"}, // the block ends at its first empty entry
      {"%MISSING%\\%UserProfile%", "%MISSING%\\C:\\Users\\u"},
      {"% %", "% %"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExpandEnvVars(c.text, block), c.expanded) << c.text;

  // Nothing is cut: not a long environment, not a long text after a reference.
  std::vector<std::string> big;
  for (int i = 0; i < 300; ++i)
    big.push_back("FILLER" + std::to_string(i) + "=" + std::string(40, 'f'));
  big.push_back("LONG=" + std::string(5000, 'v'));
  std::string tail(3000, 't');
  EXPECT_EQ(ExpandEnvVars("%LONG%\\" + tail, big), std::string(5000, 'v') + "\\" + tail);
}

namespace {

// A Thunderbird set-up below the session's %APPDATA%\Thunderbird.
struct TThunderbirdCase {
  const char* what;
  std::vector<std::pair<std::string, std::string>> files; // D: and Thunderbird-relative files
  std::vector<std::string> folders;                       // folders to create below the drives
  std::string expected;                                   // the root below the drives, or ""
};

std::string Pref(std::string_view name, std::string_view value) {
  return "user_pref(\"" + std::string(name) + "\", \"" + std::string(value) + "\");\n";
}

} // namespace

TEST(MailDiscovery, ThunderbirdMailRoot) {
  const std::string abcd = "Profiles/abcd.default/";
  const TThunderbirdCase cases[] = {
      {"relative profile, mail.root.none",
       {{"profiles.ini", "[Profile0]\nPath=Profiles/abcd.default\n"},
        {abcd + "prefs.js", Pref("mail.root.none", "C:\\\\TB\\\\Root")}},
       {"c/TB/Root"},
       "c/TB/Root/"},
      {"absolute profile",
       {{"profiles.ini", "[Profile0]\nPath=D:/tb/prof\n"},
        {"d:tb/prof/prefs.js", Pref("mail.root.none", "D:\\\\tb\\\\prof\\\\Mail")}},
       {"d/tb/prof/Mail"},
       "d/tb/prof/Mail/"},
      {"first profile with a preference file",
       {{"profiles.ini",
         "[Profile0]\nPath=Profiles/none\n[Profile1]\nPath=Profiles/abcd.default\n"},
        {abcd + "prefs.js", Pref("mail.root.none", "C:\\\\TB\\\\Root")}},
       {"c/TB/Root"},
       "c/TB/Root/"},
      {"no Path: only Thunderbird's own folder",
       {{"profiles.ini", "[Profile0]\nName=x\n[Profile1]\nPath=Profiles/abcd.default\n"},
        {abcd + "prefs.js", Pref("mail.root.none", "C:\\\\TB\\\\Root")}},
       {"c/TB/Root"},
       ""},
      {"no Path, preferences beside profiles.ini",
       {{"profiles.ini", "[Profile0]\nName=x\n"},
        {"prefs.js", Pref("mail.root.none", "C:\\\\TB\\\\Root")}},
       {"c/TB/Root"},
       "c/TB/Root/"},
      {"server directory's parent",
       {{"profiles.ini", "[Profile0]\nPath=Profiles/abcd.default\n"},
        {abcd + "prefs.js",
         Pref("mail.root.none", "C:\\\\Gone") +
             Pref("mail.server.server1.directory", "C:\\\\TB\\\\Mail\\\\Local Folders\\\\")}},
       {"c/TB/Mail"},
       "c/TB/Mail/"},
      {".init before prefs.js",
       {{"profiles.ini", "[Profile0]\nPath=Profiles/abcd.default\n"},
        {abcd + "prefs.js", Pref("mail.root.none", "C:\\\\B")},
        {abcd + "prefs.js.init", Pref("mail.root.none", "C:\\\\A")}},
       {"c/A", "c/B"},
       "c/A/"},
      {"no candidate exists",
       {{"profiles.ini", "[Profile0]\nPath=Profiles/abcd.default\n"},
        {abcd + "prefs.js", Pref("mail.root.none", "C:\\\\Gone") +
                                Pref("mail.server.server1.directory", "C:\\\\Gone\\\\x")}},
       {},
       ""},
      {"empty preferences are no candidates",
       {{"profiles.ini", "[Profile0]\nPath=Profiles/abcd.default\n"},
        {abcd + "prefs.js", Pref("mail.root.none", "")}},
       {},
       ""},
      {"no profiles.ini", {{abcd + "prefs.js", Pref("mail.root.none", "C:\\\\TB")}}, {"c/TB"}, ""},
      {"a relative profile path cannot climb out of the disk",
       {{"profiles.ini", "[Profile0]\nPath=../../../../../outside\n"},
        {"d:../outside/prefs.js", Pref("mail.root.none", "D:\\\\")}},
       {},
       ""},
  };
  for (const auto& c : cases) {
    TFakeWindows windows;
    const std::string thunderbird = windows.Profile("Application Data/Thunderbird/");
    for (const auto& [name, text] : c.files)
      WriteFileAt(name.starts_with("d:") ? windows.Dir / ("d/" + name.substr(2))
                                         : thunderbird + name,
                  text);
    for (const auto& folder : c.folders)
      std::filesystem::create_directories(windows.Dir / folder);
    std::vector<std::string> roots = {"stale"};
    ListThunderbirdMailRoots(*windows.Session(), roots);
    if (c.expected.empty())
      EXPECT_TRUE(roots.empty()) << c.what << ": " << (roots.empty() ? "" : roots[0]);
    else
      EXPECT_EQ(roots, std::vector<std::string>{windows.Dir / c.expected}) << c.what;
  }
}

TEST(MailDiscovery, ThunderbirdPreferenceFileThatCannotBeOpened) {
  TFakeWindows windows;
  WriteFileAt(windows.Profile("Application Data/Thunderbird/profiles.ini"),
              "[Profile0]\nPath=D:\\s\n");
  // A socket passes for a file but refuses to be opened, even by root.
  std::filesystem::create_directories(windows.Dir / "d/s");
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string socketPath = windows.Dir / "d/s/prefs.js";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  std::vector<std::string> roots;
  EXPECT_EQ(ErrorOf([&] { ListThunderbirdMailRoots(*windows.Session(), roots); }),
            "Cannot open file \"" + socketPath + "\". No such device or address");
  close(fd);
}
