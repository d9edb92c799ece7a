#include "support/discovery_builders.h"

#include "discovery/registry.h"
#include "platform/unicode.h"
#include "support/store_builders.h"

#include <hivex.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace pellora::test {
namespace {

constexpr size_t BinStart = 0x1000;
constexpr size_t BinSize = 0x1000;

size_t Align8(size_t n) {
  return (n + 7) & ~size_t(7);
}

std::string EscapeWine(std::string_view utf8, bool key) {
  std::string units = Utf8ToUtf16Le(utf8);
  std::string out;
  for (size_t i = 0; i + 1 < units.size(); i += 2) {
    unsigned unit = static_cast<unsigned char>(units[i]) | static_cast<unsigned char>(units[i + 1])
                                                               << 8;
    if (unit == '\\' || unit == '"' || (key && unit == ']')) {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit < 0x20 || unit > 0x7E) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%04x", unit);
      out += escaped;
    } else {
      out += static_cast<char>(unit);
    }
  }
  return out;
}

} // namespace

std::string MinimalHiveBytes() {
  std::string bytes(BinStart + BinSize, '\0');
  // Base block.
  bytes.replace(0, 4, "regf");
  PutU32(bytes, 0x04, 1); // sequence numbers, equal: the hive is consistent
  PutU32(bytes, 0x08, 1);
  PutU32(bytes, 0x14, 1); // version 1.3
  PutU32(bytes, 0x18, 3);
  PutU32(bytes, 0x1C, 0);    // primary file
  PutU32(bytes, 0x20, 1);    // direct memory load
  PutU32(bytes, 0x24, 0x20); // root cell, relative to the first bin
  PutU32(bytes, 0x28, BinSize);
  PutU32(bytes, 0x2C, 1);
  uint32_t sum = 0;
  for (size_t i = 0; i < 0x1FC; i += 4)
    sum ^= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                 static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                 static_cast<unsigned char>(bytes[i + 2]) << 16 |
                                 static_cast<unsigned char>(bytes[i + 3]) << 24);
  PutU32(bytes, 0x1FC, sum == 0 ? 1 : sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum);

  // The bin.
  bytes.replace(BinStart, 4, "hbin");
  PutU32(bytes, BinStart + 0x04, 0);
  PutU32(bytes, BinStart + 0x08, BinSize);

  // Root key cell.
  const std::string rootName = "ROOT";
  const size_t nk = 0x20;
  const size_t nkSize = Align8(4 + 0x4C + rootName.size());
  const size_t sk = nk + nkSize;
  const size_t skSize = Align8(4 + 0x14 + 20);
  size_t at = BinStart + nk;
  PutU32(bytes, at, static_cast<uint32_t>(-static_cast<int32_t>(nkSize))); // allocated
  bytes.replace(at + 4, 2, "nk");
  PutU16(bytes, at + 4 + 0x02, 0x2C);       // hive entry, cannot be deleted, ASCII name
  PutU32(bytes, at + 4 + 0x1C, 0xFFFFFFFF); // no subkeys
  PutU32(bytes, at + 4 + 0x20, 0xFFFFFFFF);
  PutU32(bytes, at + 4 + 0x28, 0xFFFFFFFF); // no values
  PutU32(bytes, at + 4 + 0x2C, static_cast<uint32_t>(sk));
  PutU32(bytes, at + 4 + 0x30, 0xFFFFFFFF); // no class name
  PutU16(bytes, at + 4 + 0x48, static_cast<uint16_t>(rootName.size()));
  bytes.replace(at + 4 + 0x4C, rootName.size(), rootName);

  // Security cell: a self-relative descriptor without owner, group or lists.
  at = BinStart + sk;
  PutU32(bytes, at, static_cast<uint32_t>(-static_cast<int32_t>(skSize)));
  bytes.replace(at + 4, 2, "sk");
  PutU32(bytes, at + 4 + 0x04, static_cast<uint32_t>(sk)); // the only one: linked to itself
  PutU32(bytes, at + 4 + 0x08, static_cast<uint32_t>(sk));
  PutU32(bytes, at + 4 + 0x0C, 1);
  PutU32(bytes, at + 4 + 0x10, 20);
  bytes[at + 4 + 0x14] = 1;
  PutU16(bytes, at + 4 + 0x16, 0x8004);

  // The rest of the bin is one free cell.
  at = BinStart + sk + skSize;
  PutU32(bytes, at, static_cast<uint32_t>(BinStart + BinSize - at));
  return bytes;
}

THiveBuilder::THiveBuilder(std::string path) : FPath(std::move(path)) {
  std::ofstream(FPath, std::ios::binary) << MinimalHiveBytes();
  FHandle = hivex_open(FPath.c_str(), HIVEX_OPEN_WRITE);
  if (!FHandle) throw std::runtime_error("hivex cannot open the minimal hive " + FPath);
}

