#include "cli/cli.h"

#include "mime/mail_message.h"
#include "platform/codepage.h"
#include "platform/pellora_error.h"
#include "stores/mailbox.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace pellora::cli {
namespace {

using TJson = nlohmann::ordered_json;

TJson Text(const std::string& ansi) {
  return AnsiToUtf8(ansi);
}

TJson NameAndAddress(const std::string& name, const std::string& address) {
  return TJson{{"name", Text(name)}, {"address", Text(address)}};
}

TJson Recipients(const TMailRecipients& list) {
  TJson array = TJson::array();
  for (int i = 0; i < list.Count(); ++i)
    array.push_back(NameAndAddress(list.Name(i), list.Address(i)));
  return array;
}

TJson Date(TDateTime value) {
  return value == 0 ? TJson(nullptr) : TJson(FormatIsoDateTime(value));
}

TJson Lines(const TMailPart* part, const std::vector<std::string>& lines) {
  if (part == nullptr) return nullptr;
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += '\n';
    joined += lines[i];
  }
  return Text(joined);
}

int RunMessage(const TArgs& args) {
  if (args.size() != 1) throw EUsage("message needs exactly one file");
  // As a message window reads the file: through the store of a message of its kind.
  TMailbox box;
  const TLoadResult loaded = box.Load(args[0], okMessageFile);
  if (!loaded.Loaded) throw EPelloraError(loaded.ErrorText);
  TMailMessage m;
  box.Store()->ParseMessage(box.Entries().at(0), m);
  m.FindBodies();

  TJson out;
  out["from"] = NameAndAddress(m.FromName(), m.FromAddress());
  out["reply_to"] = NameAndAddress(m.ReplyToName(), m.ReplyToAddress());
  out["subject"] = Text(m.SubjectText());
  out["date"] = Date(m.MessageDate());
  out["to"] = Recipients(m.ToList());
  out["cc"] = Recipients(m.CcList());
  out["bcc"] = Recipients(m.BccList());
  TJson received = TJson::array();
  for (const TReceived& hop : m.Route()) {
    received.push_back({{"from", Text(hop.FromHost)},
                        {"by", Text(hop.ByHost)},
                        {"for", Text(hop.ForAddress)},
                        {"date", Date(hop.Date)}});
  }
  out["received"] = received;
  // A message without a text body gives the text its HTML shows.
  out["text"] = Lines(m.PlainFromHtml() ? m.HtmlPart() : m.TextPart(), m.PlainViewLines());
  out["text_from_html"] = m.PlainFromHtml();
  out["html"] = Lines(m.HtmlPart(), m.HtmlLines());
  TJson attachments = TJson::array();
  for (TMailPart* part : m.Attachments()) {
    part->DecodeBody();
    attachments.push_back({{"name", Text(part->AttachmentFileName())},
                           {"type", Text(part->MimeType())},
                           {"size", part->DecodedBody().size()}});
  }
  out["attachments"] = attachments;
  TJson headers = TJson::array();
  for (const auto& line : m.HeaderLines())
    headers.push_back(Text(UndeclaredToAnsi(line))); // the lines as stored: no charset
  out["headers"] = headers;

  std::string text = out.dump(2, ' ', false, TJson::error_handler_t::replace);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

const TCliCommand command("message", "message FILE   the parsed message as JSON", RunMessage);

} // namespace
} // namespace pellora::cli
