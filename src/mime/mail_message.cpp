#include "mime/mail_message.h"

#include "mime/address_list.h"
#include "mime/header_fields.h"
#include "mime/header_words.h"
#include "mime/html_text.h"
#include "mime/mail_date.h"
#include "platform/ascii.h"
#include "platform/charset.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cstring>

namespace pellora {

// --- Recipients ---------------------------------------------------------------------------

TMailRecipients::TMailRecipients(const TMailMessage* message, std::string fieldName)
    : FMessage(message), FFieldName(std::move(fieldName)) {}

void TMailRecipients::Refresh() const {
  if (FVersion == FMessage->HeaderVersion()) return;
  FNames.clear();
  FAddresses.clear();
  const std::string prefix = FFieldName + ":";
  for (const auto& line : FMessage->HeaderLines()) {
    if (!StartsWithText(line, prefix)) continue;
    for (TMailAddress& item : ParseAddressList(std::string_view(line).substr(prefix.size()))) {
      FNames.push_back(std::move(item.Name));
      FAddresses.push_back(std::move(item.Address));
    }
  }
  FVersion = FMessage->HeaderVersion();
}

int TMailRecipients::Count() const {
  Refresh();
  return static_cast<int>(FNames.size());
}

std::string TMailRecipients::Name(int index) const {
  Refresh();
  return index >= 0 && index < static_cast<int>(FNames.size()) ? FNames[index] : std::string();
}

std::string TMailRecipients::Address(int index) const {
  Refresh();
  return index >= 0 && index < static_cast<int>(FAddresses.size()) ? FAddresses[index]
                                                                   : std::string();
}

const std::vector<std::string>& TMailRecipients::Names() const {
  Refresh();
  return FNames;
}

const std::vector<std::string>& TMailRecipients::Addresses() const {
  Refresh();
  return FAddresses;
}

// --- Route --------------------------------------------------------------------------------

namespace {

enum TRouteKeyword { rkNone, rkFrom, rkBy, rkFor };

TRouteKeyword RouteKeyword(std::string_view word) {
  word = TrimBlanks(word);
  if (SameTextAscii(word, "from")) return rkFrom;
  if (SameTextAscii(word, "by")) return rkBy;
  if (SameTextAscii(word, "for")) return rkFor;
  return rkNone;
}

} // namespace

TReceived ParseReceivedLine(std::string_view line) {
  TReceived hop;
  std::string_view text = TrimBlanks(line.size() > 9 ? line.substr(9) : std::string_view());
  TRouteKeyword keyword = rkNone;
  size_t depth = 0;
  std::string word;
  // A keyword is never a value: in "from [192.0.2.55] by mx" the host is in brackets, and
  // "by" starts the next clause.
  auto endWord = [&] {
    if (word.empty()) return;
    if (TRouteKeyword next = RouteKeyword(word); next != rkNone) {
      keyword = next;
    } else if (keyword != rkNone) {
      (keyword == rkFrom ? hop.FromHost : keyword == rkBy ? hop.ByHost : hop.ForAddress) = word;
      keyword = rkNone;
    }
    word.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '(' || c == '[') {
      ++depth;
      continue;
    }
    if (c == ')' || c == ']') {
      if (depth > 0) --depth;
      continue;
    }
    if (depth > 0 || c == '"' || c == '\'' || c == '<' || c == '>') continue;
    if (c == ';') {
      endWord();
      hop.Date = ParseMailDate(text.substr(i + 1));
      break;
    }
    if (c == ' ') {
      endWord();
      continue;
    }
    word += c;
  }
  return hop;
}

// --- Message ------------------------------------------------------------------------------

TMailMessage::TMailMessage() : FToList(this, "To"), FCcList(this, "Cc"), FBccList(this, "Bcc") {
  FOwnerMessage = this;
}

TMailMessage::~TMailMessage() = default;

void TMailMessage::ClearDerived() {
  FContentIds.clear();
  FContentIdsKnown = false;
  FAttachments.Clear();
  FAppendedParts.Clear();
  FTextBody.Clear();
  FAppendedFrom = 0;
  FHtmlBody.Clear();
  FHtmlShownText.Clear();
  FHtmlShownTextMade = false;
  FTextPart = FHtmlPart = FMixedPart = FRelatedPart = FAlternativePart = nullptr;
}

