#include "stores/mapi_message.h"

#include "mime/header_words.h"
#include "mime/transfer_encodings.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/file_types.h"
#include "mime/rtf_body.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pellora {
namespace {

int64_t LeInt(std::string_view data) {
  uint64_t value = 0;
  for (size_t i = std::min<size_t>(data.size(), 8); i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(data[i]);
  if (data.size() == 2) return static_cast<int16_t>(value);
  if (data.size() == 4) return static_cast<int32_t>(value);
  return static_cast<int64_t>(value);
}

bool IsString(uint16_t type) { return type == mpUnicode || type == mpString8; }

// CR LF line ends throughout.
std::string CrLfLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

// A header text: as it is when ASCII, else an encoded word in UTF-8.
std::string HeaderText(std::string_view text) {
  std::string clean;
  for (char c : text) clean += (c == '\r' || c == '\n') ? ' ' : c;
  return IsAscii(clean) ? clean : EncodeHeaderWordQ(clean, "utf-8");
}

std::string Mailbox(std::string_view name, std::string_view address) {
  std::string out;
  if (!name.empty() && name != address) {
    if (!IsAscii(name)) {
      out = HeaderText(name);
    } else if (name.find_first_of("()<>[]:;@\\,.\"") != std::string_view::npos) {
      out = "\"";
      for (char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
      }
      out += '"';
    } else {
      out = HeaderText(name);
    }
  }
  if (address.empty()) return out;
  if (out.empty()) return std::string(address);
  return out + " <" + std::string(address) + ">";
}

// An Internet address of a person: the SMTP address where the address is an Exchange one.
std::string SmtpAddress(const TMapiProps& props, uint16_t address, uint16_t smtp) {
  std::string text = props.Text(address);
  if (text.find('@') != std::string::npos) return text;
  // An Exchange address means nothing outside its server.
  return props.Text(smtp);
}

std::string MailDate(int64_t unixTime) {
  static const char* const Days[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int64_t days = unixTime / 86400, seconds = unixTime % 86400;
  if (seconds < 0) {
    seconds += 86400;
    --days;
  }
  const char* weekday = Days[((days % 7) + 7) % 7];
  // Civil date from days since 1970 (H. Hinnant's algorithm).
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %lld %02d:%02d:%02d +0000", weekday,
                static_cast<int>(day), Months[month - 1], static_cast<long long>(year),
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  return text;
}

// The charset name of a Windows code page, for a body kept as bytes.
std::string CharsetOfCodePage(int64_t codePage) {
  switch (codePage) {
  case 0:
  case 65001: return "utf-8";
  case 20127: return "us-ascii";
  case 932: return "shift_jis";
  case 936: return "gb2312";
  case 949: return "ks_c_5601-1987";
  case 950: return "big5";
  case 20866: return "koi8-r";
  case 21866: return "koi8-u";
  case 50220: return "iso-2022-jp";
  case 51932: return "euc-jp";
  case 54936: return "gb18030";
  }
  if (codePage >= 1250 && codePage <= 1258) return "windows-" + std::to_string(codePage);
  if (codePage >= 28591 && codePage <= 28605) return "iso-8859-" + std::to_string(codePage - 28590);
  return "utf-8";
}

bool IsBodyField(std::string_view line) {
  for (std::string_view name : {"content-type:", "content-transfer-encoding:", "mime-version:",
                                "content-disposition:", "content-id:"})
    if (line.size() >= name.size() && SameTextAscii(line.substr(0, name.size()), name)) return true;
  return false;
}

// A transport header without the fields that describe the body it came with.
std::string TransportHeader(std::string_view text) {
  std::string out;
  bool dropping = false;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string_view line = text.substr(at, end == std::string_view::npos ? end : end - at);
    at = end == std::string_view::npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) {
      if (!out.empty()) break; // a header ends at its first empty line
      continue;
    }
    if (line[0] == ' ' || line[0] == '\t') {
      if (!dropping && !out.empty()) out.append(line).append("\r\n");
      continue;
    }
    dropping = IsBodyField(line);
    if (!dropping) out.append(line).append("\r\n");
  }
  return out;
}

// A personal folder file may keep a subject behind a mark: 0x01 and the length of its prefix.
std::string SubjectOf(const TMapiProps& props) {
  std::string subject = props.Text(prSubject);
  if (subject.size() >= 2 && subject[0] == '\x01') subject.erase(0, 2);
  return subject;
}

std::string HeaderFromProperties(const TMapiMessage& message) {
  const TMapiProps& p = message.Props;
  std::string out;
  auto field = [&](std::string_view name, std::string_view value) {
    if (!value.empty()) out.append(name).append(": ").append(value).append("\r\n");
  };
  int64_t date = p.UnixTime(prClientSubmitTime);
  if (date == 0) date = p.UnixTime(prDeliveryTime);
  if (date != 0) field("Date", MailDate(date));
  std::string senderName = p.Text(prSenderName);
  std::string sender = SmtpAddress(p, prSenderEmail, prSenderSmtpAddress);
  if (senderName.empty() && sender.empty()) {
    senderName = p.Text(prSentRepresentingName);
    sender = SmtpAddress(p, prSentRepresentingEmail, prSentRepresentingSmtpAddress);
  }
  field("From", Mailbox(senderName, sender));
  static const char* const Kinds[] = {"To", "Cc", "Bcc"};
  for (int kind = 1; kind <= 3; ++kind) {
    std::string list;
    for (const TMapiProps& r : message.Recipients) {
      if (r.Int(prRecipientType, 1) != kind) continue;
      std::string one = Mailbox(r.Text(prDisplayName), SmtpAddress(r, prEmailAddress, prSmtpAddress));
      if (one.empty()) continue;
      if (!list.empty()) list += ",\r\n ";
      list += one;
    }
    field(Kinds[kind - 1], list);
  }
  field("Subject", HeaderText(SubjectOf(p)));
  field("Message-ID", p.Text(prInternetMessageId));
  field("In-Reply-To", p.Text(prInReplyToId));
  field("References", p.Text(prInternetReferences));
  if (p.Has(prImportance)) {
    int64_t importance = p.Int(prImportance, 1);
    if (importance == 2) {
      field("Importance", "high");
      field("X-Priority", "1");
    } else if (importance == 0) {
      field("Importance", "low");
      field("X-Priority", "5");
    }
  }
  return out;
}

// A MIME parameter: quoted when ASCII, in RFC 2231 form otherwise.
std::string Parameter(std::string_view name, std::string_view value) {
  if (IsAscii(value)) {
    std::string quoted;
    for (char c : value) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return std::string(name) + "=\"" + quoted + "\"";
  }
  std::string out = std::string(name) + "*=utf-8''";
  static const char Hex[] = "0123456789ABCDEF";
  for (unsigned char c : value) {
    if ((c < 0x80 && std::isalnum(c)) || c == '.' || c == '-' || c == '_') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += Hex[c >> 4];
      out += Hex[c & 15];
    }
  }
  return out;
}

