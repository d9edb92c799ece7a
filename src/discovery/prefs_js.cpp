#include "discovery/prefs_js.h"

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/unicode.h"

namespace pellora {
namespace {

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
    std::string_view line = TrimControls(text.substr(0, end));
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
    // The file is UTF-8: its cuts count characters, so that none is split.
    value = TrimControls(value.substr(0, Utf8PrefixSize(value, 1024)));
    const size_t length = Utf8Length(value);
    value = length >= 2 ? Unquote(value.substr(0, Utf8PrefixSize(value, length - 2)))
                        : std::string_view();
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
