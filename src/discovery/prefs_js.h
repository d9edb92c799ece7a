#pragma once
// Thunderbird's preference file, read as a plain list of user_pref lines.
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

struct TUserPref {
  std::string Name;
  std::string Value; // the text as written: a number or a boolean stays "10" or "true"
};
using TUserPrefs = std::vector<TUserPref>;

// Texts are kept byte for byte: no character-set conversion, no unescaping ("\\" stays two).
class TPrefsJS {
public:
  // Appends the accepted lines of the file to the entries already held; raises
  // "Cannot open file "%s". %s" when it cannot be opened.
  void LoadFromFile(const std::string& fileName);
  // The same from the file's text.
  void LoadFromText(std::string_view text);
  // A copy of the first entry of that name (ASCII case ignored); an empty entry when none.
  TUserPref FindPref(std::string_view name) const;

  const TUserPrefs& Prefs() const { return FPrefs; }
  const std::string& FileName() const { return FFileName; }

private:
  TUserPrefs FPrefs;
  std::string FFileName;
};

} // namespace pellora
