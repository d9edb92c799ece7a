// Other programs' registries as the three kinds of hive give them.
#include "discovery/hive_file.h"
#include "discovery/registry.h"
#include "discovery/wine_registry.h"
#include "support/discovery_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace pellora;
using pellora::test::TTempDir;

namespace {

std::string StringOf(const THive& hive, std::string_view key, std::string_view name) {
  auto opened = hive.OpenKey(key);
  std::string text;
  if (!opened || !ReadString(*opened, name, text)) return "<absent>";
  return text;
}

} // namespace

TEST(Registry, MemoryHiveKeysValuesAndMounts) {
  auto user = std::make_shared<TMemoryHive>();
  user->SetString("Identities\\{A}", "Username", "Main Identity");
  user->SetString("identities\\{B}", "Username", "Second");
  user->SetInteger("Identities\\{A}", "Identity Ordinal", 7);
  user->SetValue("Identities\\{A}", "Blob", {REG_BINARY, "xy"});
  auto machine = std::make_shared<TMemoryHive>();
  machine->SetString("Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\WINDOWS",
                     REG_EXPAND_SZ);

  TRegistry registry;
  registry.Mount(TRegistryRoot::Users, "S-1-5-21-1", user);
  registry.Mount(TRegistryRoot::LocalMachine, "SOFTWARE", machine);

  auto identities = registry.OpenKey(TRegistryRoot::Users, "\\s-1-5-21-1\\IDENTITIES");
  ASSERT_TRUE(identities);
  EXPECT_EQ(identities->SubKeyNames(), (std::vector<std::string>{"{A}", "{B}"}));
  auto a = registry.OpenKey(TRegistryRoot::Users, "S-1-5-21-1\\Identities\\{a}");
  ASSERT_TRUE(a);
  std::string text;
  int32_t number = 0;
  EXPECT_TRUE(ReadString(*a, "USERNAME", text));
  EXPECT_EQ(text, "Main Identity");
  EXPECT_TRUE(ReadInteger(*a, "Identity Ordinal", number));
  EXPECT_EQ(number, 7);
  EXPECT_FALSE(ReadString(*a, "Missing", text));
  // A value of another type is the registry error; the tolerant reads take it as absent.
  try {
    ReadString(*a, "Identity Ordinal", text);
    ADD_FAILURE() << "no error";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Identity Ordinal'");
  }
  EXPECT_THROW(ReadInteger(*a, "Blob", number), ERegistryException);
  EXPECT_FALSE(TryReadString(*a, "Blob", text));
  EXPECT_FALSE(TryReadInteger(*a, "Username", number));
  // A value set again under its name in other letter case takes the place of the first.
  user->SetString("IDENTITIES\\{A}", "userNAME", "Renamed");
  EXPECT_TRUE(ReadString(*a, "Username", text));
  EXPECT_EQ(text, "Renamed");

  auto version = registry.OpenKey(TRegistryRoot::LocalMachine,
                                  "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
  ASSERT_TRUE(version);
  EXPECT_TRUE(ReadString(*version, "SystemRoot", text)); // REG_EXPAND_SZ as stored
  EXPECT_EQ(text, "C:\\WINDOWS");
  EXPECT_FALSE(registry.OpenKey(TRegistryRoot::Users, "S-1-5-21-2\\Identities"));
  EXPECT_FALSE(registry.OpenKey(TRegistryRoot::CurrentUser, "Identities"));
  EXPECT_FALSE(registry.OpenKey(TRegistryRoot::LocalMachine, "SYSTEM"));
}

TEST(Registry, WineRegistryText) {
  // As Wine writes it: escaped backslashes and quotes, \x escapes, hex(2) over continued lines,
  // str(2), dword, and lines to skip.
  std::string text = test::TWineRegWriter("\\User\\S-1-5-21-0-0-0-1000")
                         .Key("Software\\Microsoft\\Windows Mail")
                         .String("Store Root", "C:\\users\\J\xC3\xB6rg \"jo\"\\Mail")
                         .ExpandString("Expanded", "%USERPROFILE%\\AppData\\Local\\Microsoft\\"
                                                   "Windows Live Mail")
                         .Dword("Count", 0x1234ABCD)
                         .Line("\"Typed\"=str(2):\"%SystemDrive%\\\\Users\"")
                         .Line("@=\"default\"")
                         .Line("\"Octal\"=\"a\\101\\x41z\"")
                         .Line("\"Broken\"=\"never closed")
                         .Line("\"Odd\"=foo:12")
                         .Line("#link")
                         .Key("Identities\\{1]2}")
                         .String("Username", "x")
                         .Text();
  TWineRegistryFile file = ParseWineRegistry(text);
  EXPECT_EQ(file.RelativeTo, "\\User\\S-1-5-21-0-0-0-1000");
  const THive& hive = *file.Hive;
  const char* mail = "Software\\Microsoft\\Windows Mail";
  EXPECT_EQ(StringOf(hive, mail, "Store Root"), "C:\\users\\J\xC3\xB6rg \"jo\"\\Mail");
  EXPECT_EQ(StringOf(hive, mail, "Expanded"),
            "%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows Live Mail");
  EXPECT_EQ(StringOf(hive, mail, "Typed"), "%SystemDrive%\\Users");
  EXPECT_EQ(StringOf(hive, mail, ""), "default");
  EXPECT_EQ(StringOf(hive, mail, "Octal"), "aAAz");
  EXPECT_EQ(StringOf(hive, mail, "Broken"), "<absent>");
  EXPECT_EQ(StringOf(hive, mail, "Odd"), "<absent>");
  TRegistryValue value;
  ASSERT_TRUE(hive.OpenKey(mail)->GetValue("Expanded", value));
  EXPECT_EQ(value.Type, REG_EXPAND_SZ);
  ASSERT_TRUE(hive.OpenKey(mail)->GetValue("Typed", value));
  EXPECT_EQ(value.Type, REG_EXPAND_SZ);
  int32_t count = 0;
  EXPECT_TRUE(ReadInteger(*hive.OpenKey(mail), "Count", count));
  EXPECT_EQ(static_cast<uint32_t>(count), 0x1234ABCDu);
  EXPECT_EQ(StringOf(hive, "Identities\\{1]2}", "Username"), "x");

  EXPECT_TRUE(LoadWineRegistry("/nonexistent/user.reg").Hive->OpenKey(""));
  EXPECT_FALSE(LoadWineRegistry("/nonexistent/user.reg").Hive->OpenKey("Software"));
}

TEST(Registry, HiveFileThroughHivex) {
  TTempDir dir;
  std::string path = dir / "NTUSER.DAT";
  test::THiveBuilder(path)
      .String("Identities\\{X}", "Username", "Main Identity")
      .Dword("Identities\\{X}", "Identity Ordinal", 2)
      .String("Software\\Microsoft\\Windows Mail", "Store Root",
              "%UserProfile%\\AppData\\Local\\Microsoft\\Windows Mail", REG_EXPAND_SZ)
      .Value("Software\\Microsoft\\Windows Mail", "Binary", REG_BINARY, "\x01\x02")
      .Key("Identities\\{Y}")
      .Commit();

  auto hive = THiveFile::Open(path);
  ASSERT_TRUE(hive);
  auto identities = hive->OpenKey("identities");
  ASSERT_TRUE(identities);
  EXPECT_EQ(identities->SubKeyNames().size(), 2u);
  EXPECT_EQ(StringOf(*hive, "Identities\\{x}", "USERNAME"), "Main Identity");
  int32_t ordinal = 0;
  EXPECT_TRUE(ReadInteger(*hive->OpenKey("Identities\\{X}"), "Identity Ordinal", ordinal));
  EXPECT_EQ(ordinal, 2);
  EXPECT_EQ(StringOf(*hive, "Software\\Microsoft\\Windows Mail", "Store Root"),
            "%UserProfile%\\AppData\\Local\\Microsoft\\Windows Mail");
  EXPECT_THROW(StringOf(*hive, "Software\\Microsoft\\Windows Mail", "Binary"), ERegistryException);
  EXPECT_FALSE(hive->OpenKey("Software\\Nothing"));

  EXPECT_FALSE(THiveFile::Open(dir / "missing"));
  EXPECT_FALSE(THiveFile::Open(dir.Write("junk", std::string(9000, 'x'))));
  std::string damaged = test::MinimalHiveBytes();
  damaged[0x30] = 'z'; // the base block's checksum no longer agrees
  EXPECT_FALSE(THiveFile::Open(dir.Write("damaged", damaged)));
}