THiveBuilder::~THiveBuilder() {
  if (FHandle) hivex_close(FHandle);
}

size_t THiveBuilder::Node(std::string_view path) {
  hive_node_h node = hivex_root(FHandle);
  for (const auto& name : SplitKeyPath(path)) {
    hive_node_h child = hivex_node_get_child(FHandle, node, name.c_str());
    if (!child) child = hivex_node_add_child(FHandle, node, name.c_str());
    if (!child) throw std::runtime_error("hivex cannot add the key " + name);
    node = child;
  }
  return node;
}

THiveBuilder& THiveBuilder::Key(std::string_view path) {
  Node(path);
  return *this;
}

THiveBuilder& THiveBuilder::Value(std::string_view path, std::string_view name, uint32_t type,
                                  std::string_view data) {
  std::string key(name);
  std::string bytes(data);
  hive_set_value value{key.data(), static_cast<hive_type>(type), bytes.size(), bytes.data()};
  if (hivex_node_set_value(FHandle, Node(path), &value, 0) != 0)
    throw std::runtime_error("hivex cannot set the value " + key);
  return *this;
}

THiveBuilder& THiveBuilder::String(std::string_view path, std::string_view name,
                                   std::string_view utf8, uint32_t type) {
  return Value(path, name, type, Utf8ToUtf16Le(utf8) + std::string(2, '\0'));
}

THiveBuilder& THiveBuilder::Dword(std::string_view path, std::string_view name, uint32_t value) {
  std::string data(4, '\0');
  PutU32(data, 0, value);
  return Value(path, name, REG_DWORD, data);
}

void THiveBuilder::Commit() {
  if (hivex_commit(FHandle, FPath.c_str(), 0) != 0)
    throw std::runtime_error("hivex cannot write " + FPath);
}

TWineRegWriter::TWineRegWriter(std::string_view relativeTo) {
  FText = "WINE REGISTRY Version 2\n;; All keys relative to " + EscapeWine(relativeTo, false) +
          "\n\n#arch=win64\n";
}

TWineRegWriter& TWineRegWriter::Key(std::string_view path) {
  FText += "\n[" + EscapeWine(path, true) + "] 1700000000\n#time=1da0b3c4d5e6f70\n";
  return *this;
}

TWineRegWriter& TWineRegWriter::String(std::string_view name, std::string_view utf8) {
  FText += "\"" + EscapeWine(name, false) + "\"=\"" + EscapeWine(utf8, false) + "\"\n";
  return *this;
}

TWineRegWriter& TWineRegWriter::ExpandString(std::string_view name, std::string_view utf8) {
  std::string line = "\"" + EscapeWine(name, false) + "\"=hex(2):";
  std::string bytes = Utf8ToUtf16Le(utf8) + std::string(2, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(bytes[i]));
    line += hex;
    if (i + 1 == bytes.size()) break;
    line += ',';
    if (line.size() > 76) { // Wine continues long data on the next line
      FText += line + "\\\n";
      line = "  ";
    }
  }
  FText += line + "\n";
  return *this;
}

TWineRegWriter& TWineRegWriter::Dword(std::string_view name, uint32_t value) {
  char number[16];
  std::snprintf(number, sizeof number, "%08x", value);
  FText += "\"" + EscapeWine(name, false) + "\"=dword:" + number + "\n";
  return *this;
}

TWineRegWriter& TWineRegWriter::Line(std::string_view raw) {
  FText += std::string(raw) + "\n";
  return *this;
}

} // namespace pellora::test