void TMailMessage::MarkParsed() {
  ClearDerived();
  FRebuildPending = true;
  FAnalysisPending = true;
}

void TMailMessage::ResetMessage() {
  ClearPart();
  FSourceText.clear();
  ClearDerived();
  FRebuildPending = false;
  FAnalysisPending = false;
}

void TMailMessage::AdoptText(std::string& text) {
  ParseText(text, true); // the parts keep copies, never views of text
  FSourceText.swap(text);
  text.clear();
}

void TMailMessage::ParseAddressField(std::string_view fieldName, std::string& name,
                                     std::string& address) const {
  name.clear();
  address.clear();
  const int i = FindField(fieldName);
  if (i < 0) return;
  // The whole value: a ";" in a display name or a group's is no parameter separator.
  std::string_view line = HeaderLines()[static_cast<size_t>(i)];
  std::vector<TMailAddress> list = ParseAddressList(line.substr(fieldName.size() + 1));
  if (list.empty()) return;
  name = std::move(list[0].Name);
  address = std::move(list[0].Address);
}

std::string TMailMessage::FromName() const {
  std::string name, address;
  ParseAddressField("From", name, address);
  return name;
}

std::string TMailMessage::FromAddress() const {
  std::string name, address;
  ParseAddressField("From", name, address);
  return address;
}

std::string TMailMessage::ReplyToName() const {
  std::string name, address;
  ParseAddressField("Reply-To", name, address);
  return name;
}

std::string TMailMessage::ReplyToAddress() const {
  std::string name, address;
  ParseAddressField("Reply-To", name, address);
  return address;
}

std::string TMailMessage::SubjectText() const {
  // A subject is free text: unlike structured fields it is not cut at ";".
  int i = FindHeaderLine(HeaderLines(), "Subject:");
  if (i < 0) return {};
  std::string_view line = HeaderLines()[static_cast<size_t>(i)];
  std::string_view value = TrimBlanks(line.substr(std::strlen("Subject:")));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = TrimBlanks(value.substr(1, value.size() - 2));
  if (value.size() > 2 && (value.front() == '"' || value.front() == '\'') &&
      (value.back() == '"' || value.back() == '\''))
    value = value.substr(1, value.size() - 2);
  return DecodeHeaderWords(value);
}

TDateTime TMailMessage::MessageDate() const {
  return ParseMailDate(TrimBlanks(FieldValue("Date")));
}

int TMailMessage::ReceivedCount() const {
  int count = 0;
  for (const auto& line : HeaderLines())
    if (StartsWithText(line, "Received:")) ++count;
  return count;
}

std::vector<TReceived> TMailMessage::Route() const {
  std::vector<TReceived> hops;
  for (const auto& line : HeaderLines())
    if (StartsWithText(line, "Received:")) hops.push_back(ParseReceivedLine(line));
  return hops;
}

TReceived TMailMessage::ReceivedHop(int index) const {
  if (index < 0) return {};
  int i = FindHeaderLine(HeaderLines(), "Received:", index);
  if (i < 0) return {};
  return ParseReceivedLine(HeaderLines()[static_cast<size_t>(i)]);
}

namespace {

// The body in the code page: by its charset, an HTML body without one by its meta element,
// a body that declares none as undeclared 8-bit text.
void FillText(const TMailPart& part, std::string_view type, std::string& text) {
  std::string_view bytes = part.DecodedBody();
  std::string charset = part.BodyCharset();
  if (charset.empty() && type == "text/html") charset = HtmlMetaCharset(bytes);
  // A zero byte left after the conversion (UTF-16 text holds many before) is a character like any
  // other: shown as a blank, it cuts no text short.
  text.clear();
  AppendCharsetToAnsi(bytes, charset, text);
  std::replace(text.begin(), text.end(), '\0', ' ');
}

} // namespace

const std::vector<std::string>& TMailMessage::TBodyText::Lines() const {
  if (!FSplit) {
    ForEachLine(FText, [&](std::string_view line) { FLines.emplace_back(line); });
    FSplit = true;
  }
  return FLines;
}

void TMailMessage::TBodyText::Clear() {
  FText.clear();
  FLines.clear();
  FSplit = false;
}

