#include "mime/mail_message.h"
#include "mime/transfer_encodings.h"
#include "platform/pellora_error.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace pellora;
using namespace std::string_literals;

namespace {

// Test messages are written with "\n"; messages on the wire end their lines in CR LF.
std::string Crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const char* const kAlternative = "From: a@b\n"
                                 "Content-Type: multipart/alternative; boundary=\"XX\"\n"
                                 "\n"
                                 "preamble\n"
                                 "--XX\n"
                                 "Content-Type: text/plain\n"
                                 "\n"
                                 "plain\n"
                                 "--XX\n"
                                 "Content-Type: text/html\n"
                                 "\n"
                                 "<b>html</b>\n"
                                 "\n"
                                 "--XX--\n"
                                 "epilogue\n";

} // namespace

TEST(MailPart, HeaderIsUnfoldedAndNormalized) {
  TMailMessage m;
  m.ReadFromText(Crlf("Subject: a\n\t  b\nCONTENT-type:text/html\n continued\n\nbody\n"));
  ASSERT_EQ(m.HeaderLines().size(), 2u);
  EXPECT_EQ(m.HeaderLines()[0], "Subject: a b");
  EXPECT_EQ(m.HeaderLines()[1], "Content-Type: text/html continued");
  EXPECT_EQ(m.FieldValue("content-type"), "text/html continued");
  EXPECT_EQ(m.EncodedBody(), "body\r\n");

  m.ReadFromText(Crlf(" leading: blank\nA: b\n"));
  EXPECT_EQ(m.HeaderLines().size(), 2u); // a first line that begins with a blank is a field
  EXPECT_EQ(m.EncodedBody(), "");        // the header ran to the end of the text
}

TEST(MailPart, FieldValuesAndParameters) {
  TMailMessage m;
  m.ReadFromText(Crlf("Content-Type: Text/Plain; charset=\"UTF-8\"; name='x.txt'\n"
                      "X-A: 'quoted'\nX-B: \"x'\nX-C: \"\"\n\n"));
  EXPECT_EQ(m.MimeType(), "text/plain");
  EXPECT_EQ(m.FieldParam("Content-Type", "charset"), "UTF-8");
  EXPECT_EQ(m.FieldParam("Content-Type", "name"), "x.txt");
  EXPECT_EQ(m.FieldValue("X-A"), "quoted");
  EXPECT_EQ(m.FieldValue("X-B"), "x"); // any pairing of quote characters goes
  EXPECT_EQ(m.FieldValue("X-C"), "");  // "" is stripped by the line reader already
  EXPECT_EQ(m.FieldValue("X-Missing"), "");
  EXPECT_FALSE(m.HasField("X")); // a prefix of a name is not the field
  EXPECT_TRUE(m.HasFieldParam("content-type", "CHARSET"));

  m.SetFieldValue("Content-Type", "text/html");
  EXPECT_EQ(m.HeaderLines()[0], "Content-Type: text/html; charset=\"UTF-8\"; name='x.txt'");
  m.SetFieldParam("X-New", "p", "1");
  EXPECT_EQ(m.HeaderLines().back(), "X-New:; p=1");
  m.SetFieldValue("X-New", "");
  m.SetFieldValue("X-Other", "v");
  EXPECT_EQ(m.HeaderLines().back(), "X-Other: v");
  m.SetFieldValue("X-Absent", "");
  EXPECT_EQ(m.HeaderLines().size(), 5u);
}

