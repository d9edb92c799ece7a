#include "mime/mail_part.h"

#include "mime/header_fields.h"
#include "mime/header_words.h"
#include "mime/mail_message.h"
#include "mime/mail_text.h"
#include "mime/tnef_reader.h"
#include "mime/transfer_encodings.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/file_types.h"
#include "platform/files.h"
#include "platform/pellora_error.h"
#include "platform/unicode.h"

#include <algorithm>
#include <cstring>

namespace pellora {
namespace {

// Start of the first line at or after from (a line start) that begins with marker;
// npos when there is none.
size_t FindLineStartingWith(std::string_view body, size_t from, std::string_view marker) {
  if (from == 0 && body.substr(0, marker.size()) == marker) return 0;
  if (marker.empty()) {
    size_t cr = body.find("\r\n", from >= 2 ? from - 2 : 0);
    return cr == std::string_view::npos ? cr : cr + 2;
  }
  // The marker is rare where lines are many: its occurrences are found first, then the one at
  // a line start is kept.
  for (size_t at = std::max<size_t>(from, 2); at < body.size();) {
    auto hit = static_cast<const char*>(
        memmem(body.data() + at, body.size() - at, marker.data(), marker.size()));
    if (hit == nullptr) return std::string_view::npos;
    size_t start = static_cast<size_t>(hit - body.data());
    if (body[start - 2] == '\r' && body[start - 1] == '\n') return start;
    at = start + 1;
  }
  return std::string_view::npos;
}

// Start of the first delimiter line at or after from: "--" + boundary, then only an optional
// "--" (closing: set) and blanks (RFC 2046), so that boundary "b" does not match "--bb".
size_t FindDelimiterLine(std::string_view body, size_t from, std::string_view delimiter,
                         bool& closing) {
  for (size_t at = FindLineStartingWith(body, from, delimiter); at != std::string_view::npos;
       at = FindLineStartingWith(body, at + 1, delimiter)) {
    size_t lineEnd = body.find("\r\n", at);
    std::string_view rest = body.substr(
        at + delimiter.size(),
        (lineEnd == std::string_view::npos ? body.size() : lineEnd) - at - delimiter.size());
    closing = rest.starts_with("--");
    if (closing) rest.remove_prefix(2);
    if (TrimBlanksRight(rest).empty()) return at;
  }
  return std::string_view::npos;
}

// Blanks around a line of an encoded body do not belong to the data.
std::string_view TrimLine(std::string_view line) {
  return TrimBlanksRight(TrimBlanksLeft(line));
}

} // namespace

std::string NormalizeLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  ForEachLine(text, [&](std::string_view line) {
    out += line;
    out += "\r\n";
  });
  return out;
}

TMailPart::TMailPart(std::string name) : FName(std::move(name)) {}

TMailPart::~TMailPart() = default;

void TMailPart::ClearPart() {
  FSubParts.Clear();
  FOwnedParts.clear();
  FHeaderLines.clear();
  FEncodedBody.clear();
  FDecodedBody.clear();
  FBodyCharset.clear();
  FTransferEncoding.clear();
  FDecoded = false;
  ++FHeaderVersion;
}

TMailPart* TMailPart::NewSubPart() {
  FOwnerMessage->CountPart();
  auto part = std::make_unique<TMailPart>();
  part->FOwnerMessage = FOwnerMessage;
  part->FParentPart = this;
  part->FDepth = FDepth + 1;
  TMailPart* raw = part.get();
  FOwnedParts.push_back(std::move(part));
  return raw;
}

void TMailPart::ReadFromFile(const std::string& path) {
  ReadFromStored(ReadWholeFile(path));
}

void TMailPart::ReadFromStored(std::string stored) {
  ParseText(NormalizeLineEnds(stored), true);
  if (FOwnerMessage == this) FOwnerMessage->FSourceText = std::move(stored);
}

void TMailPart::ReadFromText(std::string_view text) {
  std::string stored(text); // text may lie in the message's own source text
  ParseText(stored, true);
  if (FOwnerMessage == this) FOwnerMessage->FSourceText = std::move(stored);
}

