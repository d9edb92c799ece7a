#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// One constant as the block holds it: the name, and the text in UTF-8.
struct TConstantRecord {
  std::string name;
  std::string text;
};

// The stored form of a table of constants: a version byte, a flags byte (from version 2 on), a
// 32-bit count, then per constant the name (16-bit length, 8-bit characters) and the text
// (16-bit length in characters; UTF-16 from version 2 on, 8-bit characters in code page
// textCodePage before). Numbers are little-endian.
constexpr uint8_t ConstantBlockVersion = 2;

// Raises EPelloraError "Stream version (%d) is greater than the current one (%d)" for a later
// version, and "Stream read error" for a block cut short.
std::vector<TConstantRecord> ReadConstantBlock(std::string_view block, int textCodePage = 1252);
std::string WriteConstantBlock(const std::vector<TConstantRecord>& records);

// The built-in English constants, in the stored form.
std::string_view BuiltInConstantBlock();

} // namespace pellora
