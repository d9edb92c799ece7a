// Text of every charset through the message model: encoded words, RFC 2231 names and bodies,
// into each code page; text that declares no charset.
#include "mime/header_words.h"
#include "mime/mail_message.h"
#include "mime/mail_text.h"
#include "mime/transfer_encodings.h"
#include "platform/codepage.h"
#include "support/charset_samples.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

namespace pellora {
namespace {

std::string Base64(std::string_view bytes) {
  std::string lines, flat;
  EncodeBase64Lines(bytes, lines);
  for (char c : lines)
    if (c != '\r' && c != '\n') flat += c;
  return flat;
}

std::string PercentEncoded(std::string_view bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 15];
  }
  return out;
}

TMailMessage& Parsed(TMailMessage& m, const std::string& text) {
  m.ReadFromText(text);
  m.FindBodies();
  return m;
}

TEST(Charsets, WordsNamesAndBodiesInEveryCodePage) {
  for (int codePage : {CodePageUtf8, 1252, 1251}) {
    test::TScopedCodePages pages(codePage, 1252);
    for (const auto& s : test::CharsetSamples) {
      const std::string charset(s.charset), expected = Utf8ToAnsi(s.utf8, codePage);
      SCOPED_TRACE(charset + " in " + std::to_string(codePage));
      if (s.charset != "UTF-16") { // a zero byte ends an encoded word
        EXPECT_EQ(DecodeHeaderWords("=?" + charset + "?B?" + Base64(s.bytes) + "?="), expected);
      }
      TMailMessage m;
      Parsed(m, "Content-Type: text/plain; charset=" + charset +
                    "\r\nContent-Transfer-Encoding: base64\r\n\r\n" + Base64(s.bytes) + "\r\n");
      EXPECT_EQ(m.TextLines(), std::vector<std::string>{expected});
      Parsed(m, "Content-Type: application/x-none\r\nContent-Disposition: attachment;\r\n"
                " filename*=" +
                    charset + "''" + PercentEncoded(s.bytes) + "\r\n\r\nx\r\n");
      EXPECT_EQ(m.AttachmentFileName(), CleanFileName(expected));
    }
  }
}