void TMailPart::ParseText(std::string_view text, bool withHeader) {
  if (FOwnerMessage == nullptr)
    throw EPelloraError(FName + ": TMailPart must be owned by a TMailMessage");
  ClearPart();
  FOwnerMessage->MarkParsed();
  if (FOwnerMessage == this) FOwnerMessage->StartPartCount(text.size());
  size_t bodyStart = withHeader ? ParseHeader(text) : 0;
  std::string_view body = text.substr(bodyStart);

  if (!HasField("Content-Type")) {
    ParsePlain(body);
    return;
  }
  std::string type = FieldValue("Content-Type");
  if (type.size() >= 10 && StartsWithText(type, "multipart/") && FDepth < MaxDepth &&
      FOwnerMessage->PartsLeft()) {
    ParseMultipart(body);
    return;
  }
  FEncodedBody.assign(body);
  // The file name is asked for only of the types a TNEF stream comes as: it costs a decoding.
  if (const std::string mimeType = MimeType();
      mimeType.starts_with("application/") && FDepth < MaxDepth && FOwnerMessage->PartsLeft() &&
      IsTnefPart(mimeType, AttachmentFileName()))
    ExpandTnef();
}

size_t TMailPart::ParseHeader(std::string_view text) {
  TBufferLineWalker walker(text);
  std::string_view line;
  size_t offset;
  while (walker.NextBufferLine(line, offset)) {
    if (line.empty()) break; // the empty line belongs to neither header nor body
    if ((line[0] == ' ' || line[0] == '\t') && !FHeaderLines.empty()) {
      std::string& previous = FHeaderLines.back();
      previous += ' ';
      previous.append(TrimBlanksLeft(line.substr(1)));
    } else {
      FHeaderLines.emplace_back(line);
    }
  }
  for (auto& header : FHeaderLines) {
    // A zero byte is a character like any other, shown as a blank: it ends no field.
    std::replace(header.begin(), header.end(), '\0', ' ');
    header = NormalizeHeaderLine(header);
  }
  return walker.Position();
}

void TMailPart::ParseMultipart(std::string_view body) {
  const std::string boundary = Boundary();
  const std::string delimiter = "--" + boundary;
  bool closing = false;
  size_t first = FindDelimiterLine(body, 0, delimiter, closing);
  if (first == std::string_view::npos) {
    FEncodedBody.assign(body);
    return;
  }
  FEncodedBody.assign(body.substr(0, first)); // the preamble with the CR LF before the delimiter
  auto addPart = [&](std::string_view text) {
    TMailPart* part = NewSubPart();
    part->ParseText(text, true);
    part->FParentBoundary = boundary;
    FSubParts.Add(part);
  };
  size_t current = first;
  // After the closing delimiter comes the epilogue, which holds no parts, delimiter lines or not.
  while (!closing) {
    size_t lineEnd = body.find("\r\n", current);
    if (lineEnd == std::string_view::npos) break;
    size_t start = lineEnd + 2;
    if (!FOwnerMessage->PartsLeft()) {
      // Beyond the message's count of parts the rest is kept whole, as one last part.
      if (start < body.size()) addPart(body.substr(start));
      break;
    }
    bool nextClosing = false;
    size_t next = FindDelimiterLine(body, start, delimiter, nextClosing);
    if (next == std::string_view::npos) {
      // Without its closing delimiter (a message cut short) the last part runs to the end.
      if (start < body.size()) addPart(body.substr(start));
      break;
    }
    if (next > start) addPart(body.substr(start, next - 2 - start));
    current = next;
    closing = nextClosing;
  }
}

void TMailPart::ParsePlain(std::string_view body) {
  size_t first = FDepth < MaxDepth && FOwnerMessage->PartsLeft()
                     ? FindLineStartingWith(body, 0, "begin 6")
                     : std::string_view::npos;
  if (first == std::string_view::npos) {
    FEncodedBody.assign(body);
    return;
  }
  FEncodedBody.assign(body.substr(0, first));

  // The text declares no charset: UTF-8 is labelled so, other text with the message's charset.
  auto labelOf = [this](std::string_view text) {
    return !IsAscii(text) && IsValidUtf8(text) ? std::string("utf-8") : FOwnerMessage->Charset();
  };
  std::string newBoundary;
  std::string fileName;
  bool inside = false;
  size_t regionStart = 0;
  TBufferLineWalker walker(body.substr(first));
  std::string_view line;
  size_t offset;
  while (walker.NextBufferLine(line, offset)) {
    offset += first;
    if (line.substr(0, 7) == "begin 6") {
      if (newBoundary.empty()) {
        newBoundary = NewBoundary();
        TMailPart* text = NewSubPart();
        text->ParseText(QPEncodeText(FEncodedBody, false), false);
        text->FParentBoundary = newBoundary;
        text->SetFieldValue("Content-Type", "text/plain");
        text->SetFieldParam("Content-Type", "charset", "\"" + labelOf(FEncodedBody) + "\"");
        text->SetFieldValue("Content-Transfer-Encoding", "quoted-printable");
        FSubParts.Add(text);
        SetFieldValue("Content-Type", "");
        SetFieldValue("Content-Type", "multipart/mixed");
        SetFieldParam("Content-Type", "boundary", "\"" + newBoundary + "\"");
      }
      fileName.assign(TrimBlanks(line.size() > 10 ? line.substr(10) : std::string_view()));
      regionStart = first + walker.Position();
      inside = true;
    } else if (inside && line.substr(0, 3) == "end" && FOwnerMessage->PartsLeft()) {
      std::string_view region = offset >= regionStart + 2
                                    ? body.substr(regionStart, offset - 2 - regionStart)
                                    : std::string_view();
      std::string data;
      UUDecodeBlock(region, data);
      AddFilePart(newBoundary, std::move(data), fileName, ContentTypeForFile(fileName));
      inside = false;
    }
  }
}

