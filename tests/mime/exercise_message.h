#pragma once
// Drives every reader of the message model over one input: shared by the fuzz target and the
// test that replays its findings.
#include "mime/header_fields.h"
#include "mime/header_words.h"
#include "mime/html_text.h"
#include "mime/mail_date.h"
#include "mime/mail_message.h"
#include "mime/mail_text.h"
#include "mime/transfer_encodings.h"
#include "platform/codepage.h"
#include "platform/safe_files.h"
#include "platform/unicode.h"

#include <cstdlib>
#include <string_view>
#include <vector>

namespace pellora::test {

// The name an attachment is saved under: usable, and shown as it is.
inline void ExerciseSavedName(std::string_view name) {
  const std::string safe = SafeFileName(AnsiToUtf8(CleanFileName(name)));
  if (safe.empty() || safe.size() > MaxFileNameBytes || safe.front() == '.' ||
      safe.front() == '-' || safe.find('/') != std::string::npos ||
      safe.find('\0') != std::string::npos)
    std::abort();
  char32_t c;
  for (size_t at = 0, length; at < safe.size(); at += length ? length : 1)
    if ((length = DecodeUtf8(safe, at, c)) && IsFormatCharacter(c)) std::abort();
}

inline void ExerciseParsedMessage(TMailMessage& m) {
  m.FindBodies();
  std::vector<TMailPart*> stack{&m};
  while (!stack.empty()) {
    TMailPart* part = stack.back();
    stack.pop_back();
    for (TMailPart* sub : part->SubParts())
      stack.push_back(sub);
    part->DecodeBody();
    ExerciseSavedName(part->AttachmentFileName());
    part->Boundary();
  }
  std::string name, address;
  m.ParseAddressField("Sender", name, address);
  m.FromName();
  m.ReplyToAddress();
  m.SubjectText();
  m.MessageDate();
  for (const TMailRecipients* list : {&m.ToList(), &m.CcList(), &m.BccList()})
    for (int i = 0; i < list->Count(); ++i)
      list->Name(i), list->Address(i);
  m.Route();
  m.ReceivedHop(m.ReceivedCount() - 1);
  m.RebuildBody();
}

inline void ExerciseMessage(std::string_view data) {
  TMailMessage m;
  m.ReadFromText(data);
  ExerciseParsedMessage(m);
  // The same text the way a file reaches the parser: every line end made CR LF.
  m.ResetMessage();
  m.ReadFromText(NormalizeLineEnds(data));
  ExerciseParsedMessage(m);
  // The codecs on the raw bytes.
  std::string_view head = data.substr(0, 4096);
  DecodeHeaderWords(head);
  ParseMailDate(head);
  NormalizeHeaderLine(head);
  FieldParamOf(head, "boundary");
  std::string param;
  ExtendedParamOf(head, "filename", param);
  HtmlMetaCharset(head);
  WithFieldParam(head, "name", "x");
  QPEncodeText(head, false);
  QPEncodeText(head, true);
  std::string out;
  UUDecodeBlock(head, out);
}

} // namespace pellora::test