TEST(Charsets, DeclaredCharsetsAsTheUserReadsThem) {
  struct {
    int codePage;
    const char* header;
    const char* subject;
  } cases[] = {
      // 1252 keeps Latin-1 bytes as they are; what it lacks becomes "?".
      {1252, "=?iso-8859-1?Q?Caf=E9_au_lait?=", "Caf\xE9 au lait"},
      {1252, "=?KOI8-R?B?8NLJ18XU?=", "??????"},
      {1251, "=?KOI8-R?B?8NLJ18XU?=", "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {1251, "=?iso-8859-1?Q?Caf=E9?=", "Caf?"},
      {65001, "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
      // Two words of one charset that split a character between them (mailers do).
      {65001, "=?UTF-8?Q?Caf=C3?= =?UTF-8?Q?=A9!?=", "Caf\xC3\xA9!"},
      {65001, "=?Shift_JIS?B?kw==?=\t=?shift_jis?B?+pZ7?=", "\xE6\x97\xA5\xE6\x9C\xAC"},
      // ... but not a word of another charset or one that text stands between.
      {65001, "=?UTF-8?Q?a=C3?= =?iso-8859-1?Q?=A9?=", "a?\xC2\xA9"},
      {65001, "=?UTF-8?Q?a=C3?= b =?UTF-8?Q?=A9?=", "a? b ?"},
      // A charset nobody knows: the bytes read as undeclared text.
      {65001, "=?x-unknown?Q?Caf=E9?=", "Caf\xC3\xA9"},
      {1252, "=?x-unknown?Q?Caf=E9?=", "Caf\xE9"},
  };
  for (const auto& c : cases) {
    test::TScopedCodePages pages(c.codePage, 1252);
    TMailMessage m;
    Parsed(m, std::string("Subject: ") + c.header + "\r\n\r\n");
    EXPECT_EQ(m.SubjectText(), c.subject) << c.header << " in " << c.codePage;
  }
}

// Words nested in words, each level holding a byte that is no UTF-8, so that reading a level
// as undeclared text doubles every character above ASCII: the value must not grow with each.
TEST(Charsets, NestedWordsDoNotGrowTheValue) {
  test::TScopedCodePages pages(CodePageUtf8, 1252);
  std::string value;
  const int levels = 20;
  for (int level = 0; level < levels; ++level) {
    std::string escape = "=";
    for (int i = 0; i < level; ++i) escape += "3D";
    value += "=?x?Q?w \xFF" + escape + "C3 ";
  }
  for (int level = 0; level < levels; ++level) value += "?= ";
  EXPECT_LE(DecodeHeaderWords(value).size(), 4 * value.size());
}

TEST(Charsets, UndeclaredHeadersAndBodies) {
  // Raw bytes: UTF-8 when they are UTF-8, else the legacy code page (1251 here).
  test::TScopedCodePages pages(CodePageUtf8, 1251);
  TMailMessage m;
  Parsed(m, "From: \xC8\xE2\xE0\xED <ivan@example.ru>\r\n"
            "To: \xD0\x9F\xD1\x91\xD1\x82\xD1\x80 <p@example.ru>, \xCE\xEB\xFF@example.ru\r\n"
            "Subject: \xCF\xF0\xE8\xE2\xE5\xF2 =?utf-8?B?0LzQuNGA?=\r\n\r\n"
            "\xCF\xF0\xE8\xE2\xE5\xF2\r\n\xD0\xBC\xD0\xB8\xD1\x80\r\n");
  EXPECT_EQ(m.FromName(), "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD");
  EXPECT_EQ(m.ToList().Name(0), "\xD0\x9F\xD1\x91\xD1\x82\xD1\x80");
  EXPECT_EQ(m.ToList().Address(1), "\xD0\x9E\xD0\xBB\xD1\x8F@example.ru");
  EXPECT_EQ(m.SubjectText(),
            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80");
  // Each line of a body without a charset reads on its own.
  EXPECT_EQ(m.TextLines(),
            (std::vector<std::string>{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                                      "\xD0\xBC\xD0\xB8\xD1\x80"}));
}

TEST(Charsets, HtmlBodyByItsMetaElement) {
  test::TScopedCodePages pages(CodePageUtf8, 1252);
  const std::string koi8 = "\xF0\xD2\xC9\xD7\xC5\xD4";
  const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  struct {
    std::string contentType, head;
    std::string expected;
  } cases[] = {
      {"text/html", "<meta charset=\"koi8-r\">", utf8},
      {"text/html", "<META http-equiv=Content-Type content='text/html; charset=KOI8-R'>", utf8},
      {"text/html", "<meta name=x><meta charset=koi8-r/>", utf8},
      // The charset parameter comes first.
      {"text/html; charset=iso-8859-5", "<meta charset=\"koi8-r\">",
       "\xE2\x84\x96\xD0\xB2\xD0\xA9\xD0\xB7\xD0\xA5\xD0\xB4"},
      // Neither: undeclared text (the legacy code page, 1252 here).
      {"text/html", "<meta name=\"charset\">", "\xC3\xB0\xC3\x92\xC3\x89\xC3\x97\xC3\x85\xC3\x94"},
  };
  for (const auto& c : cases) {
    TMailMessage m;
    Parsed(m, "Content-Type: " + c.contentType + "\r\n\r\n<html><head>" + c.head + "</head><body>" +
                  koi8 + "</body></html>\r\n");
    ASSERT_EQ(m.HtmlLines().size(), 1u) << c.head;
    EXPECT_NE(m.HtmlLines()[0].find("<body>" + c.expected + "</body>"), std::string::npos)
        << c.head << ": " << m.HtmlLines()[0];
  }
}

TEST(Charsets, Rfc2231Parameters) {
  test::TScopedCodePages pages(CodePageUtf8, 1252);
  struct {
    const char* fields;
    const char* name;
  } cases[] = {
      {"Content-Disposition: attachment; filename*=UTF-8''%E2%82%AC%20rate.pdf",
       "\xE2\x82\xAC rate.pdf"},
      {"Content-Disposition: attachment; filename*=iso-8859-1'fr'caf%e9.txt", "caf\xC3\xA9.txt"},
      // Numbered pieces, encoded or not, in any order; the charset leads the first.
      {"Content-Disposition: attachment; filename*1*=%A9.txt; filename*0*=utf-8''Caf%C3",
       "Caf\xC3\xA9.txt"},
      {"Content-Disposition: attachment; filename*0*=koi8-r''%F0%D2; filename*1=\"x .txt\"",
       "\xD0\x9F\xD1\x80x .txt"},
      // The extended form wins over the plain one that old readers get.
      {"Content-Type: text/plain; name=\"fallback.txt\"; name*=utf-8''r%C3%A9al.txt", "r\xC3\xA9"
                                                                                      "al.txt"},
      // Content-Disposition's filename comes before Content-Type's name (RFC 2183).
      {"Content-Type: text/plain; name*=utf-8''a.txt\r\nContent-Disposition: attachment; "
       "filename*=utf-8''b.txt",
       "b.txt"},
      {"Content-Disposition: attachment; filename*0=\"a\"; filename*2=\"c\"; filename*1*=b%2E",
       "ab.c"},
      // A piece missing: the pieces end before it.
      {"Content-Disposition: attachment; filename*0=\"a\"; filename*2=\"c.txt\"", "a"},
      // Without a charset: undeclared bytes.
      {"Content-Disposition: attachment; filename*=''%C3%A9.txt", "\xC3\xA9.txt"},
  };
  for (const auto& c : cases) {
    TMailMessage m;
    m.ReadFromText(std::string(c.fields) + "\r\n\r\nx\r\n");
    EXPECT_EQ(m.AttachmentFileName(), c.name) << c.fields;
  }
}

TEST(Charsets, CutsNeverSplitACharacter) {
  test::TScopedCodePages pages(CodePageUtf8, 1252);
  std::string longName;
  for (int i = 0; i < 300; ++i)
    longName += "\xE6\x97\xA5"; // three bytes each
  const std::string clean = CleanFileName(longName);
  EXPECT_EQ(clean.size(), 254u * 3);
  EXPECT_EQ(AnsiLength(clean), 254u);
  EXPECT_EQ(PadLeftTo("\xC3\xA9\xC3\xA8\xC3\xAA", 2, "0"), "\xC3\xA8\xC3\xAA");
  EXPECT_EQ(PadLeftTo("\xC3\xA9", 3, "0"), "00\xC3\xA9");
}

} // namespace
} // namespace pellora
