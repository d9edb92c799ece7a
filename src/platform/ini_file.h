#pragma once
#include <map>
#include <string>

namespace pellora {

// An INI file read as Windows' profile-string reading sees it: section and key names compared
// without regard to ASCII case, the first of a name taken, blanks around a value and one pair of
// enclosing quotes removed, lines starting with ";" skipped.
class TIniFile {
public:
  // An absent or unreadable file reads as empty.
  explicit TIniFile(const std::string& fileName);
  // The value, or defaultValue when the section or key is absent.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;

private:
  std::map<std::string, std::map<std::string, std::string>> FSections; // by upper-case names
};

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName);

} // namespace pellora
