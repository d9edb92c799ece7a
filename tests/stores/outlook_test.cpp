// Outlook's files: items made messages of our model, RTF bodies, personal folder files.
#include "stores/mapi_message.h"

#include "mime/mail_message.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "stores/kinds/store_kinds.h"
#include "stores/mailbox.h"
#include "mime/rtf_body.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace pellora {
namespace {

std::string Le(uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

// FILETIME of a Unix time.
std::string FileTime(int64_t unixTime) {
  return Le(static_cast<uint64_t>((unixTime + 11644473600LL) * 10000000), 8);
}

class UnderUtf8 : public ::testing::Test {
protected:
  void SetUp() override { SetAnsiCodePage(CodePageUtf8); }
  void TearDown() override { SetAnsiCodePage(0); }
};

using MapiMessage = UnderUtf8;
using PersonalFolderFile = UnderUtf8;

TEST(OutlookRtf, CompressedRtf) {
  // The worked example of the compressed RTF format's documentation.
  const unsigned char example[] = {
      0x2d, 0x00, 0x00, 0x00, 0x2b, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xf1, 0xc5, 0xc7,
      0xa7, 0x03, 0x00, 0x0a, 0x00, 0x72, 0x63, 0x70, 0x67, 0x31, 0x32, 0x35, 0x42, 0x32, 0x0a,
      0xf3, 0x20, 0x68, 0x65, 0x6c, 0x09, 0x00, 0x20, 0x62, 0x77, 0x05, 0xb0, 0x6c, 0x64, 0x7d,
      0x0a, 0x80, 0x0f, 0xa0};
  const std::string data(reinterpret_cast<const char*>(example), sizeof example);
  EXPECT_EQ(DecompressRtf(data), "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
  // Damaged data gives what it can and never reads past its end.
  for (size_t cut = 0; cut < data.size(); ++cut) DecompressRtf(data.substr(0, cut));
  // Stored as it is.
  const std::string plain = "{\\rtf1 x}";
  EXPECT_EQ(DecompressRtf(Le(plain.size() + 12, 4) + Le(plain.size(), 4) + "MELA" + Le(0, 4) + plain),
            plain);
  EXPECT_EQ(DecompressRtf("not rtf at all, not at all"), "");
}

TEST(OutlookRtf, BodiesOfRtf) {
  struct {
    const char* rtf;
    bool html;
    const char* text;
  } cases[] = {
      // HTML kept in RTF: the tags and the text outside \htmlrtf, the RTF's own text left out.
      {"{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 {\\fonttbl{\\f0 Arial;}}"
       "{\\*\\htmltag64 <p>}\\htmlrtf {\\b rtf only}\\htmlrtf0 Ol\\'e1 {\\*\\htmltag72 </p>}"
       "{\\*\\mhtmltag4 other}\\htmlrtf \\par \\htmlrtf0}",
       true, "<p>Ol\xC3\xA1 </p>"},
      // Other RTF: its text, paragraphs as lines, Unicode characters with their stand-ins left out.
      {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}\\f0 Hello\\par "
       "World \\u8364?\\tab x\\{y\\}}",
       false, "Hello\r\nWorld \xE2\x82\xAC\tx{y}"},
      // A code page of its own.
      {"{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}", false, "\xD0\x9F\xD1\x80\xD0\xB8"},
  };
  for (const auto& c : cases) {
    TRtfBody body = RtfToBody(c.rtf);
    EXPECT_EQ(body.Html, c.html) << c.rtf;
    EXPECT_EQ(body.Text, c.text) << c.rtf;
  }
  // Cut anywhere, no crash.
  std::string rtf = cases[0].rtf;
  for (size_t cut = 0; cut < rtf.size(); ++cut) RtfToBody(rtf.substr(0, cut));
}

TEST(OutlookItems, KindOfMessageClass) {
  std::pair<const char*, const char*> cases[] = {
      {"IPM.Note", "mail"},          {"ipm.note.smime", "mail"},
      {"", "mail"},                  {"REPORT.IPM.Note.NDR", "mail"},
      {"IPM.Appointment", "appointment"}, {"IPM.Schedule.Meeting.Request", "meeting"},
      {"IPM.Contact", "contact"},    {"IPM.Task", "task"},
      {"IPM.StickyNote", "note"},    {"IPM.Notes", "IPM.Notes"}};
  for (const auto& [cls, kind] : cases) EXPECT_EQ(MapiItemKind(cls), kind) << cls;
}

// An item without transport header: its header made from its properties, read back by our
// message parser as any message.
TEST_F(MapiMessage, HeaderFromPropertiesAndParts) {
  TMapiMessage m;
  m.Props.Set(prSubject, mpUnicode, "Relat\xC3\xB3rio de mar\xC3\xA7o");
  m.Props.Set(prSenderName, mpUnicode, "Jo\xC3\xA3o Silva");
  m.Props.Set(prSenderEmail, mpUnicode, "/O=ORG/CN=JSILVA"); // Exchange: the SMTP one is used
  m.Props.Set(prSenderSmtpAddress, mpUnicode, "joao@example.org");
  m.Props.Set(prClientSubmitTime, mpTime, FileTime(1619550608)); // 2021-04-27 19:10:08 UTC
  m.Props.Set(prImportance, mpInt32, Le(2, 4));
  m.Props.Set(prInternetMessageId, mpUnicode, "<id-1@example.org>");
  m.Props.Set(prHtml, mpBinary, "<p>Caf\xE9</p>"); // bytes in the item's code page
  m.Props.Set(prInternetCodepage, mpInt32, Le(1252, 4));
  m.Props.Set(prBody, mpUnicode, "plain, not used");
  auto recipient = [&](const char* name, const char* address, int type) {
    TMapiProps& r = m.Recipients.emplace_back();
    r.Set(prDisplayName, mpUnicode, name);
    r.Set(prEmailAddress, mpUnicode, address);
    r.Set(prRecipientType, mpInt32, Le(type, 4));
  };
  recipient("Ann, Smith", "ann@example.org", 1);
  recipient("Bob", "bob@example.org", 1);
  recipient("Carol", "carol@example.org", 2);
  TMapiAttachment& file = m.Attachments.emplace_back();
  file.Props.Set(prAttachLongFileName, mpUnicode, "\xC3\xBC" "bersicht.pdf");
  file.Data = std::string("%PDF-1.4\0\x01\xFF", 11); // binary bytes
  TMapiAttachment& image = m.Attachments.emplace_back();
  image.Props.Set(prAttachLongFileName, mpUnicode, "logo.png");
  image.Props.Set(prAttachMimeTag, mpUnicode, "image/png");
  image.Props.Set(prAttachContentId, mpUnicode, "logo@1");
  image.Data = "PNG";
  TMapiAttachment& mail = m.Attachments.emplace_back();
  mail.Embedded = std::make_unique<TMapiMessage>();
  mail.Embedded->Props.Set(prSubject, mpUnicode, "Inner");
  mail.Embedded->Props.Set(prBody, mpUnicode, "inner body\nsecond line");
  TMapiAttachment& innerFile = mail.Embedded->Attachments.emplace_back();
  innerFile.Props.Set(prAttachFileName, mpUnicode, "a.txt");
  innerFile.Data = "AAA";

  const std::string text = MapiToMime(m);
  EXPECT_TRUE(IsAscii(text)) << "encoded words and encoded bodies only";
  EXPECT_EQ(text.find("/O=ORG"), std::string::npos);
  TMailMessage message;
  message.ReadFromText(text);
  message.FindBodies();
  EXPECT_EQ(AnsiToUtf8(message.SubjectText()), "Relat\xC3\xB3rio de mar\xC3\xA7o");
  EXPECT_EQ(AnsiToUtf8(message.FromName()), "Jo\xC3\xA3o Silva");
  EXPECT_EQ(message.FromAddress(), "joao@example.org");
  EXPECT_EQ(message.ToList().Addresses(), (std::vector<std::string>{"ann@example.org", "bob@example.org"}));
  EXPECT_EQ(message.ToList().Name(0), "Ann, Smith");
  EXPECT_EQ(message.CcList().Addresses(), std::vector<std::string>{"carol@example.org"});
  EXPECT_EQ(FormatIsoDateTime(message.MessageDate()).substr(0, 10), "2021-04-27");
  EXPECT_NE(text.find("Message-ID: <id-1@example.org>\r\n"), std::string::npos);
  EXPECT_NE(text.find("X-Priority: 1\r\n"), std::string::npos);
  EXPECT_NE(text.find("text/html; charset=windows-1252"), std::string::npos);
  ASSERT_NE(message.HtmlPart(), nullptr);
  EXPECT_EQ(message.TextPart(), nullptr);

  std::map<std::string, std::string> files;
  for (TMailPart* part : message.Attachments()) {
    part->DecodeBody();
    files[AnsiToUtf8(part->AttachmentFileName())] = part->DecodedBody();
  }
  ASSERT_EQ(files.size(), 3u) << text;
  EXPECT_EQ(files["\xC3\xBC" "bersicht.pdf"], std::string("%PDF-1.4\0\x01\xFF", 11));
  EXPECT_EQ(files["logo.png"], "PNG");
  EXPECT_NE(text.find("Content-ID: <logo@1>"), std::string::npos);
  EXPECT_NE(text.find("Content-Type: message/rfc822"), std::string::npos);
  // The attached message is a message of its own, with its own parts.
  const size_t inner = text.find("Subject: Inner");
  ASSERT_NE(inner, std::string::npos);
  TMailMessage embedded;
  embedded.ReadFromText(text.substr(inner, text.find("------=_Part_0--") - inner));
  embedded.FindBodies();
  EXPECT_EQ(embedded.SubjectText(), "Inner");
  ASSERT_EQ(embedded.Attachments().Count(), 1);
  EXPECT_EQ(embedded.Attachments()[0]->AttachmentFileName(), "a.txt");
}

TEST_F(MapiMessage, TransportHeaderAndBodyChoice) {
  TMapiMessage m;
  m.Props.Set(prTransportHeaders, mpUnicode,
              "Received: from a by b\r\nFrom: Ann <ann@example.org>\r\nSubject: Hi\r\n"
              "Content-Type: multipart/alternative;\r\n boundary=\"x\"\r\nMIME-Version: 1.0\r\n"
              "To: bob@example.org\r\n\r\n");
  m.Props.Set(prSubject, mpUnicode, "Not this one");
  const TRtfBody rtfOnly = RtfToBody(DecompressRtf(
      Le(20 + 12, 4) + Le(20, 4) + "MELA" + Le(0, 4) + "{\\rtf1 line\\par two}"));
  m.Props.Set(prRtfCompressed, mpBinary,
              Le(20 + 12, 4) + Le(20, 4) + "MELA" + Le(0, 4) + "{\\rtf1 line\\par two}");
  const std::string text = MapiToMime(m);
  TMailMessage message;
  message.ReadFromText(text);
  message.FindBodies();
  EXPECT_EQ(message.SubjectText(), "Hi");
  EXPECT_EQ(message.FromAddress(), "ann@example.org");
  EXPECT_EQ(text.find("boundary=\"x\""), std::string::npos) << "the old body's fields are gone";
  EXPECT_EQ(text.find("Not this one"), std::string::npos);
  ASSERT_NE(message.TextPart(), nullptr);
  EXPECT_EQ(message.TextBodyText().substr(0, 10), "line\r\ntwo\r");
  EXPECT_EQ(rtfOnly.Text, "line\r\ntwo");
}

// ---------------------------------------------------------------------------------------------
// The personal folder file of the test data.

struct TPstItem {
  std::string Folder, Subject, Sender;
  std::set<std::string> Attachments;
};

// What pffexport writes for each e-mail message: its folder, subject, sender name, attachments.
std::vector<TPstItem> PffExportMessages(const std::string& pst, const std::string& dir) {
  test::RunCommand("pffexport -q -t '" + dir + "/out' '" + pst + "' >/dev/null 2>&1");
  std::vector<TPstItem> items;
  const std::filesystem::path root = dir + "/out.export";
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    if (e.path().filename() != "OutlookHeaders.txt") continue;
    const std::filesystem::path message = e.path().parent_path();
    if (message.filename().string().rfind("Message", 0) != 0) continue;
    TPstItem item;
    item.Folder = std::filesystem::relative(message.parent_path(), root).string();
    std::ifstream in(e.path());
    for (std::string line; std::getline(in, line);) {
      auto value = [&](const char* name) -> std::string* {
        if (line.rfind(name, 0) != 0) return nullptr;
        static std::string v;
        v = line.substr(line.find_first_not_of('\t', std::string(name).size()));
        return &v;
      };
      if (auto* v = value("Subject:")) item.Subject = *v;
      if (auto* v = value("Sender name:")) item.Sender = *v;
    }
    if (std::filesystem::is_directory(message / "Attachments"))
      for (const auto& a : std::filesystem::directory_iterator(message / "Attachments")) {
        std::string name = a.path().filename().string();
        item.Attachments.insert(name.substr(name.find('_') + 1)); // pffexport numbers them
      }
    items.push_back(item);
  }
  return items;
}

TEST_F(PersonalFolderFile, TestDataAgainstPffexport) {
  const std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  const std::string pst = data + "/pst/test_sample.pst";
  EXPECT_EQ(KindOfPath(pst), okOEDatabase);
  TMailbox box;
  TLoadResult result = box.Load(pst, okOEDatabase);
  ASSERT_TRUE(result.Loaded) << result.ErrorText;

  // The README's figures: 15 folders under the top one, 3 mails in the Inbox, 1 in Sent Items,
  // and items of other kinds listed with their kind.
  const std::string top = "In\xC3\xAD" "cio de Pastas Particulares";
  std::map<std::string, int64_t> mails;
  int under = 0;
  for (const TStoreFolder& f : box.Folders()) {
    if (f.Path.rfind(top + "/", 0) == 0) ++under;
    if (f.Mails) mails[f.Path] = f.Mails;
  }
  EXPECT_EQ(under, 14); // 15 with the top folder
  EXPECT_EQ(mails, (std::map<std::string, int64_t>{{top + "/Caixa de Entrada", 3},
                                                    {top + "/Itens Enviados", 1}}));
  std::map<std::string, int> kinds;
  for (const TMessageEntry& e : box.Entries()) ++kinds[std::string(box.ItemKindOf(e))];
  EXPECT_EQ(kinds["mail"], 4);
  EXPECT_GE(kinds["appointment"], 1);

  // Each mail as a message: subject, sender and attachment names.
  std::vector<TPstItem> ours;
  for (const TMessageEntry& e : box.Entries()) {
    if (box.ItemKindOf(e) != "mail") continue;
    TMailMessage message;
    box.Store()->ParseMessage(e, message);
    message.FindBodies();
    TPstItem item{std::string(box.FolderOf(e)), AnsiToUtf8(message.SubjectText()),
                  AnsiToUtf8(message.FromName()), {}};
    for (TMailPart* part : message.Attachments())
      item.Attachments.insert(AnsiToUtf8(part->AttachmentFileName()));
    ours.push_back(item);
  }
  std::vector<TPstItem> theirs;
  if (std::system("command -v pffexport >/dev/null 2>&1") == 0) {
    test::TTempDir dir;
    theirs = PffExportMessages(pst, dir.Path());
  } else {
    // pffexport's figures, kept for machines without it.
    theirs = {{top + "/Caixa de Entrada", "this is a test message", "", {}},
              {top + "/Caixa de Entrada", "Re: [sepinf-inc/IPED] WIP Parsers tests (#481)", "Luis Nassif", {}},
              {top + "/Caixa de Entrada",
               "Re: Solicita documenta\xC3\xA7\xC3\xA3o para contrato de est\xC3\xA1gio na DITEC/PF.",
               "Elizangela Ribeiro de Andrade", {}},
              {top + "/Itens Enviados", "This is a test message with attachment!!! ", "guilherme",
               {"lionel-animals-to-follow-on-instagram-1568319926.jpg"}}};
  }
  ASSERT_EQ(ours.size(), theirs.size());
  // Our header parser drops a subject's trailing blanks; pffexport keeps them.
  auto key = [](const TPstItem& i) {
    std::string subject = i.Subject;
    while (!subject.empty() && subject.back() == ' ') subject.pop_back();
    return i.Folder + "|" + subject;
  };
  std::map<std::string, const TPstItem*> byKey;
  for (const TPstItem& i : ours) byKey[key(i)] = &i;
  for (const TPstItem& t : theirs) {
    ASSERT_TRUE(byKey.count(key(t))) << key(t) << " among " << [&] {
      std::string keys;
      for (const auto& [k, i] : byKey) keys += k + "\n";
      return keys;
    }();
    const TPstItem& o = *byKey[key(t)];
    if (!t.Sender.empty()) {
      EXPECT_EQ(o.Sender, t.Sender) << key(t);
    }
    EXPECT_EQ(o.Attachments, t.Attachments) << key(t);
  }
}

} // namespace
} // namespace pellora

