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

} // namespace pellora::test
