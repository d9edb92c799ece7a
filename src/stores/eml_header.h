#pragma once
#include "platform/date_time.h"

#include <cstdint>
#include <string>

namespace pellora {

// The quick-scan header of one message: the fields a list row shows. (The record's three reserved
// fields are always empty: a row keeps no room for them.)
struct TEMLHeader {
  std::string DateText;
  TDateTime Date = 0;
  std::string From;
  std::string Sender;
  std::string ReplyTo;
  std::string ReturnPath;
  std::string To;
  std::string Cc;
  std::string Subject;
  int32_t Priority = 0;
  std::string ContentTransferEncoding;
  std::string MessageID;
  std::string ContentType;
  int64_t Size = 0;
  std::string DocumentID;
};

} // namespace pellora
