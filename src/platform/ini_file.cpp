#include "platform/ini_file.h"

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/pellora_error.h"

#include <string_view>

namespace pellora {
TIniFile::TIniFile(const std::string& fileName) {
  std::string text;
  try {
    text = ReadWholeFile(fileName);
  } catch (const EPelloraError&) {
    return;
  }
  std::string_view rest(text);
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
  std::map<std::string, std::string>* section = nullptr;
  while (!rest.empty()) {
    size_t end = rest.find_first_of("\r\n");
    std::string_view line = TrimControls(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string name = UpperCaseAscii(TrimControls(line.substr(1, close == line.npos ? line.npos : close - 1)));
      // A section named twice is read where it first stands.
      auto [at, added] = FSections.try_emplace(name);
      section = added ? &at->second : nullptr;
      continue;
    }
    size_t equals = line.find('=');
    if (!section || equals == std::string_view::npos) continue;
    std::string_view value = TrimControls(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    section->try_emplace(UpperCaseAscii(TrimControls(line.substr(0, equals))), value);
  }
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  auto found = FSections.find(UpperCaseAscii(section));
  if (found == FSections.end()) return defaultValue;
  auto value = found->second.find(UpperCaseAscii(key));
  return value == found->second.end() ? defaultValue : value->second;
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName) {
  return TIniFile(fileName).ReadString(section, key, defaultValue);
}

} // namespace pellora