TMailPart* TMailPart::AddFilePart(const std::string& boundary, std::string data,
                                  std::string_view fileName, std::string_view type) {
  // The file names declare no charset: UTF-8 ones are labelled so, others with the message's.
  const std::string label =
      !IsAscii(fileName) && IsValidUtf8(fileName) ? std::string("utf-8") : FOwnerMessage->Charset();
  TMailPart* file = NewSubPart();
  file->FDecodedBody = std::move(data);
  file->ReencodeAsBase64();
  file->FParentBoundary = boundary;
  const std::string quoted = "\"" + EncodeHeaderWordQ(fileName, label) + "\"";
  file->SetFieldValue("Content-Type", type);
  file->SetFieldValue("Content-Transfer-Encoding", "base64");
  file->SetFieldValue("Content-Disposition", "attachment");
  file->SetFieldParam("Content-Type", "name", quoted);
  file->SetFieldParam("Content-Disposition", "filename", quoted);
  file->SetFieldValue("X-Pellora-Attachment", quoted);
  file->SetFieldParam("X-Pellora-Attachment", "embedded", "no");
  FSubParts.Add(file);
  return file;
}

void TMailPart::ExpandTnef() {
  DecodeBody();
  TTnefContent content;
  if (!ReadTnef(FDecodedBody, content) || (content.Files.empty() && content.Body.empty())) return;
  // The stream gives way to what it carries, its body first.
  const std::string boundary = NewBoundary();
  if (!content.Body.empty()) {
    TMailPart* body = NewSubPart();
    body->FDecodedBody = std::move(content.Body);
    body->ReencodeAsBase64();
    body->FParentBoundary = boundary;
    body->SetFieldValue("Content-Type", content.BodyIsHtml ? "text/html" : "text/plain");
    if (!content.BodyCharset.empty())
      body->SetFieldParam("Content-Type", "charset", content.BodyCharset);
    FSubParts.Add(body);
  }
  for (TTnefFile& f : content.Files) {
    if (!FOwnerMessage->PartsLeft()) break;
    const std::string type = f.MimeType.find('/') != std::string::npos ? f.MimeType
                                                                        : ContentTypeForFile(f.Name);
    TMailPart* file = AddFilePart(boundary, std::move(f.Data), f.Name, type);
    if (!f.ContentId.empty()) file->SetFieldValue("Content-ID", "<" + f.ContentId + ">");
  }
  SetFieldValue("Content-Transfer-Encoding", "");
  SetFieldValue("Content-Disposition", "");
  SetFieldValue("Content-Type", "");
  SetFieldValue("Content-Type", "multipart/mixed");
  SetFieldParam("Content-Type", "boundary", "\"" + boundary + "\"");
  SetFieldValue(TnefField, "expanded");
  FEncodedBody.clear();
  FDecodedBody.clear();
  FDecoded = false;
}

int TMailPart::FindField(std::string_view name) const {
  for (size_t i = 0; i < FHeaderLines.size(); ++i) {
    const std::string& line = FHeaderLines[i];
    if (line.size() > name.size() && line[name.size()] == ':' && StartsWithText(line, name))
      return static_cast<int>(i);
  }
  return -1;
}