TEST(MailPart, MultipartRegions) {
  TMailMessage m;
  m.ReadFromText(Crlf(kAlternative));
  EXPECT_EQ(m.EncodedBody(), "preamble\r\n");
  ASSERT_EQ(m.SubParts().Count(), 2);
  EXPECT_EQ(m.SubParts()[0]->EncodedBody(), "plain");
  EXPECT_EQ(m.SubParts()[1]->EncodedBody(), "<b>html</b>\r\n");
  EXPECT_EQ(m.SubParts()[1]->ParentBoundary(), "XX");
  EXPECT_EQ(m.SubParts()[1]->ParentPart(), &m);
  EXPECT_EQ(m.SubParts()[1]->OwnerMessage(), &m);

  // Without the closing delimiter the last part runs to the end of the text (a bounce's
  // attached original is often cut so); after the closing one, the epilogue is no part.
  std::string cut = Crlf(kAlternative);
  cut.resize(cut.find("--XX--"));
  m.ReadFromText(cut);
  ASSERT_EQ(m.SubParts().Count(), 2);
  EXPECT_EQ(m.SubParts()[1]->MimeType(), "text/html");
  EXPECT_EQ(m.SubParts()[1]->EncodedBody(), "<b>html</b>\r\n\r\n");
  cut.resize(cut.size() - 2); // no line end at the very end either
  m.ReadFromText(cut);
  ASSERT_EQ(m.SubParts().Count(), 2);
  EXPECT_EQ(m.SubParts()[1]->EncodedBody(), "<b>html</b>\r\n");
  m.ReadFromText(Crlf("Content-Type: multipart/mixed; boundary=B\n\n--B\nA: b\n\nx\n--B"));
  EXPECT_EQ(m.SubParts().Count(), 1); // nothing follows the last delimiter line

  // A delimiter line is "--" and the boundary, then only "--" and blanks: boundary "b" does not
  // cut an inner part whose boundary is "bb" (RFC 2046).
  m.ReadFromText(Crlf("Content-Type: multipart/mixed; boundary=b\n\n"
                      "--b \t\n"
                      "Content-Type: multipart/alternative; boundary=bb\n\n"
                      "--bb\nContent-Type: text/plain\n\nt\n--bb--\n"
                      "--b\nContent-Type: application/pdf\n\n%PDF\n"
                      "--bx\n"
                      "--b-- \n"
                      "the epilogue\n"));
  ASSERT_EQ(m.SubParts().Count(), 2);
  ASSERT_EQ(m.SubParts()[0]->SubParts().Count(), 1);
  EXPECT_EQ(m.SubParts()[0]->SubParts()[0]->EncodedBody(), "t");
  EXPECT_EQ(m.SubParts()[1]->EncodedBody(), "%PDF\r\n--bx");

  // Only a delimiter at a line's start (after CR LF) counts: not one inside a line, nor one after
  // a lone LF.
  m.ReadFromText("Content-Type: multipart/mixed; boundary=B\r\n\r\n"
                 "x --B\r\ny\n--B\r\n--B\r\nA: b\r\n\r\nz\r\n--B--\r\n");
  EXPECT_EQ(m.EncodedBody(), "x --B\r\ny\n--B\r\n");
  ASSERT_EQ(m.SubParts().Count(), 1);
  EXPECT_EQ(m.SubParts()[0]->EncodedBody(), "z");

  // A boundary that never occurs keeps the whole body as the preamble.
  m.ReadFromText(Crlf("Content-Type: multipart/mixed; boundary=ZZ\n\n--XX\nA: b\n\nx\n--XX--\n"));
  EXPECT_EQ(m.SubParts().Count(), 0);
  EXPECT_EQ(m.EncodedBody(), Crlf("--XX\nA: b\n\nx\n--XX--\n"));

  // Delimiter lines in the epilogue make no parts.
  m.ReadFromText(Crlf("Content-Type: multipart/mixed; boundary=B\n\n--B\n\nx\n--B--\n"
                      "--B\nContent-Type: text/plain\n\nghost\n--B--\n"));
  ASSERT_EQ(m.SubParts().Count(), 1);
  EXPECT_EQ(m.SubParts()[0]->EncodedBody(), "x");

  // Adjacent delimiter lines hold no line between them and make no part; one empty line does.
  m.ReadFromText(Crlf("Content-Type: multipart/mixed; boundary=B\n\n--B\n--B\n\n--B--\n"));
  ASSERT_EQ(m.SubParts().Count(), 1);
  EXPECT_EQ(m.SubParts()[0]->EncodedBody(), "");
}

