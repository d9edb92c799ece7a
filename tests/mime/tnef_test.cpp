#include "mime/mail_message.h"
#include "mime/tnef_reader.h"
#include "mime/transfer_encodings.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

using namespace pellora;

namespace {

// A TNEF stream written from its documented layout: the signature, a key, then attributes
// (level, id with its type in the high word, length, data, checksum of the data).
class TTnefBuilder {
public:
  TTnefBuilder() {
    Put32(0x223E9F78);
    Put16(0x0001);
    Attribute(1, 0x00089006, std::string("\x00\x00\x01\x00", 4)); // version
  }
  TTnefBuilder& Body(std::string_view text) {
    Attribute(1, 0x0002800C, text);
    return *this;
  }
  TTnefBuilder& File(std::string_view title, std::string_view data) {
    Attribute(2, 0x00069002, std::string(14, '\0')); // rendering: starts an attachment
    Attribute(2, 0x00018010, std::string(title) + '\0');
    Attribute(2, 0x0006800F, data);
    return *this;
  }
  const std::string& Bytes() const { return FBytes; }

private:
  void Put16(uint32_t v) {
    FBytes += static_cast<char>(v & 0xFF);
    FBytes += static_cast<char>((v >> 8) & 0xFF);
  }
  void Put32(uint32_t v) {
    Put16(v & 0xFFFF);
    Put16(v >> 16);
  }
  void Attribute(int level, uint32_t id, std::string_view data) {
    FBytes += static_cast<char>(level);
    Put32(id);
    Put32(static_cast<uint32_t>(data.size()));
    FBytes += data;
    uint32_t sum = 0;
    for (unsigned char c : data) sum += c;
    Put16(sum & 0xFFFF);
  }
  std::string FBytes;
};

// A message with an optional text body and the stream as an attachment of this type and name.
std::string MessageWith(std::string_view stream, std::string_view textBody,
                        std::string_view type = "application/ms-tnef",
                        std::string_view name = "winmail.dat") {
  std::string base64;
  EncodeBase64Lines(stream, base64);
  std::string m = "From: a@example.org\r\nSubject: tnef\r\nMIME-Version: 1.0\r\n"
                  "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
  if (!textBody.empty())
    m += "--b\r\nContent-Type: text/plain\r\n\r\n" + std::string(textBody) + "\r\n";
  m += "--b\r\nContent-Type: " + std::string(type) + "; name=\"" + std::string(name) +
       "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64 + "--b--\r\n";
  return m;
}

struct TShown {
  std::string Text; // as the plain view shows it
  std::string Html;
  std::vector<std::pair<std::string, std::string>> Files; // name, bytes
};

TShown Show(const std::string& text) {
  TMailMessage m;
  m.ReadFromText(text);
  m.FindBodies();
  TShown shown{m.PlainViewText(), m.HtmlLines().empty() ? "" : m.HtmlLines()[0], {}};
  for (TMailPart* part : m.Attachments()) {
    part->DecodeBody();
    shown.Files.emplace_back(part->AttachmentFileName(), part->DecodedBody());
  }
  return shown;
}

} // namespace

TEST(Tnef, FilesInsideBecomeAttachments) {
  const std::string stream =
      TTnefBuilder().File("hello.txt", "Hi there").File("table.csv", "a;b\r\n1;2\r\n").Bytes();
  // By its type, by its name alone, and with the registered type's name.
  for (auto [type, name] : {std::pair{"application/ms-tnef", "winmail.dat"},
                            {"application/octet-stream", "WINMAIL.DAT"},
                            {"application/vnd.ms-tnef", "message.tnef"}}) {
    SCOPED_TRACE(type);
    TShown shown = Show(MessageWith(stream, "The text", type, name));
    EXPECT_EQ(shown.Text, "The text");
    using TFiles = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(shown.Files, (TFiles{{"hello.txt", "Hi there"}, {"table.csv", "a;b\r\n1;2\r\n"}}));
  }
}

TEST(Tnef, BodyInsideShowsOnlyWhenTheMessageHasNone) {
  const std::string stream = TTnefBuilder().Body("Text from the stream").File("a.txt", "A").Bytes();
  TShown withText = Show(MessageWith(stream, "The text"));
  EXPECT_EQ(withText.Text, "The text");
  ASSERT_EQ(withText.Files.size(), 1u);
  EXPECT_EQ(withText.Files[0].first, "a.txt");

  TShown without = Show(MessageWith(stream, ""));
  EXPECT_EQ(without.Text, "Text from the stream");
  ASSERT_EQ(without.Files.size(), 1u);

  // The whole message a TNEF stream.
  std::string base64;
  EncodeBase64Lines(stream, base64);
  TShown whole = Show("Subject: x\r\nContent-Type: application/ms-tnef\r\n"
                      "Content-Transfer-Encoding: base64\r\n\r\n" + base64);
  EXPECT_EQ(whole.Text, "Text from the stream");
  ASSERT_EQ(whole.Files.size(), 1u);
  EXPECT_EQ(whole.Files[0].second, "A");
}

TEST(Tnef, DamagedStreamsStayAsTheyAreOrGiveWhatCanBeRead) {
  const std::string stream = TTnefBuilder().File("first.txt", "First").File("second.txt", "Second").Bytes();
  struct TCase {
    const char* what;
    std::string bytes;
    std::vector<std::string> names;
  } cases[] = {
      {"not a stream", "garbage that is no TNEF at all", {"winmail.dat"}},
      {"signature only", stream.substr(0, 6), {"winmail.dat"}},
      {"cut in the second file", stream.substr(0, stream.size() - 4), {"first.txt"}},
      {"checksum wrong", stream.substr(0, stream.size() - 1) + "\x7f", {"first.txt"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    // The library's complaints must not reach standard output, which carries the command line's
    // listings.
    testing::internal::CaptureStdout();
    TShown shown = Show(MessageWith(c.bytes, "The text"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(shown.Text, "The text");
    std::vector<std::string> names;
    for (const auto& f : shown.Files) names.push_back(f.first);
    EXPECT_EQ(names, c.names);
  }
}

TEST(Tnef, RealStreams) {
  const std::string dir = test::SharedDataDir();
  if (dir.empty() || !std::filesystem::is_directory(dir + "/tnef"))
    GTEST_SKIP() << "shared data folder is absent";
  // What the Debian tool "tnef -t" lists for each file.
  struct TCase {
    const char* file;
    std::vector<std::string> names;
    const char* htmlStart; // of the body when the message has no other
    const char* textStart;
  } cases[] = {
      {"attachments.tnef", {"zappa_av1.jpg", "bookmark.htm"}, "", "Casdasdfasdfasd"},
      {"one-file.tnef", {"AUTHORS.bin"}, "", ""},
      {"long-filename.tnef", {"allproductsmar2000.dat"}, "", ""},
      {"body.tnef", {}, "<!DOCTYPE HTML", "THE BILL OF RIGHTS"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.file);
    TShown shown = Show(MessageWith(ReadWholeFile(dir + "/tnef/" + c.file), ""));
    std::vector<std::string> names;
    for (const auto& f : shown.Files) names.push_back(f.first);
    EXPECT_EQ(names, c.names);
    EXPECT_TRUE(shown.Html.starts_with(c.htmlStart)) << shown.Html.substr(0, 80);
    EXPECT_TRUE(shown.Text.starts_with(c.textStart)) << shown.Text.substr(0, 80);
  }
}