namespace {

std::string Unquote(std::string_view value) {
  value = TrimBlanks(value);
  auto isQuote = [](char c) { return c == '"' || c == '\''; };
  if (value.size() > 2 && isQuote(value.front()) && isQuote(value.back()))
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

} // namespace

std::string TMailPart::FieldValue(std::string_view name) const {
  int i = FindField(name);
  return i < 0 ? std::string() : Unquote(FieldValueOf(FHeaderLines[static_cast<size_t>(i)]));
}

std::string TMailPart::FieldParam(std::string_view name, std::string_view param) const {
  int i = FindField(name);
  if (i < 0) return {};
  const std::string& line = FHeaderLines[static_cast<size_t>(i)];
  std::string value = Unquote(FieldParamOf(line, param));
  // Written only in the form of RFC 2231 ("boundary*=", or numbered pieces "boundary*0=").
  if (value.empty()) ExtendedParamOf(line, param, value);
  return value;
}

void TMailPart::SetFieldValue(std::string_view name, std::string_view value) {
  int i = FindField(name);
  ++FHeaderVersion;
  if (value.empty()) {
    if (i >= 0) FHeaderLines.erase(FHeaderLines.begin() + i);
    return;
  }
  if (i < 0) {
    FHeaderLines.push_back(std::string(name) + ": ");
    i = static_cast<int>(FHeaderLines.size()) - 1;
  }
  std::string& line = FHeaderLines[static_cast<size_t>(i)];
  line = WithFieldValue(line, value);
}

void TMailPart::SetFieldParam(std::string_view name, std::string_view param,
                              std::string_view value) {
  int i = FindField(name);
  ++FHeaderVersion;
  if (i < 0) {
    FHeaderLines.push_back(std::string(name) + ": ");
    i = static_cast<int>(FHeaderLines.size()) - 1;
  }
  std::string& line = FHeaderLines[static_cast<size_t>(i)];
  line = WithFieldParam(line, param, value);
}

std::string TMailPart::MimeType() const {
  return LowerCaseAscii(FieldValue("Content-Type"));
}

std::string TMailPart::EffectiveType() const {
  std::string type = MimeType();
  if (type == "text") return "text/plain"; // as mailers that write the type alone mean it
  if (!type.empty()) return type;
  if (FParentPart && FParentPart->MimeType() == "multipart/digest") return "message/rfc822";
  return "text/plain";
}

void TMailPart::DecodeBody() {
  if (FDecoded) return;
  FDecoded = true;
  if (FEncodedBody.empty()) return;
  FTransferEncoding = LowerCaseAscii(FieldValue("Content-Transfer-Encoding"));
  FBodyCharset = FieldParam("Content-Type", "charset");
  FDecodedBody.clear();
  if (FTransferEncoding == "quoted-printable") {
    FDecodedBody.reserve(FEncodedBody.size());
    QPDecodeAppend(FEncodedBody, FDecodedBody);
  } else if (FTransferEncoding == "base64") {
    FDecodedBody.reserve(FEncodedBody.size() / 4 * 3 + 3);
    TBase64Decoder decoder;
    TBufferLineWalker walker(FEncodedBody);
    std::string_view line;
    size_t offset;
    while (walker.NextBufferLine(line, offset))
      decoder.Feed(TrimLine(line), FDecodedBody);
  } else if (FTransferEncoding == "uucode" || FTransferEncoding == "x-uuencode") {
    TBufferLineWalker walker(FEncodedBody);
    std::string_view line;
    size_t offset;
    while (walker.NextBufferLine(line, offset))
      UUDecodeOneLine(TrimLine(line), FDecodedBody);
    ReencodeAsBase64();
  } else {
    FDecodedBody = FEncodedBody;
  }
}

void TMailPart::ReencodeAsBase64() {
  EncodeBase64Lines(FDecodedBody, FEncodedBody);
  SetFieldValue("Content-Transfer-Encoding", "base64");
}

std::string TMailPart::AttachmentFileName() const {
  const bool hasType = HasField("Content-Type");
  std::string raw, name;
  // The RFC 2231 form of a name is decoded on reading; the other sources hold encoded words.
  auto extended = [&](std::string_view field, std::string_view param) {
    int i = FindField(field);
    return i >= 0 && ExtendedParamOf(FHeaderLines[static_cast<size_t>(i)], param, name) &&
           !name.empty();
  };
  bool decoded = false;
  // The disposition's file name before the type's name (RFC 2183).
  if (HasField("X-Pellora-Attachment"))
    raw = FieldValue("X-Pellora-Attachment");
  else if ((decoded = extended("Content-Disposition", "filename"))) {
  } else if (!(raw = FieldParam("Content-Disposition", "filename")).empty()) {
  } else if ((decoded = extended("Content-Type", "name"))) {
  } else if (!(raw = FieldParam("Content-Type", "name")).empty()) {
  } else if (HasField("Content-ID"))
    raw = FieldValue("Content-ID");
  else if (HasField("Content-Location"))
    raw = FieldValue("Content-Location");
  else if (hasType)
    raw = FieldValue("Content-Type") + ExtensionForContentType(MimeType());
  else
    raw = "unknown";
  if (!decoded) name = DecodeHeaderWords(raw);
  if (name.find('.') == std::string::npos && hasType) name += ExtensionForContentType(MimeType());
  return CleanFileName(name);
}

} // namespace pellora