// Parameters written only in the form of RFC 2231 are read: a boundary so written splits the body.
TEST(MailPart, ParametersInTheFormOfRfc2231) {
  for (const char* type : {"multipart/mixed; boundary*=us-ascii''B",
                           "multipart/mixed;\n boundary*0=\"B\"; boundary*1=\"2\""}) {
    const std::string boundary = std::string(type).find("*0") != std::string::npos ? "B2" : "B";
    TMailMessage m;
    m.ReadFromText(Crlf(std::string("Content-Type: ") + type + "\n\n--" + boundary +
                        "\nContent-Type: text/plain\n\nhello\n--" + boundary + "--\n"));
    EXPECT_EQ(m.Boundary(), boundary) << type;
    m.FindBodies();
    EXPECT_EQ(m.TextLines(), std::vector<std::string>{"hello"}) << type;
  }
}

TEST(MailPart, NestedTreeAndBoundaryWithoutQuotes) {
  TMailMessage m;
  m.ReadFromText(Crlf("Content-Type: multipart/mixed; boundary=\"outer;1\"\n\n"
                      "--outer;1\n"
                      "Content-Type: multipart/alternative; boundary=inner\n\n"
                      "--inner\nContent-Type: text/plain\n\nt\n"
                      "--inner\nContent-Type: text/html\n\nh\n"
                      "--inner--\n"
                      "--outer;1\n"
                      "Content-Type: application/pdf\n\n%PDF\n"
                      "--outer;1--\n"));
  ASSERT_EQ(m.SubParts().Count(), 2);
  TMailPart* alt = m.SubParts()[0];
  EXPECT_EQ(alt->ParentBoundary(), "outer;1");
  ASSERT_EQ(alt->SubParts().Count(), 2);
  EXPECT_EQ(alt->SubParts()[1]->ParentBoundary(), "inner");
  EXPECT_EQ(alt->SubParts()[1]->EncodedBody(), "h");
  EXPECT_EQ(alt->SubParts()[1]->Depth(), 2);
  EXPECT_EQ(m.SubParts()[1]->EncodedBody(), "%PDF");
}

TEST(MailPart, DeepNestingIsBounded) {
  std::string text;
  const int levels = 5000;
  for (int i = 0; i < levels; ++i)
    text += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "x\r\n\r\n--b" +
            std::to_string(i) + "x\r\n";
  text += "Content-Type: text/plain\r\n\r\nleaf\r\n";
  for (int i = levels - 1; i >= 0; --i)
    text += "--b" + std::to_string(i) + "x--\r\n";
  TMailMessage m;
  m.ReadFromText(text);
  const TMailPart* p = &m;
  int depth = 0;
  while (p->SubParts().Count() > 0) {
    p = p->SubParts()[0];
    ++depth;
  }
  EXPECT_EQ(depth, TMailPart::MaxDepth);
  EXPECT_FALSE(p->EncodedBody().empty()); // the rest is kept whole in the deepest part
  m.FindBodies();
  m.RebuildBody();
  EXPECT_EQ(m.Attachments().Count(), 1);
}

TEST(MailPart, UuencodedFilesBecomeAttachments) {
  TMailMessage m;
  m.ReadFromText(Crlf("Subject: photos\n\n"
                      "Hello there \n"
                      "begin 644 photo.jpg\n#0V%T\n`\nend\n"
                      "lost text\n"
                      "begin 600 second file.txt\n#0V%T\nend\n"
                      "begin 644 unfinished.bin\n#0V%T\n"));
  EXPECT_EQ(m.MimeType(), "multipart/mixed");
  std::string boundary = m.Boundary();
  ASSERT_EQ(boundary.size(), 16u);
  EXPECT_EQ(boundary.substr(0, 8), "boundary");
  ASSERT_EQ(m.SubParts().Count(), 3);

  TMailPart* text = m.SubParts()[0];
  EXPECT_EQ(text->ParentBoundary(), boundary);
  EXPECT_EQ(text->MimeType(), "text/plain");
  EXPECT_EQ(text->FieldParam("Content-Type", "charset"), "iso-8859-1");
  EXPECT_EQ(text->FieldValue("Content-Transfer-Encoding"), "quoted-printable");
  text->DecodeBody();
  EXPECT_EQ(text->DecodedBody(), "Hello there \r\n");

  TMailPart* photo = m.SubParts()[1];
  EXPECT_EQ(photo->MimeType(), "image/jpeg");
  EXPECT_EQ(photo->AttachmentFileName(), "photo.jpg");
  EXPECT_EQ(photo->FieldValue("Content-Disposition"), "attachment");
  EXPECT_EQ(photo->FieldParam("X-Pellora-Attachment", "embedded"), "no");
  EXPECT_EQ(photo->EncodedBody(), "Q2F0\r\n");
  photo->DecodeBody();
  EXPECT_EQ(photo->DecodedBody(), "Cat");

  TMailPart* second = m.SubParts()[2];
  EXPECT_EQ(second->FieldParam("Content-Type", "name"), "=?iso-8859-1?Q?second=20file.txt?=");
  EXPECT_EQ(second->AttachmentFileName(), "second file.txt");

  // "begin 6" starts a file only at a line's start.
  m.ReadFromText(Crlf("Subject: s\n\nsay begin 644 a.txt\n#0V%T\nend\n"));
  EXPECT_EQ(m.SubParts().Count(), 0);
}