namespace pellora {
namespace {

// The single messages of the test data, against what python3-olefile reads from their streams:
// subject, sender, recipients, the start of the body.
TEST_F(PersonalFolderFile, SingleMessagesOfTestData) {
  const std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  struct {
    const char* file;
    const char* subject;
    const char* from;
    const char* to;
    const char* body;
  } cases[] = {
      {"note.msg", "note sample", "", "", "note sample"},
      {"qwerty_1-orig.msg", "qwerty", "", "asdf", "Charles Lowe"},
      {"test_Blammo.msg", "BlammoBlammo", "TripleNickel@mapi32.net", "", "Blam"},
  };
  test::TTempDir folder;
  for (const auto& c : cases) {
    const std::string path = data + "/msg/" + c.file;
    EXPECT_EQ(KindOfPath(path), okMessageFile) << c.file;
    TMailbox box;
    TLoadResult result = box.Load(path, okMessageFile);
    ASSERT_TRUE(result.Loaded) << c.file << ": " << result.ErrorText;
    ASSERT_EQ(box.Entries().size(), 1u);
    EXPECT_EQ(AnsiToUtf8(box.Entries()[0].Header.Subject), c.subject);
    TMailMessage message;
    box.Store()->ParseMessage(box.Entries()[0], message);
    message.FindBodies();
    EXPECT_EQ(message.SubjectText(), c.subject);
    EXPECT_EQ(message.FromAddress(), c.from) << c.file;
    EXPECT_EQ(message.ToList().Count() ? message.ToList().Address(0) : "", c.to) << c.file;
    EXPECT_NE(message.PlainViewText().find(c.body), std::string::npos) << c.file;
    // The same file under another name is known by its content.
    std::filesystem::copy_file(path, folder.Path() + "/" + c.file + ".saved");
    EXPECT_EQ(KindOfPath(folder.Path() + "/" + c.file + ".saved"), okMessageFile);
    std::filesystem::copy_file(path, folder.Path() + "/" + c.file);
  }
  // A folder of them opens as a folder of messages.
  EXPECT_TRUE(FolderHoldsMessages(folder.Path()));
  TMailbox box;
  ASSERT_TRUE(box.Load(folder.Path(), okMessageFolder).Loaded);
  std::set<std::string> subjects;
  for (const TMessageEntry& e : box.Entries()) subjects.insert(e.Header.Subject.str());
  EXPECT_EQ(subjects, (std::set<std::string>{"note sample", "qwerty", "BlammoBlammo"}));
}

// The benchmark's writer of personal folder files: what it writes opens with every row and its
// subject in its folder, and pffexport (when installed) reads the same messages from it.
TEST_F(PersonalFolderFile, BenchmarkWriterOutput) {
  if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  test::TTempDir dir;
  const std::string pst = dir.Path() + "/generated.pst", listing = dir.Path() + "/subjects.txt";
  const std::string writer = PELLORA_BENCH_DIR "/make_pst.py";
  const test::TCommandRun run = test::RunCommand(
      "python3 " + test::ShellQuote(writer) + " " + test::ShellQuote(pst) +
      " --messages 50 --marker quillwort --marker-every 7 --subjects " + test::ShellQuote(listing) +
      " 2>&1");
  ASSERT_EQ(run.code, 0) << run.out;

  std::multiset<std::string> written; // folder TAB subject
  std::ifstream in(listing);
  for (std::string line; std::getline(in, line);) written.insert(line);
  ASSERT_EQ(written.size(), 50u);

  EXPECT_EQ(KindOfPath(pst), okOEDatabase);
  TMailbox box;
  TLoadResult result = box.Load(pst, okOEDatabase);
  ASSERT_TRUE(result.Loaded) << result.ErrorText;
  std::multiset<std::string> listed;
  const TMessageEntry* first = nullptr;
  for (const TMessageEntry& e : box.Entries()) {
    EXPECT_EQ(box.ItemKindOf(e), "mail");
    const std::string subject = AnsiToUtf8(e.Header.Subject);
    listed.insert(std::string(box.FolderOf(e)) + "\t" + subject);
    if (subject.ends_with(" #1")) first = &e;
  }
  EXPECT_EQ(listed, written);

  // The first message carries the marker word in its bodies and a small attachment.
  ASSERT_TRUE(first);
  TMailMessage message;
  box.Store()->ParseMessage(*first, message);
  message.FindBodies();
  EXPECT_NE(message.PlainViewText().find("quillwort"), std::string::npos);
  ASSERT_EQ(message.Attachments().Count(), 1);
  EXPECT_TRUE(message.Attachments()[0]->AttachmentFileName().ends_with("-1.csv"));

  if (std::system("command -v pffexport >/dev/null 2>&1") == 0) {
    std::multiset<std::string> exported;
    for (const TPstItem& i : PffExportMessages(pst, dir.Path()))
      exported.insert(i.Folder + "\t" + i.Subject);
    EXPECT_EQ(exported, written);
  }
}

} // namespace
} // namespace pellora