bool TMailMessage::TakeBody(TMailPart* part, std::string_view type) {
  // Text appended after an HTML body stays where it is: no later text part takes its place.
  if (FTextPart == nullptr && type == "text/plain" && FAppendedParts.Count() == 0) {
    part->DecodeBody();
    if (!part->DecodedBody().empty()) {
      FTextPart = part;
      FillText(*part, type, FTextBody.Text());
      FAppendedFrom = FTextBody.Text().size();
      return true;
    }
  }
  if (FHtmlPart == nullptr && type == "text/html") {
    part->DecodeBody();
    if (!part->DecodedBody().empty()) {
      FHtmlPart = part;
      FillText(*part, type, FHtmlBody.Text());
      return true;
    }
  }
  return false;
}

void TMailMessage::AppendText(TMailPart* part) {
  FAppendedParts.Add(part);
  part->DecodeBody();
  std::string text;
  FillText(*part, "text/plain", text);
  if (text.empty()) return;
  std::string& body = FTextBody.Text();
  if (!body.empty() && body.back() != '\n' && body.back() != '\r') body += "\r\n";
  if (FAppendedParts.Count() == 1) FAppendedFrom = body.size();
  body += text;
}

namespace {

enum TContainer { ctNone, ctMixed, ctRelated, ctAlternative, ctWrapper };

TContainer ContainerOf(std::string_view type) {
  if (!type.starts_with("multipart/")) return ctNone;
  if (type == "multipart/alternative") return ctAlternative;
  if (type == "multipart/related") return ctRelated;
  // Signed and report parts only wrap what they carry (the signature and the machine-readable
  // report are parts of their own).
  if (type == "multipart/signed" || type == "multipart/report") return ctWrapper;
  // Digests, parallel parts and subtypes unknown here are read as mixed (RFC 2046 5.1.3-5.1.7).
  return ctMixed;
}

// A text part that is part of what was sent: not an attachment, and without a file name.
bool IsInlineText(const TMailPart& part) {
  return !SameTextAscii(part.FieldValue("Content-Disposition"), "attachment") &&
         part.FieldParam("Content-Disposition", "filename").empty() &&
         part.FieldParam("Content-Type", "name").empty();
}

} // namespace

void TMailMessage::FindBodies() {
  if (!FAnalysisPending) return;
  ClearDerived();
  FAnalysisPending = false;
  // Depth-first, each part before its sub-parts; iterative so depth costs no stack. Each part
  // goes with its parent as the body rules see it (null: it stands in the message's place).
  struct TVisit {
    TMailPart* part;
    TMailPart* parent;
  };
  std::vector<TVisit> stack{{this, nullptr}};
  while (!stack.empty()) {
    auto [part, parent] = stack.back();
    stack.pop_back();
    const std::string type = part->EffectiveType();
    const TContainer container = ContainerOf(type);
    // A wrapper's parts, and those of a mixed part within the mixed part that holds the body (a
    // signed message's usual shape), stand in its place.
    const bool transparent =
        container == ctWrapper ||
        (container == ctMixed && FMixedPart != nullptr && parent == FMixedPart);
    TMailPart* subParent = transparent ? parent : part;
    const TMailPartList& subs = part->SubParts();
    for (int i = subs.Count() - 1; i >= 0; --i)
      stack.push_back({subs[i], subParent});

    if (FMixedPart == nullptr && container == ctMixed) {
      FMixedPart = part;
      continue;
    }
    if (FRelatedPart == nullptr && container == ctRelated) {
      FRelatedPart = part;
      continue;
    }
    if (FAlternativePart == nullptr && container == ctAlternative) {
      FAlternativePart = part;
      continue;
    }
    if (part->ParentPart() != nullptr && part->ParentPart()->HasField(TnefField)) {
      if (part->HasField("Content-Disposition")) FAttachments.Add(part);
      else if (FTextPart == nullptr && FHtmlPart == nullptr) TakeBody(part, type);
      continue;
    }
    const bool leaf = subs.Count() == 0;
    bool taken = false;
    if (parent == nullptr && leaf && type.starts_with("text/")) taken = TakeBody(part, type);
    if (!taken && FMixedPart != nullptr && parent == FMixedPart) {
      // A text part after the body (a list's footer) is more of what was sent.
      if ((FTextPart || FHtmlPart) && leaf && type == "text/plain" && IsInlineText(*part)) {
        AppendText(part);
        taken = true;
      } else if (FAlternativePart == nullptr) {
        taken = TakeBody(part, type);
      }
    }
    if (!taken && FRelatedPart != nullptr && parent == FRelatedPart) taken = TakeBody(part, type);
    if (!taken && FAlternativePart != nullptr && parent == FAlternativePart)
      taken = TakeBody(part, type);
    if (!taken && leaf) FAttachments.Add(part);
  }
}