namespace pellora::test {
namespace {

const char* const ShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const UserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char* const ProfileList = "Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";

std::string PrefLine(std::string_view name, std::string_view value) {
  return "user_pref(\"" + std::string(name) + "\", \"" + std::string(value) + "\");\n";
}

} // namespace

void WriteFileAt(const std::string& path, std::string_view bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string WriteXPProfile(const std::string& disk) {
  const std::string profile = disk + "/Documents and Settings/ann";
  const std::string local = profile + "/Local Settings/Application Data";
  std::filesystem::create_directories(disk + "/WINDOWS/system32/config");
  THiveBuilder(disk + "/WINDOWS/system32/config/software")
      .String("Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\WINDOWS")
      .String(std::string(ProfileList) + "S-1-5-21-111-222-333-1004", "ProfileImagePath",
              "%SystemDrive%\\Documents and Settings\\bob", REG_EXPAND_SZ)
      .String(std::string(ProfileList) + "S-1-5-21-111-222-333-1003", "ProfileImagePath",
              "%SystemDrive%\\Documents and Settings\\ann", REG_EXPAND_SZ)
      .Commit();

  const std::string main = "{1B2C3D4E-0000-0000-0000-000000000001}";
  const std::string work = "{1B2C3D4E-0000-0000-0000-000000000002}";
  std::filesystem::create_directories(profile);
  THiveBuilder(profile + "/NTUSER.DAT")
      .String("Identities\\" + main, "Username", "Main Identity")
      .Dword("Identities\\" + main, "Identity Ordinal", 1)
      .String("Identities\\" + main + "\\Software\\Microsoft\\Outlook Express\\5.0", "Store Root",
              "%UserProfile%\\Local Settings\\Application Data\\Identities\\" + main +
                  "\\Microsoft\\Outlook Express",
              REG_EXPAND_SZ)
      .String("Identities\\" + work, "Username", "Work")
      .Dword("Identities\\" + work, "Identity Ordinal", 2)
      .String("Identities\\" + work + "\\Software\\Microsoft\\Outlook Express\\5.0", "Store Root",
              "C:\\Documents and Settings\\ann\\Local Settings\\Application Data\\Identities\\" +
                  work + "\\Microsoft\\Outlook Express",
              REG_EXPAND_SZ)
      .String(UserShellFolders, "AppData", "%USERPROFILE%\\Application Data", REG_EXPAND_SZ)
      .String(UserShellFolders, "Local AppData", "%USERPROFILE%\\Local Settings\\Application Data",
              REG_EXPAND_SZ)
      .String(UserShellFolders, "Desktop", "%USERPROFILE%\\Desktop", REG_EXPAND_SZ)
      .Commit();
  for (const auto& id : {main, work}) {
    std::string folder = local + "/Identities/" + id + "/Microsoft/Outlook Express/";
    WriteFileAt(folder + "Inbox.dbx", std::string("\xCF\xAD\x12\xFE", 4));
    WriteFileAt(folder + "Folders.dbx", std::string("\xCF\xAD\x12\xFE", 4));
  }

  const std::string thunderbird = profile + "/Application Data/Thunderbird";
  WriteFileAt(thunderbird + "/profiles.ini",
              "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\n"
              "IsRelative=1\r\nPath=Profiles/k3j2.default\r\n");
  WriteFileAt(thunderbird + "/Profiles/k3j2.default/prefs.js",
              "// Mozilla User Preferences\r\n\r\n" +
                  PrefLine("mail.root.none",
                           "C:\\\\Documents and Settings\\\\ANN\\\\Application "
                           "Data\\\\Thunderbird\\\\profiles\\\\k3j2.default\\\\Mail"));
  std::filesystem::create_directories(thunderbird + "/Profiles/k3j2.default/Mail/Local Folders");
  WriteFileAt(thunderbird + "/Profiles/k3j2.default/Mail/Local Folders/Inbox", "");
  return profile;
}

std::string WriteWindows7Profile(const std::string& disk) {
  const std::string profile = disk + "/Users/bob";
  std::filesystem::create_directories(disk + "/Windows/System32/config");
  THiveBuilder(disk + "/Windows/System32/config/SOFTWARE")
      .String("Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\Windows")
      .String(std::string(ProfileList) + "S-1-5-18", "ProfileImagePath",
              "%systemroot%\\system32\\config\\systemprofile", REG_EXPAND_SZ)
      .String(std::string(ProfileList) + "S-1-5-21-444-555-666-1001", "ProfileImagePath",
              "C:\\Users\\bob", REG_EXPAND_SZ)
      .Commit();

  std::filesystem::create_directories(profile);
  const std::string localAppData = profile + "/AppData/Local";
  THiveBuilder(profile + "/NTUSER.DAT")
      .String("Software\\Microsoft\\Windows Mail", "Store Root",
              "%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows Mail", REG_EXPAND_SZ)
      .String("Software\\Microsoft\\Windows Live Mail", "Store Root",
              "%UserProfile%\\AppData\\Local\\Microsoft\\Windows Live Mail", REG_EXPAND_SZ)
      .String("Software\\Microsoft\\Windows Live Mail", "Default Mail Account",
              "account{A1B2C3D4-0000-0000-0000-00000000000B}.oeaccount")
      .String(UserShellFolders, "AppData", "%USERPROFILE%\\AppData\\Roaming", REG_EXPAND_SZ)
      .String(UserShellFolders, "Local AppData", "%USERPROFILE%\\AppData\\Local", REG_EXPAND_SZ)
      .String(ShellFolders, "Desktop", "C:\\Users\\bob\\Desktop")
      .Commit();
  WriteFileAt(localAppData + "/Microsoft/Windows Mail/Local Folders/Inbox/1.eml",
              "Subject: a\r\n\r\n");
  const std::string live = localAppData + "/Microsoft/Windows Live Mail";
  WriteFileAt(live + "/Other/account{A1B2C3D4-0000-0000-0000-00000000000A}.oeaccount", "<x/>");
  WriteFileAt(live + "/Hotmail (bob)/Sub/account{a1b2c3d4-0000-0000-0000-00000000000b}.oeaccount",
              "<x/>");
  WriteFileAt(live + "/Hotmail (bob)/Sub/Inbox/2.eml", "Subject: b\r\n\r\n");

  const std::string thunderbird = profile + "/AppData/Roaming/Thunderbird";
  WriteFileAt(thunderbird + "/profiles.ini",
              "[Profile1]\r\nName=work\r\nIsRelative=1\r\nPath=Profiles/x9.work\r\n\r\n"
              "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/empty.default\r\n");
  std::filesystem::create_directories(thunderbird + "/Profiles/empty.default");
  WriteFileAt(thunderbird + "/Profiles/x9.work/prefs.js",
              PrefLine("mail.server.server1.directory",
                       "C:\\\\Users\\\\bob\\\\AppData\\\\Roaming\\\\Thunderbird\\\\Profiles\\\\x9."
                       "work\\\\Mail\\\\Local Folders"));
  std::filesystem::create_directories(thunderbird + "/Profiles/x9.work/Mail/Local Folders");
  return profile;
}

std::string WriteWinePrefix(const std::string& prefix) {
  const std::string id = "{3C4D5E6F-0000-0000-0000-000000000003}";
  WriteFileAt(prefix + "/user.reg",
              TWineRegWriter("\\User\\S-1-5-21-0-0-0-1000")
                  .Key(ShellFolders)
                  .String("AppData", "C:\\users\\carol\\AppData\\Roaming")
                  .String("Local AppData", "C:\\users\\carol\\AppData\\Local")
                  .String("Desktop", "C:\\users\\carol\\Desktop")
                  .Key("Identities\\" + id)
                  .String("Username", "Carol \"C\" \xC3\x9Cnal")
                  .Key("Identities\\" + id + "\\Software\\Microsoft\\Outlook Express\\5.0")
                  .ExpandString("Store Root", "%UserProfile%\\AppData\\Local\\Identities\\" + id +
                                                  "\\Microsoft\\Outlook Express")
                  .Key("Software\\Microsoft\\Windows Live Mail")
                  .ExpandString("Store Root", "%UserProfile%\\AppData\\Local\\Microsoft\\Windows "
                                              "Live Mail")
                  .Text());
  WriteFileAt(prefix + "/system.reg",
              TWineRegWriter("\\Machine")
                  .Key("Software\\Microsoft\\Windows NT\\CurrentVersion")
                  .String("SystemRoot", "C:\\windows")
                  .Key("Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-0-"
                       "0-0-1000")
                  .ExpandString("ProfileImagePath", "C:\\users\\carol")
                  .Text());
  std::filesystem::create_directories(prefix + "/dosdevices");
  std::filesystem::create_symlink("../drive_c", prefix + "/dosdevices/c:");
  std::filesystem::create_symlink("/", prefix + "/dosdevices/z:");
  const std::string carol = prefix + "/drive_c/users/carol";
  WriteFileAt(carol + "/AppData/Local/Identities/" + id + "/Microsoft/Outlook Express/Inbox.dbx",
              std::string("\xCF\xAD\x12\xFE", 4));
  std::filesystem::create_directories(carol + "/AppData/Local/Microsoft/Windows Live Mail/Inbox");
  std::filesystem::create_directories(prefix + "/drive_c/users/Public");
  return prefix;
}

void WriteLinuxThunderbird(const std::string& home) {
  const std::string own = home + "/.thunderbird";
  WriteFileAt(own + "/profiles.ini",
              "[Install4F96D1932A9F858E]\nDefault=abcd.default-release\nLocked=1\n\n"
              "[Profile0]\nName=default-release\nIsRelative=1\nPath=abcd.default-release\n"
              "Default=1\n\n[General]\nStartWithLastProfile=1\nVersion=2\n");
  WriteFileAt(own + "/abcd.default-release/prefs.js",
              PrefLine("mail.root.none", own + "/abcd.default-release/Mail"));
  std::filesystem::create_directories(own + "/abcd.default-release/Mail/Local Folders");

  const std::string flatpak = home + "/.var/app/org.mozilla.Thunderbird/.thunderbird";
  WriteFileAt(flatpak + "/profiles.ini",
              "[Profile0]\nName=flat\nIsRelative=0\nPath=" + flatpak + "/flat.default\n");
  WriteFileAt(
      flatpak + "/flat.default/prefs.js",
      PrefLine("mail.root.none", "/gone/Mail") +
          PrefLine("mail.server.server1.directory", flatpak + "/flat.default/Mail/Local Folders"));
  std::filesystem::create_directories(flatpak + "/flat.default/Mail/Local Folders");
}

} // namespace pellora::test