// The text and names of a uuencoded message declare no charset: UTF-8 ones are labelled so.
TEST(MailPart, UuencodedUtf8TextKeepsItsCharacters) {
  TMailMessage m;
  m.ReadFromText(Crlf("Subject: photos\n\nCaf\xC3\xA9\nbegin 644 caf\xC3\xA9.txt\n#0V%T\nend\n"
                      "begin 644 na\xEFve.txt\n#0V%T\nend\n"));
  ASSERT_EQ(m.SubParts().Count(), 3);
  EXPECT_EQ(m.SubParts()[0]->FieldParam("Content-Type", "charset"), "utf-8");
  m.FindBodies();
  EXPECT_EQ(m.TextLines(), std::vector<std::string>{"Caf\xE9"}); // in 1252
  EXPECT_EQ(m.SubParts()[1]->AttachmentFileName(), "caf\xE9.txt");
  EXPECT_EQ(m.SubParts()[2]->AttachmentFileName(), "na\xEFve.txt");
}

TEST(MailPart, DecodeBodyByTransferEncoding) {
  std::string data;
  for (int i = 0; i < 1000; ++i)
    data += static_cast<char>((i * 37) & 255);
  std::string encoded;
  EncodeBase64Lines(data, encoded);
  std::string flat;
  for (char c : encoded)
    if (c != '\r' && c != '\n') flat += c;

  for (size_t width : {72u, 75u, 76u}) {
    std::string body;
    for (size_t i = 0; i < flat.size(); i += width)
      body += " " + flat.substr(i, width) + " \r\n";
    TMailMessage m;
    m.ReadFromText("Content-Type: application/octet-stream\r\n"
                   "Content-Transfer-Encoding: BASE64\r\n\r\n" +
                   body);
    m.DecodeBody();
    EXPECT_EQ(m.DecodedBody(), data) << width;
    EXPECT_EQ(m.TransferEncoding(), "base64");
  }

  struct Case {
    const char* encoding;
    const char* body;
    const char* decoded;
  } cases[] = {
      {"7bit", "a=3Db\r\n", "a=3Db\r\n"},
      {"quoted-printable", "a=3Db=\r\nc\r\n", "a=bc\r\n"},
      {"x-unknown", "abc", "abc"},
  };
  for (const auto& c : cases) {
    TMailMessage m;
    m.ReadFromText(
        std::string("Content-Type: text/plain; charset=x\r\nContent-Transfer-Encoding: ") +
        c.encoding + "\r\n\r\n" + c.body);
    m.DecodeBody();
    EXPECT_EQ(m.DecodedBody(), c.decoded) << c.encoding;
    EXPECT_EQ(m.BodyCharset(), "x");
    EXPECT_TRUE(m.Decoded());
  }

  TMailMessage uu;
  uu.ReadFromText("Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: "
                  "x-uuencode\r\n\r\nbegin 644 c\r\n#0V%T\r\n`\r\nend\r\n");
  uu.DecodeBody();
  EXPECT_EQ(uu.DecodedBody(), "Cat");
  EXPECT_EQ(uu.EncodedBody(), "Q2F0\r\n"); // from now on a base64 part
  EXPECT_EQ(uu.FieldValue("Content-Transfer-Encoding"), "base64");
}

