#include "discovery/prefs_js.h"

#include "platform/collation.h"
#include "platform/files.h"

namespace pellora {
namespace {

// White space and control characters: every byte up to and including the space.
std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
    text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
    text.remove_suffix(1);
  return text;
}

std::string_view Unquote(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    return text.substr(1, text.size() - 2);
  return text;
}

constexpr std::string_view UserPref = "user_pref(";

} // namespace

void TPrefsJS::LoadFromFile(const std::string& fileName) {
  FFileName = fileName;
  LoadFromText(ReadWholeFile(fileName));
}

void TPrefsJS::LoadFromText(std::string_view text) {
  while (!text.empty()) {
    size_t end = text.find_first_of("\r\n");
    std::string_view line = Trim(text.substr(0, end));
    // CR LF leaves an empty line between the two, which no rule accepts.
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

    if (!SameTextAscii(line.substr(0, UserPref.size()), UserPref)) continue;
    size_t comma = line.find(',');
    TUserPref pref;
    std::string_view value;
    if (comma == std::string_view::npos) {
      value = line; // no name: the value is made of the whole line
    } else {
      pref.Name = Unquote(line.substr(UserPref.size(), comma - UserPref.size()));
      value = line.substr(comma + 1);
    }
    value = Trim(value.substr(0, 1024));
    value = value.size() >= 2 ? Unquote(value.substr(0, value.size() - 2)) : std::string_view();
    pref.Value = value;
    FPrefs.push_back(std::move(pref));
  }
}

TUserPref TPrefsJS::FindPref(std::string_view name) const {
  for (const auto& pref : FPrefs)
    if (SameTextAscii(pref.Name, name)) return pref;
  return {};
}

} // namespace pellora
