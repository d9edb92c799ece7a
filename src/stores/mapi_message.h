#pragma once
// An Outlook item as its properties (the MAPI property bag of a personal folder file's item or of
// a ".msg" file), and the one way such an item becomes an Internet message of our model.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// Property types, as MAPI numbers them. Readers give every string as UTF-8 under mpUnicode.
enum TMapiType : uint16_t {
  mpInt16 = 0x0002,
  mpInt32 = 0x0003,
  mpBoolean = 0x000B,
  mpInt64 = 0x0014,
  mpString8 = 0x001E,
  mpUnicode = 0x001F,
  mpTime = 0x0040,
  mpBinary = 0x0102,
};

// Property ids the conversion reads.
enum TMapiProp : uint16_t {
  prImportance = 0x0017,
  prMessageClass = 0x001A,
  prSubject = 0x0037,
  prClientSubmitTime = 0x0039,
  prSentRepresentingName = 0x0042,
  prSentRepresentingEmail = 0x0065,
  prTransportHeaders = 0x007D,
  prRecipientType = 0x0C15,
  prSenderName = 0x0C1A,
  prSenderAddressType = 0x0C1E,
  prSenderEmail = 0x0C1F,
  prDeliveryTime = 0x0E06,
  prMessageFlags = 0x0E07,
  prMessageSize = 0x0E08,
  prBody = 0x1000,
  prRtfCompressed = 0x1009,
  prHtml = 0x1013,
  prInternetMessageId = 0x1035,
  prInternetReferences = 0x1039,
  prInReplyToId = 0x1042,
  prDisplayName = 0x3001,
  prAddressType = 0x3002,
  prEmailAddress = 0x3003,
  prAttachData = 0x3701,
  prAttachFileName = 0x3704,
  prAttachMethod = 0x3705,
  prAttachLongFileName = 0x3707,
  prAttachMimeTag = 0x370E,
  prAttachContentId = 0x3712,
  prSmtpAddress = 0x39FE,
  prInternetCodepage = 0x3FDE,
  prSenderSmtpAddress = 0x5D01,
  prSentRepresentingSmtpAddress = 0x5D02,
};

struct TMapiValue {
  uint16_t Type = 0;
  std::string Data; // strings as UTF-8; numbers and times little-endian as stored
};

class TMapiProps {
public:
  void Set(uint16_t id, uint16_t type, std::string data) { FValues[id] = {type, std::move(data)}; }
  const TMapiValue* Find(uint16_t id) const;
  // A string property's text (UTF-8); empty when absent or not a string.
  std::string Text(uint16_t id) const;
  // A binary property's bytes, or a string's text.
  std::string Bytes(uint16_t id) const;
  // An integer or boolean property; fallback when absent.
  int64_t Int(uint16_t id, int64_t fallback = 0) const;
  // A time property as seconds since 1970 (UTC); 0 when absent.
  int64_t UnixTime(uint16_t id) const;
  bool Has(uint16_t id) const { return Find(id) != nullptr; }

private:
  std::map<uint16_t, TMapiValue> FValues;
};

struct TMapiMessage;

struct TMapiAttachment {
  TMapiProps Props;
  std::string Data;                       // the file's bytes
  std::unique_ptr<TMapiMessage> Embedded; // a message attached as it is
};

struct TMapiMessage {
  TMapiProps Props;
  std::vector<TMapiProps> Recipients;
  std::vector<TMapiAttachment> Attachments;
};

// What kind of item a message class names: "mail", "appointment", "meeting", "contact",
// "distribution list", "task", "note", "journal", "post", or the class itself for others.
std::string MapiItemKind(std::string_view messageClass);

// The item's header as Internet header lines (CR LF each, no empty line after them): its transport
// header when it has one, without the fields that describe the body, else one made from its
// properties (sender, recipients by type, subject, date, message id, importance), encoded words
// where a text is not ASCII.
std::string MapiHeader(const TMapiMessage& message);

// The whole item as an Internet message (CR LF lines): MapiHeader, then the body (the HTML body,
// else the plain text, else the RTF body: encapsulated HTML taken out, other RTF as text) and
// the attachments, an attached message as message/rfc822.
std::string MapiToMime(const TMapiMessage& message);

} // namespace pellora