namespace {

void SerializeParts(const TMailPartList& parts, std::string& out) {
  if (parts.Count() == 0) return;
  for (TMailPart* part : parts) {
    out += "\r\n--";
    out += part->ParentBoundary();
    out += "\r\n";
    for (const auto& line : part->HeaderLines()) {
      if (line.empty()) continue;
      out += line;
      out += "\r\n";
    }
    out += "\r\n";
    if (part->SubParts().Count() == 0)
      out += part->EncodedBody();
    else
      SerializeParts(part->SubParts(), out); // depth is bounded by the parser
  }
  out += "\r\n--";
  out += parts[0]->ParentBoundary();
  out += "--\r\n";
}

} // namespace

TMailPart* TMailMessage::ContentIdPart(std::string_view id) {
  // A page asks once per image: one walk of the tree serves them all.
  if (!FContentIdsKnown) {
    std::vector<TMailPart*> stack{this};
    while (!stack.empty()) {
      TMailPart* part = stack.back();
      stack.pop_back();
      std::string value = part->FieldValue("Content-ID");
      std::string_view v = value;
      while (!v.empty() && (v.front() == '<' || v.front() == ' '))
        v.remove_prefix(1);
      while (!v.empty() && (v.back() == '>' || v.back() == ' '))
        v.remove_suffix(1);
      if (!value.empty()) FContentIds.emplace(v, part); // the first in tree order wins
      const TMailPartList& subs = part->SubParts();
      for (int i = subs.Count() - 1; i >= 0; --i)
        stack.push_back(subs[i]);
    }
    FContentIdsKnown = true;
  }
  auto found = FContentIds.find(std::string(id));
  return found == FContentIds.end() ? nullptr : found->second;
}

namespace {

// Text is no markup: "<" and "&" in it must show as written.
void AppendTextAsHtml(std::string_view text, std::string& document) {
  document += "<pre style=\"white-space: pre-wrap; overflow-wrap: anywhere\">";
  bool first = true;
  ForEachLine(text, [&](std::string_view line) {
    if (!first) document += "\r\n";
    first = false;
    for (char c : line) {
      switch (c) {
      case '&':
        document += "&amp;";
        break;
      case '<':
        document += "&lt;";
        break;
      case '>':
        document += "&gt;";
        break;
      default:
        document += c;
      }
    }
  });
  document += "</pre>";
}

} // namespace

const std::string& TMailMessage::PlainViewText() const {
  if (!PlainFromHtml()) return FTextBody.Text();
  if (!FHtmlShownTextMade) {
    std::string& text = FHtmlShownText.Text();
    text = HtmlToText(FHtmlBody.Text());
    std::string_view appended = std::string_view(FTextBody.Text()).substr(FAppendedFrom);
    if (!appended.empty()) {
      if (!text.empty()) text += "\r\n";
      text += appended;
    }
    FHtmlShownTextMade = true;
  }
  return FHtmlShownText.Text();
}

const std::vector<std::string>& TMailMessage::PlainViewLines() const {
  if (!PlainFromHtml()) return TextLines();
  PlainViewText();
  return FHtmlShownText.Lines();
}

std::string TMailMessage::HtmlViewDocument() const {
  std::string document;
  if (FHtmlPart || !FTextPart) {
    const std::vector<std::string>& lines = HtmlLines();
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i) document += "\r\n";
      document += lines[i];
    }
    // The parts appended to the text are shown after the page, as they are after the text.
    std::string_view appended = std::string_view(FTextBody.Text()).substr(FAppendedFrom);
    if (FHtmlPart && !appended.empty()) AppendTextAsHtml(appended, document);
    return document;
  }
  AppendTextAsHtml(FTextBody.Text(), document);
  return document;
}

void TMailMessage::RebuildBody() {
  if (!FRebuildPending) return;
  if (SubParts().Count() > 0) {
    std::string body = "This is a multipart message in mime format.\r\n";
    SerializeParts(SubParts(), body);
    SetEncodedBody(std::move(body));
  }
  SetFieldValue("Content-Length", std::to_string(EncodedBody().size()));
  FRebuildPending = false;
}

} // namespace pellora
