#pragma once
// Outlook's RTF bodies: the compressed form they are stored in, and what they hold.
#include <string>
#include <string_view>

namespace pellora {

// The RTF of a compressed RTF property (compressed or stored as it is); what could be
// decompressed when the data is damaged, empty when it is no such data.
std::string DecompressRtf(std::string_view data);

// An RTF body as a message body: the HTML it encapsulates (html true), or its text (UTF-8, CR LF
// lines).
struct TRtfBody {
  bool Html = false;
  std::string Text;
};
TRtfBody RtfToBody(std::string_view rtf);

} // namespace pellora
