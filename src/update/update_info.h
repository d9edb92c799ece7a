#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// The items an update-information page carries in its meta tags (`TagInfo`), with the tag
// names that carry them.
struct TUpdateTags {
  std::string productName;   // "PELLORAName": must be present
  std::string version;       // "PELLORAVersion": must be present, the newest version
  std::string download;      // "PELLORADownload"
  std::string file;          // "PELLORAFile"
  std::string author;        // "updAuthor"
  std::string email;         // "updEmail"
  std::string redirection;   // "updRedirection": fetch the information from there instead
  std::string runParameters; // "updRunParameters"
};

// Reads the tags from a page, line by line: the first "META NAME" (this case exactly) of a
// line names the tag, "CONTENT=" (any case) gives its value; a later line replaces a value.
void ReadUpdateTags(std::string_view page, TUpdateTags& tags);

// Whether the page's version is newer than the program's, dotted field by field (a field that
// is not a number counts 0). The comparison ends with the program's fields; a page version
// whose fields run out first counts its missing fields as 0.
bool IsNewerVersion(std::string_view programVersion, std::string_view pageVersion);

// The program's version as the check compares it: major.minor.release.build.
std::string ProductVersionText(std::string_view version);

// The address to fetch for an address of the check: "http://" or "https://" and a host are
// kept; an address without them is host and path; one without a host (starting with "/")
// takes the scheme and host of the information page.
std::string ResolveUpdateAddress(std::string_view address, std::string_view infoAddress);

// The redirections of one check: at most MaxRedirections, never an address fetched before.
class TRedirections {
public:
  static constexpr int MaxRedirections = 5;
  explicit TRedirections(std::string first) { FFetched.push_back(std::move(first)); }
  // The next address to fetch for a page's redirection tag, or "" when the check stops here.
  std::string Next(std::string_view redirection);

private:
  std::vector<std::string> FFetched;
};

// The question of an update: lc_NewVersionAvail with the version, a line break, lc_DownloadQuery.
std::string UpdateQuestion(std::string_view newVersion);

// "/NUC" or "-NUC", letters in any case: the switch that turns the check off.
bool IsNoUpdateSwitch(std::string_view argument);

} // namespace pellora