struct TBody {
  std::string ContentType;
  std::string Text;
};

TBody BodyOf(const TMapiMessage& message) {
  const TMapiProps& p = message.Props;
  if (const TMapiValue* html = p.Find(prHtml); html && !html->Data.empty()) {
    std::string charset = IsString(html->Type) ? "utf-8" : CharsetOfCodePage(p.Int(prInternetCodepage));
    return {"text/html; charset=" + charset, html->Data};
  }
  std::string plain = p.Text(prBody);
  if (!plain.empty()) return {"text/plain; charset=utf-8", plain};
  if (const TMapiValue* rtf = p.Find(prRtfCompressed)) {
    TRtfBody body = RtfToBody(DecompressRtf(rtf->Data));
    if (!body.Text.empty())
      return {body.Html ? "text/html; charset=utf-8" : "text/plain; charset=utf-8", body.Text};
  }
  return {"text/plain; charset=utf-8", {}};
}

void AppendTextPart(std::string& out, const TBody& body) {
  out += "Content-Type: " + body.ContentType + "\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
  out += QPEncodeText(CrLfLines(body.Text), false);
  if (!out.ends_with("\r\n")) out += "\r\n";
}

std::string MimeOf(const TMapiMessage& message, int depth);

void AppendAttachment(std::string& out, const TMapiAttachment& a, int depth) {
  const TMapiProps& p = a.Props;
  std::string name = p.Text(prAttachLongFileName);
  if (name.empty()) name = p.Text(prAttachFileName);
  if (name.empty()) name = p.Text(prDisplayName);
  if (a.Embedded) {
    if (name.empty()) name = SubjectOf(a.Embedded->Props);
    out += "Content-Type: message/rfc822\r\nContent-Disposition: attachment";
    if (!name.empty()) out += "; " + Parameter("filename", name + ".eml");
    out += "\r\n\r\n" + MimeOf(*a.Embedded, depth + 1);
    return;
  }
  std::string type = p.Text(prAttachMimeTag);
  if (type.empty() || type.find('/') == std::string::npos) type = ContentTypeForFile(name);
  if (type.empty()) type = "application/octet-stream";
  out += "Content-Type: " + type;
  if (!name.empty()) out += "; " + Parameter("name", name);
  std::string contentId = p.Text(prAttachContentId);
  out += contentId.empty() ? "\r\nContent-Disposition: attachment" : "\r\nContent-Disposition: inline";
  if (!name.empty()) out += "; " + Parameter("filename", name);
  out += "\r\n";
  if (!contentId.empty()) {
    bool bracketed = contentId.starts_with('<');
    out += "Content-ID: " + std::string(bracketed ? "" : "<") + contentId + (bracketed ? "" : ">") + "\r\n";
  }
  out += "Content-Transfer-Encoding: base64\r\n\r\n";
  std::string lines;
  EncodeBase64Lines(a.Data, lines);
  out += lines;
}