TEST(MailPart, AttachmentFileName) {
  struct Case {
    const char* header;
    const char* name;
  } cases[] = {
      {"", "unknown"},
      {"Content-Type: application/pdf\n", "application_pdf.pdf"},
      {"Content-Type: image/jpeg\n", "image_jpeg.jpg"},
      {"Content-Type: image/png; name=\"=?utf-8?Q?r=C3=A9sum=C3=A9?=\"\n", "r\xE9sum\xE9.png"},
      {"Content-Type: application/pdf\nContent-Disposition: attachment; filename=\"a:b?.pdf\"\n",
       "a_b_.pdf"},
      {"Content-Type: image/gif\nContent-ID: <part1.abc>\n", "_part1.abc_"},
      {"Content-Location: http://x/y\n", "http___x_y"},
      {"X-Pellora-Attachment: \"f.txt\"; embedded=no\nContent-Type: text/plain; name=g.txt\n",
       "f.txt"},
      // The disposition's file name comes before the type's name (RFC 2183), in either form.
      {"Content-Type: application/pdf; name=type.pdf\n"
       "Content-Disposition: attachment; filename=disposition.pdf\n",
       "disposition.pdf"},
      {"Content-Type: application/pdf; name*=utf-8''type.pdf\n"
       "Content-Disposition: attachment; filename=disposition.pdf\n",
       "disposition.pdf"},
      {"Content-Type: application/pdf; name=type.pdf\nContent-Disposition: inline\n", "type.pdf"},
  };
  for (const auto& c : cases) {
    TMailMessage m;
    m.ReadFromText(Crlf(std::string(c.header) + "\nbody"));
    EXPECT_EQ(m.AttachmentFileName(), c.name) << c.header;
  }
}

TEST(MailPart, PartWithoutMessageCannotParse) {
  TMailPart part("Orphan");
  try {
    part.ParseText("A: b\r\n\r\n", true);
    FAIL() << "no error";
  } catch (const EPelloraError& e) {
    EXPECT_STREQ(e.what(), "Orphan: TMailPart must be owned by a TMailMessage");
  }
}

TEST(MailPart, ReadFromFileNormalizesLineEnds) {
  test::TTempDir dir;
  std::string path = dir.Write("m.eml", "Subject: x\n\nline1\rline2\r\nline3\0rest"s);
  TMailMessage m;
  m.ReadFromFile(path);
  EXPECT_EQ(m.FieldValue("Subject"), "x");
  EXPECT_EQ(m.EncodedBody(), "line1\r\nline2\r\nline3\0rest\r\n"s);
  EXPECT_EQ(NormalizeLineEnds(""), "");
  EXPECT_EQ(NormalizeLineEnds("a\r\n\n"), "a\r\n\r\n");
  EXPECT_THROW(m.ReadFromFile(dir / "missing.eml"), EPelloraError);
}

// A zero byte is a character like any other: it cuts neither a field nor the text short.
TEST(MailPart, ZeroBytesEndNothing) {
  TMailMessage m;
  m.ReadFromText("Subject: a\0b\r\nTo: t@x\r\nContent-Transfer-Encoding: quoted-printable\r\n"
                 "\r\nbody\0more=41\r\n"s);
  EXPECT_EQ(m.SubjectText(), "a b");
  EXPECT_EQ(m.ToList().Address(0), "t@x");
  EXPECT_EQ(m.EncodedBody(), "body\0more=41\r\n"s);
  m.FindBodies();
  EXPECT_EQ(m.TextBodyText(), "body moreA\r\n");
  // An attachment keeps its zero bytes.
  m.ReadFromText("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                 "Content-Type: application/octet-stream\r\n\r\n\0\x01\0\r\n--b--\r\n"s);
  m.FindBodies();
  ASSERT_EQ(m.Attachments().Count(), 1);
  m.Attachments()[0]->DecodeBody();
  EXPECT_EQ(m.Attachments()[0]->DecodedBody(), "\0\x01\0"s);
}
