#include "update/update_info.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "platform/ascii.h"

#include <algorithm>

namespace pellora {
namespace {

// The text from start up to the next double quote, looking at no more than 255 characters;
// false when there is none.
bool QuotedValue(std::string_view line, size_t start, std::string& value) {
  if (start > line.size()) return false;
  std::string_view rest = line.substr(start, 255);
  size_t quote = rest.find('"');
  if (quote == std::string_view::npos) return false;
  value = std::string(rest.substr(0, quote));
  return true;
}

int32_t FieldNumber(std::string_view field) {
  return ParseInt32Or(field, 0);
}

std::string_view FirstField(std::string_view version) {
  return version.substr(0, version.find('.'));
}

std::string_view RestFields(std::string_view version) {
  size_t dot = version.find('.');
  return dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
}

} // namespace

void ReadUpdateTags(std::string_view page, TUpdateTags& tags) {
  std::pair<std::string_view, std::string*> items[] = {
      {"PELLORAName", &tags.productName},    {"PELLORAVersion", &tags.version},
      {"PELLORADownload", &tags.download},   {"PELLORAFile", &tags.file},
      {"updAuthor", &tags.author},           {"updEmail", &tags.email},
      {"updRedirection", &tags.redirection}, {"updRunParameters", &tags.runParameters},
  };
  size_t start = 0;
  while (start < page.size()) {
    size_t end = page.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = page.size();
    std::string_view line = page.substr(start, end - start);
    start = end + 1;

    size_t meta = line.find("META NAME");
    std::string name;
    if (meta == std::string_view::npos || !QuotedValue(line, meta + 11, name)) continue;
    std::string upper = UpperCaseAscii(line);
    std::string content;
    if (size_t at = upper.find("CONTENT="); at != std::string::npos)
      QuotedValue(line, at + 9, content);
    for (auto& [tag, value] : items)
      if (name == tag) *value = content;
  }
}

bool IsNewerVersion(std::string_view programVersion, std::string_view pageVersion) {
  std::string_view p = programVersion, n = pageVersion;
  for (;;) {
    int32_t pf = FieldNumber(FirstField(p)), nf = FieldNumber(FirstField(n));
    if (pf < nf) return true;
    if (nf < pf) return false;
    if (p.find('.') == std::string_view::npos) return false;
    p = RestFields(p);
    n = RestFields(n);
  }
}

std::string ProductVersionText(std::string_view version) {
  std::string text(version);
  for (auto fields = std::count(text.begin(), text.end(), '.') + 1; fields < 4; ++fields)
    text += ".0";
  return text;
}

std::string ResolveUpdateAddress(std::string_view address, std::string_view infoAddress) {
  auto split = [](std::string_view a, std::string& scheme, std::string& host, std::string& path) {
    scheme = "http://";
    for (std::string_view s : {"http://", "https://"})
      if (StartsWithText(a, s)) {
        scheme = std::string(s);
        a.remove_prefix(s.size());
      }
    size_t slash = a.find('/');
    host = std::string(a.substr(0, slash));
    path = slash == std::string_view::npos ? "/" : std::string(a.substr(slash));
  };
  std::string scheme, host, path;
  split(address, scheme, host, path);
  if (host.empty()) {
    std::string infoPath;
    split(infoAddress, scheme, host, infoPath);
  }
  return scheme + host + path;
}

std::string TRedirections::Next(std::string_view redirection) {
  if (redirection.empty() || static_cast<int>(FFetched.size()) > MaxRedirections) return {};
  std::string address = ResolveUpdateAddress(redirection, FFetched.front());
  if (std::find(FFetched.begin(), FFetched.end(), address) != FFetched.end()) return {};
  FFetched.push_back(address);
  return address;
}

std::string UpdateQuestion(std::string_view newVersion) {
  return FormatText(GetLocalizedText("lc_NewVersionAvail"), {newVersion}) + "\r\n" +
         GetLocalizedText("lc_DownloadQuery");
}

bool IsNoUpdateSwitch(std::string_view argument) {
  return argument.size() == 4 && (argument[0] == '/' || argument[0] == '-') &&
         SameTextAscii(argument.substr(1), "NUC");
}

} // namespace pellora