std::string MimeOf(const TMapiMessage& message, int depth) {
  std::string out = MapiHeader(message);
  out += "MIME-Version: 1.0\r\n";
  const TBody body = BodyOf(message);
  if (message.Attachments.empty()) {
    AppendTextPart(out, body);
    return out;
  }
  // Encoded bodies never hold "=_", and an embedded message's parts have their own depth.
  const std::string boundary = "----=_Part_" + std::to_string(depth);
  out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
  // An empty body would show as an attachment of its own.
  if (!body.Text.empty()) {
    out += "--" + boundary + "\r\n";
    AppendTextPart(out, body);
    out += "\r\n";
  }
  for (const TMapiAttachment& a : message.Attachments) {
    out += "--" + boundary + "\r\n";
    AppendAttachment(out, a, depth);
    if (!out.ends_with("\r\n")) out += "\r\n";
    out += "\r\n";
  }
  out += "--" + boundary + "--\r\n";
  return out;
}

} // namespace

const TMapiValue* TMapiProps::Find(uint16_t id) const {
  auto it = FValues.find(id);
  return it == FValues.end() ? nullptr : &it->second;
}

std::string TMapiProps::Text(uint16_t id) const {
  const TMapiValue* v = Find(id);
  if (!v || !IsString(v->Type)) return {};
  std::string text = v->Data;
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

std::string TMapiProps::Bytes(uint16_t id) const {
  const TMapiValue* v = Find(id);
  return v ? v->Data : std::string();
}

int64_t TMapiProps::Int(uint16_t id, int64_t fallback) const {
  const TMapiValue* v = Find(id);
  if (!v) return fallback;
  switch (v->Type) {
  case mpInt16: return LeInt(std::string_view(v->Data).substr(0, 2));
  case mpInt32: return LeInt(std::string_view(v->Data).substr(0, 4));
  case mpBoolean: return LeInt(std::string_view(v->Data).substr(0, 1)) != 0;
  case mpInt64: return LeInt(std::string_view(v->Data).substr(0, 8));
  }
  return fallback;
}

int64_t TMapiProps::UnixTime(uint16_t id) const {
  const TMapiValue* v = Find(id);
  if (!v || v->Type != mpTime || v->Data.size() < 8) return 0;
  const int64_t fileTime = LeInt(std::string_view(v->Data).substr(0, 8));
  if (fileTime <= 0) return 0;
  // 100-nanosecond ticks since 1601.
  return fileTime / 10000000 - 11644473600LL;
}

std::string MapiItemKind(std::string_view messageClass) {
  auto is = [&](std::string_view prefix) {
    return messageClass.size() >= prefix.size() &&
           SameTextAscii(messageClass.substr(0, prefix.size()), prefix) &&
           (messageClass.size() == prefix.size() || messageClass[prefix.size()] == '.');
  };
  if (messageClass.empty() || is("IPM.Note") || (is("IPM") && messageClass.size() == 3) ||
      is("REPORT.IPM.Note"))
    return "mail";
  if (is("IPM.Appointment")) return "appointment";
  if (is("IPM.Schedule.Meeting")) return "meeting";
  if (is("IPM.Contact")) return "contact";
  if (is("IPM.DistList")) return "distribution list";
  if (is("IPM.Task") || is("IPM.TaskRequest")) return "task";
  if (is("IPM.StickyNote")) return "note";
  if (is("IPM.Activity")) return "journal";
  if (is("IPM.Post")) return "post";
  return std::string(messageClass);
}

std::string MapiHeader(const TMapiMessage& message) {
  std::string transport = TransportHeader(message.Props.Text(prTransportHeaders));
  return transport.empty() ? HeaderFromProperties(message) : transport;
}

std::string MapiToMime(const TMapiMessage& message) {
  return MimeOf(message, 0);
}

} // namespace pellora
