#include "support/discovery_builders.h"

#include "platform/registry.h"
#include "support/store_builders.h"

#include <hivex.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace pellora::test {
namespace {

constexpr size_t BinStart = 0x1000;
constexpr size_t BinSize = 0x1000;

size_t Align8(size_t n) { return (n + 7) & ~size_t(7); }

std::string EscapeWine(std::string_view utf8, bool key) {
  std::string units = Utf8ToUtf16LE(utf8);
  std::string out;
  for (size_t i = 0; i + 1 < units.size(); i += 2) {
    unsigned unit = static_cast<unsigned char>(units[i]) | static_cast<unsigned char>(units[i + 1]) << 8;
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
  PutU32(bytes, 0x1C, 0); // primary file
  PutU32(bytes, 0x20, 1); // direct memory load
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
  PutU16(bytes, at + 4 + 0x02, 0x2C); // hive entry, cannot be deleted, ASCII name
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
  return Value(path, name, type, Utf8ToUtf16LE(utf8) + std::string(2, '\0'));
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
  std::string bytes = Utf8ToUtf16LE(utf8) + std::string(2, '\0');
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
