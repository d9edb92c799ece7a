#pragma once
// Writers of other programs' settings files from their documented layouts: registry hive files,
// Wine's registry text, for the discovery tests and fuzz seeds.
#include <cstdint>
#include <string>
#include <string_view>

struct hive_h;

namespace pellora::test {

// A hive file of 8 KiB in the regf layout: base block, one bin, a root key with its security
// cell, the rest of the bin free.
std::string MinimalHiveBytes();

// A hive file filled through libhivex's own writing calls, starting from MinimalHiveBytes.
class THiveBuilder {
public:
  explicit THiveBuilder(std::string path);
  ~THiveBuilder();
  THiveBuilder(const THiveBuilder&) = delete;
  THiveBuilder& operator=(const THiveBuilder&) = delete;

  // Keys are created with their parents; path names are separated by "\".
  THiveBuilder& Key(std::string_view path);
  THiveBuilder& Value(std::string_view path, std::string_view name, uint32_t type,
                      std::string_view data);
  // A REG_SZ (or the given string type) in UTF-16LE with its terminating NUL.
  THiveBuilder& String(std::string_view path, std::string_view name, std::string_view utf8,
                       uint32_t type = 1);
  THiveBuilder& Dword(std::string_view path, std::string_view name, uint32_t value);
  // Writes the file; the builder can go on afterwards.
  void Commit();

private:
  size_t Node(std::string_view path);
  std::string FPath;
  hive_h* FHandle = nullptr;
};

// Wine's registry text, written as Wine writes it: escaped strings, "\x...." for characters
// outside printable ASCII, "hex(2):" expand strings over continued lines, "dword:" numbers.
class TWineRegWriter {
public:
  // relativeTo: "\\User\\S-1-5-..." for user.reg, "\\Machine" for system.reg.
  explicit TWineRegWriter(std::string_view relativeTo);
  TWineRegWriter& Key(std::string_view path);
  TWineRegWriter& String(std::string_view name, std::string_view utf8);
  TWineRegWriter& ExpandString(std::string_view name, std::string_view utf8);
  TWineRegWriter& Dword(std::string_view name, uint32_t value);
  TWineRegWriter& Line(std::string_view raw);
  const std::string& Text() const { return FText; }

private:
  std::string FText;
};

// Fake places where a user's mail lives, as the programs lay them out. Each writes below the
// folder given and returns the folder to hand to discovery.

// A Windows XP disk: "Documents and Settings/ann" with two Outlook Express identities (one
// store root with %UserProfile%, one absolute) and a Thunderbird profile whose mail root is
// written in other letter case than on disk; "WINDOWS/system32/config/software" names the
// profile's SID. Returns the profile folder.
std::string WriteXPProfile(const std::string& disk);
// A Windows 7 disk: "Users/bob" with Windows Mail, Windows Live Mail (the default account two
// folders below the store root) and a Thunderbird profile list whose first profile has no
// preferences. Returns the profile folder.
std::string WriteWindows7Profile(const std::string& disk);
// A Wine prefix of user carol: user.reg and system.reg, dosdevices c: and z:, one identity and
// a Windows Live Mail store without default account. Returns the prefix.
std::string WriteWinePrefix(const std::string& prefix);
// ~/.thunderbird with a relative profile and a Flatpak Thunderbird with an absolute one.
void WriteLinuxThunderbird(const std::string& home);

// Writes bytes to path, creating its folders.
void WriteFileAt(const std::string& path, std::string_view bytes);

} // namespace pellora::test
