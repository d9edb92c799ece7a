#pragma once
// Outlook's TNEF attachments (winmail.dat): the files and the body they carry.
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

struct TTnefFile {
  std::string Name;
  std::string MimeType; // empty when the stream names none
  std::string ContentId;
  std::string Data;
};

struct TTnefContent {
  // The body as HTML (BodyIsHtml) or UTF-8 text; empty when the stream carries none.
  std::string Body;
  bool BodyIsHtml = false;
  std::string BodyCharset; // empty when unknown (HTML stored as bytes names its own)
  std::vector<TTnefFile> Files;
};

// Whether a part of this type and file name is a TNEF stream.
bool IsTnefPart(std::string_view mimeType, std::string_view fileName);

// False when data is no TNEF stream; what could be read of a damaged one otherwise.
bool ReadTnef(std::string_view data, TTnefContent& content);

} // namespace pellora
